// From the settings pages to the pages written: what the user sets on the
// index page, the mail page and their dialogs comes out in the HTML.

#include "page_sheet.h"

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/threading/thread_tree.h"
#include "settings_ui/appearance_dialog.h"
#include "settings_ui/tag_edit_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom::test {

namespace {

std::string Crlf(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

bool WriteBytes(const QString& path, const std::string& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

std::string ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// Types into a field as the user does.
void Type(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClicks(field, text);
}

}  // namespace

class SettingsOutputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString in(const QString& name) const { return dir_->filePath(name); }

    // Mail a and its reply b, their files in "mails"; the index in "web"
    // with the mail pages beside it.
    void makeProject(ProjectSettings& document)
    {
        document.Reset();
        document.Title = "Archive";
        document.TargetPath = "mails";
        document.IndexPath = "web/index.html";
        QVERIFY(QDir().mkpath(in(QStringLiteral("web"))));
        for (const char* const name : {"a", "b"}) {
            auto mail = std::make_unique<MailRecord>();
            mail->fileName = std::string(name) + ".alm";
            mail->subject = name[0] == 'a' ? "A" : "Re: A";
            mail->from = "Taro <taro@example.jp>";
            const std::string file = Crlf("From: Taro <taro@example.jp>\nSubject: " + mail->subject + "\n\n" +
                                          std::string(name) + " body\n");
            QVERIFY(WriteBytes(in(QStringLiteral("mails/%1.alm").arg(QLatin1String(name))), file));
            document.mailList.push_back(std::move(mail));
        }
        MailRecord& a = *document.mailList[0];
        MailRecord& b = *document.mailList[1];
        a.firstChild = &b;
        b.parent = &a;
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void settingsChangedOnThePagesShapeThePagesWritten()
    {
        ProjectSettings document;
        makeProject(document);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(WriteBytes(in(QStringLiteral("tpl.html")),
                           Sjis(QStringLiteral("<HTML><TITLE><件名></TITLE>\n"
                                               "<A HREF=上>up</A>\n"
                                               "<本文><Postloom Body></HTML>"))));
        PageSheet s(document, dir_->path());

        // The index page: a right-aligned H3 title, a red background
        // typed as 0000FF and confirmed with Enter, a link colour, margins.
        CProjectPage2* const index = s.showIndexPage();
        CIndexDisplayTab* const display = index->displayTab();
        display->dispTitleCheck()->click();
        display->titleSizeList()->setCurrentText(QStringLiteral("大きい <H3>"));
        display->positionButton(2)->click();
        WhenModal<CAppearanceDialog>([](CAppearanceDialog& details) {
            details.colourCheck(PageColour::Link)->click();
            Type(details.hexEdit(PageColour::Link), QStringLiteral("ff8040"));
            details.marginCheck(PageMargin::Top)->click();
            details.marginField(PageMargin::Top)->setValue(10);
            details.marginCheck(PageMargin::Left)->click();
            details.marginField(PageMargin::Left)->setValue(-5);
            details.colourCheck(PageColour::Background)->click();
            Type(details.hexEdit(PageColour::Background), QStringLiteral("0000FF"));
            QTest::keyClick(details.hexEdit(PageColour::Background), Qt::Key_Return);
            QVERIFY(!details.isVisible());
        });
        display->detailsButton()->click();

        // The mail pages: made from a template whose tags were changed.
        CProjectPage3* const mail = s.showMailPage();
        mail->templateTab()->templateFileEdit()->setText(QStringLiteral("tpl.html"));
        const std::array<std::pair<std::size_t, QString>, 3> tags{{
            {0, QStringLiteral("本文")},
            {1, QStringLiteral("件名")},
            {2, QStringLiteral("A HREF=上")},
        }};
        for (const auto& entry : tags) {
            WhenModal<CTagEditDialog>([tag = entry.second](CTagEditDialog& editor) {
                editor.edit()->setText(tag);
                editor.okButton()->click();
            });
            mail->templateTab()->changeButton(entry.first)->click();
        }
        mail->createTypeTabs()->setCurrentIndex(1);
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);

        ThreadTree tree;
        const TreeItem project = tree.Insert("Archive", 2, 0, kNoItem, ThreadTree::Place::Last);
        const TreeItem a = tree.Insert("A", 0, 0, project, ThreadTree::Place::Last);
        tree.Insert("Re: A", 0, 1, a, ThreadTree::Place::Last);
        NoProgress progress;
        const std::string projectFolder = dir_->path().toStdString();
        QVERIFY(WriteIndexPage(document, projectFolder, tree, progress).written);
        const StopFlag stop{false};
        QCOMPARE(WriteMailPages(document, projectFolder, progress, stop).pagesWritten, 2);

        const std::string page = ReadBytes(in(QStringLiteral("web/index.html")));
        QVERIFY2(page.find(Crlf("<BODY BGCOLOR=#FF0000 LINK=#4080FF TOPMARGIN=\"10\" LEFTMARGIN=\"-5\">\n")) !=
                     std::string::npos,
                 page.c_str());
        QVERIFY2(page.find(Crlf("<H3 ALIGN=RIGHT>Archive</H3>\n")) != std::string::npos, page.c_str());

        QCOMPARE(ReadBytes(in(QStringLiteral("web/b.html"))),
                 Crlf("<HTML><TITLE>Re: A</TITLE>\n"
                      "<A HREF=a.html>up</A>\n"
                      "b body<BR>\n<Postloom Body></HTML>"));
        QCOMPARE(ReadBytes(in(QStringLiteral("web/a.html"))),
                 Crlf("<HTML><TITLE>A</TITLE>\n"
                      "up</A>\n"
                      "a body<BR>\n<Postloom Body></HTML>"));
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::SettingsOutputTest)
#include "settings_output_test.moc"
