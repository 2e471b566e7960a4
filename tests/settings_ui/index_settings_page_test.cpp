// The index page in its sheet: what it shows, its enabling rules, what it
// writes back, its check on leaving and the number field at OK.

#include "page_sheet.h"

#include "settings_ui/appearance_dialog.h"
#include "settings_ui/tag_edit_dialog.h"
#include "settings_ui/tree_samples.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom::test {

namespace {

using Row = CProjectPage2::GraphicRow;
constexpr std::array<Row, 5> kRows{CProjectPage2::kFirst, CProjectPage2::kCont, CProjectPage2::kLast,
                                   CProjectPage2::kNext, CProjectPage2::kNull};

const QString kCreateCaption = QStringLiteral("ﾊﾟｽ作成確認");
const QString kFolderQuestion = QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙのｺﾋﾟｰ先のﾊﾟｽは存在しません\n作成しますか");

bool Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList TextsIn(const QWidget& widget)
{
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : widget.findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QGroupBox* group : widget.findChildren<QGroupBox*>())
        texts << group->title();
    return texts;
}

QStringList Entries(const QComboBox& list)
{
    QStringList entries;
    for (int i = 0; i < list.count(); ++i)
        entries << list.itemText(i);
    return entries;
}

// Empties a number field as the user does, with the focus in it.
void ClearByKeys(QSpinBox& field)
{
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
}

}  // namespace

class IndexSettingsPageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString in(const QString& name) const { return dir_->filePath(name); }
    std::string bytesIn(const QString& name) const { return in(name).toStdString(); }
    QString folder() const { return dir_->path(); }

    // Graphics on, all five files present.
    void drawWithGraphics(ProjectSettings& document) const
    {
        document.DrawGraphic = 1;
        const std::array<std::pair<std::string ProjectSettings::*, QString>, 5> files{{
            {&ProjectSettings::FirstTree, QStringLiteral("gif/first.gif")},
            {&ProjectSettings::ContTree, QStringLiteral("gif/cont.gif")},
            {&ProjectSettings::LastTree, QStringLiteral("gif/last.gif")},
            {&ProjectSettings::NextTree, QStringLiteral("gif/next.gif")},
            {&ProjectSettings::NullTree, QStringLiteral("gif/null.gif")},
        }};
        for (const auto& [key, name] : files) {
            QVERIFY(Touch(in(name)));
            document.*key = name.toStdString();
        }
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void firstDisplayShowsTheWorkingCopy()
    {
        ProjectSettings document;
        document.IndexImagePath = Sjis(QStringLiteral("/srv/表/img"));
        document.FirstTree = "f.gif";
        document.ContTree = "c.gif";
        document.LastTree = "l.gif";
        document.NextTree = "n.gif";
        document.NullTree = "e.gif";
        document.OutDate = 1;
        document.OutPattern = 4;
        document.DateFont = 0;
        document.FromFont = 6;
        document.DispIndexTitle = 1;
        document.TitleFontSize = 2;
        document.TitlePosition = 2;
        document.IndexBaseFont = 1;
        document.IndexBaseFontSize = 5;
        document.IndexBackGroundFile = "back.jpg";
        document.IndexTemplateFile = "tpl.html";
        document.IndexInsertTag = "Postloom Tree";
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        QVERIFY(page != nullptr);

        QCOMPARE(s.sheet->tabs()->tabText(1), QStringLiteral("ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞ"));
        QCOMPARE(page->imagePathEdit()->text(), QStringLiteral("/srv/表/img"));
        QVERIFY(!page->drawGraphicCheck()->isChecked());
        QCOMPARE(page->graphicEdit(CProjectPage2::kFirst)->text(), QStringLiteral("f.gif"));
        QCOMPARE(page->graphicEdit(CProjectPage2::kCont)->text(), QStringLiteral("c.gif"));
        QCOMPARE(page->graphicEdit(CProjectPage2::kLast)->text(), QStringLiteral("l.gif"));
        QCOMPARE(page->graphicEdit(CProjectPage2::kNext)->text(), QStringLiteral("n.gif"));
        QCOMPARE(page->graphicEdit(CProjectPage2::kNull)->text(), QStringLiteral("e.gif"));
        QVERIFY(page->outDateCheck()->isChecked());
        QVERIFY(!page->outFromCheck()->isChecked());
        QCOMPARE(page->outPatternList()->currentIndex(), 4);
        QCOMPARE(page->dateFontList()->currentText(), QStringLiteral("-3"));
        QCOMPARE(page->fromFontList()->currentText(), QStringLiteral("+3"));
        QCOMPARE(Entries(*page->outPatternList()),
                 QStringList({QStringLiteral("題名 日付 送信者"), QStringLiteral("題名 送信者 日付"),
                              QStringLiteral("日付 題名 送信者"), QStringLiteral("日付 送信者 題名"),
                              QStringLiteral("送信者 題名 日付"), QStringLiteral("送信者 日付 題名")}));
        const QStringList sizes{QStringLiteral("-3"), QStringLiteral("-2"), QStringLiteral("-1"), QStringLiteral("0"),
                                QStringLiteral("+1"), QStringLiteral("+2"), QStringLiteral("+3")};
        QCOMPARE(Entries(*page->dateFontList()), sizes);
        QCOMPARE(Entries(*page->fromFontList()), sizes);

        // The four samples; the blank piece has none.
        for (const Row row : {CProjectPage2::kFirst, CProjectPage2::kCont, CProjectPage2::kLast, CProjectPage2::kNext})
            QCOMPARE(page->graphicPicture(row)->pixmap().size(), QSize(kTreeSampleSize, kTreeSampleSize));
        QVERIFY(page->graphicPicture(CProjectPage2::kNull) == nullptr);

        QTabWidget* const tabs = page->createTypeTabs();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("PostLOOMで作成"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙを使用する"));
        QCOMPARE(tabs->currentIndex(), 0);

        CIndexDisplayTab* const display = page->displayTab();
        QVERIFY(display->dispTitleCheck()->isChecked());
        QCOMPARE(display->titleSizeList()->currentText(), QStringLiteral("大きい <H3>"));
        QCOMPARE(Entries(*display->titleSizeList()),
                 QStringList({QStringLiteral("最大 <H1>"), QStringLiteral("やや大きい <H2>"), QStringLiteral("大きい <H3>"),
                              QStringLiteral("小さい <H4>"), QStringLiteral("やや小さい <H5>"),
                              QStringLiteral("最小 <H6>")}));
        QVERIFY(display->positionButton(2)->isChecked());
        QVERIFY(display->baseFontCheck()->isChecked());
        QCOMPARE(display->baseFontSizeField()->value(), 5);
        QCOMPARE(display->baseFontSizeField()->minimum(), 1);
        QCOMPARE(display->baseFontSizeField()->maximum(), 7);
        QVERIFY(!display->backGroundCheck()->isChecked());
        QCOMPARE(display->backGroundFileEdit()->text(), QStringLiteral("back.jpg"));
        QCOMPARE(page->templateTab()->templateFileEdit()->text(), QStringLiteral("tpl.html"));
        QCOMPARE(page->templateTab()->tagField(0)->text(), QStringLiteral("Postloom Tree"));
        QVERIFY(page->templateTab()->tagField(0)->isReadOnly());

        const QStringList texts = TextsIn(*page);
        for (const QString& expected :
             {QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ出力先 (指定しない場合はｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙと同じﾊﾟｽ)"),
              QStringLiteral("ﾂﾘｰをｸﾞﾗﾌｨｯｸで描く"), QStringLiteral("最初のﾂﾘｰ"), QStringLiteral("中間のﾂﾘｰ"),
              QStringLiteral("最後のﾂﾘｰ"), QStringLiteral("次へのﾂﾘｰ"), QStringLiteral("空白"),
              QStringLiteral("付加情報"), QStringLiteral("日付を付加する"), QStringLiteral("送信者を付加する"),
              QStringLiteral("ﾊﾟﾀｰﾝ"), QStringLiteral("ﾀｲﾄﾙを表示する"), QStringLiteral("左寄せ"),
              QStringLiteral("中央"), QStringLiteral("右寄せ"), QStringLiteral("ﾃﾞﾌｫﾙﾄのﾌｫﾝﾄｻｲｽﾞを指定する"),
              QStringLiteral("背景ｲﾒｰｼﾞ"), QStringLiteral("詳細設定"), QStringLiteral("ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙ名"),
              QStringLiteral("本文埋め込み先ﾀｸﾞ"), QStringLiteral("変更")})
            QVERIFY2(texts.contains(expected), qPrintable(expected));
        QCOMPARE(texts.count(QStringLiteral("文字ｻｲｽﾞ")), 3);
        QCOMPARE(texts.count(QStringLiteral("参照")), 8);
    }

    void templateCreateTypeOpensOnTheTemplateTabAndKeepsIt()
    {
        ProjectSettings document;
        document.IndexCreateType = 1;
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        QCOMPARE(page->createTypeTabs()->currentIndex(), 1);
        QVERIFY(page->templateTab()->isVisible());
        QVERIFY(!page->displayTab()->isVisible());
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.IndexCreateType, 1);
    }

    void enablingFollowsTheCheckBoxes()
    {
        ProjectSettings document;
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        const auto graphicsEnabled = [page](bool on) {
            for (const Row row : kRows) {
                if (page->graphicPicture(row) != nullptr && page->graphicPicture(row)->isEnabled() != on)
                    return false;
                if (page->graphicLabel(row)->isEnabled() != on || page->graphicEdit(row)->isEnabled() != on ||
                    page->graphicBrowse(row)->isEnabled() != on)
                    return false;
            }
            return true;
        };
        QVERIFY(graphicsEnabled(false));
        QVERIFY(page->imagePathEdit()->isEnabled());
        QVERIFY(page->imagePathBrowse()->isEnabled());
        page->drawGraphicCheck()->click();
        QVERIFY(graphicsEnabled(true));
        page->drawGraphicCheck()->click();
        QVERIFY(graphicsEnabled(false));

        CIndexDisplayTab* const display = page->displayTab();
        const auto titleEnabled = [display](bool on) {
            return display->titleSizeLabel()->isEnabled() == on && display->titleSizeList()->isEnabled() == on &&
                   display->positionButton(0)->isEnabled() == on && display->positionButton(1)->isEnabled() == on &&
                   display->positionButton(2)->isEnabled() == on;
        };
        QVERIFY(titleEnabled(true));  // a new sheet's copy shows the title
        display->dispTitleCheck()->click();
        QVERIFY(titleEnabled(false));
        QVERIFY(!display->baseFontSizeField()->isEnabled());
        display->baseFontCheck()->click();
        QVERIFY(display->baseFontSizeField()->isEnabled());
        QVERIFY(!display->backGroundFileEdit()->isEnabled());
        QVERIFY(!display->backGroundBrowse()->isEnabled());
        display->backGroundCheck()->click();
        QVERIFY(display->backGroundFileEdit()->isEnabled());
        QVERIFY(display->backGroundBrowse()->isEnabled());
    }

    void okWritesEverySettingOfThePageAndTheySurviveSaving()
    {
        ProjectSettings document;
        document.Reset();
        document.Title = "kept";
        document.IndexPath = bytesIn(QStringLiteral("web/index.html"));
        ProjectSettings expected;
        expected.CopySettingsFrom(document);
        QVERIFY(QDir().mkpath(in(QStringLiteral("web/img"))));
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();

        page->imagePathEdit()->setText(QStringLiteral("web/img"));
        page->drawGraphicCheck()->click();
        const std::array<QString, 5> names{QStringLiteral("a.gif"), QStringLiteral("b.gif"), QStringLiteral("c.gif"),
                                           QStringLiteral("d.gif"), QStringLiteral("木.gif")};
        for (std::size_t i = 0; i < kRows.size(); ++i) {
            QVERIFY(Touch(in(names[i])));
            page->graphicEdit(kRows[i])->setText(names[i]);
        }
        page->outDateCheck()->click();
        page->outFromCheck()->click();
        page->outPatternList()->setCurrentIndex(5);
        page->dateFontList()->setCurrentText(QStringLiteral("+2"));
        page->fromFontList()->setCurrentIndex(1);
        CIndexDisplayTab* const display = page->displayTab();
        display->dispTitleCheck()->click();
        display->titleSizeList()->setCurrentText(QStringLiteral("大きい <H3>"));
        display->positionButton(1)->click();
        display->baseFontCheck()->click();
        display->baseFontSizeField()->setValue(6);
        display->backGroundCheck()->click();
        display->backGroundFileEdit()->setText(QStringLiteral("/img/背景.jpg"));
        page->templateTab()->templateFileEdit()->setText(QStringLiteral("index-template.html"));
        WhenModal<CTagEditDialog>([](CTagEditDialog& editor) {
            editor.edit()->setText(QStringLiteral("<木>"));
            editor.okButton()->click();
        });
        page->templateTab()->changeButton(0)->click();
        page->createTypeTabs()->setCurrentIndex(1);
        QVERIFY(s.pressOk());
        QVERIFY(s.prompts.notices.empty());

        QVERIFY(s.sheet->handBack(document).applied);
        expected.IndexImagePath = "web/img";
        expected.DrawGraphic = 1;
        expected.FirstTree = "a.gif";
        expected.ContTree = "b.gif";
        expected.LastTree = "c.gif";
        expected.NextTree = "d.gif";
        expected.NullTree = Sjis(QStringLiteral("木.gif"));
        expected.OutDate = 1;
        expected.OutFrom = 1;
        expected.OutPattern = 5;
        expected.DateFont = 5;
        expected.FromFont = 1;
        expected.IndexCreateType = 1;
        expected.DispIndexTitle = 1;  // the reset value 0, clicked on
        expected.TitleFontSize = 2;
        expected.TitlePosition = 1;
        expected.IndexBaseFont = 1;
        expected.IndexBaseFontSize = 6;
        expected.IndexBackGround = 1;
        expected.IndexBackGroundFile = Sjis(QStringLiteral("/img/背景.jpg"));
        expected.IndexTemplateFile = "index-template.html";
        expected.IndexInsertTag = Sjis(QStringLiteral("<木>"));
        QVERIFY(document.SettingsEqual(expected));
        QVERIFY(SurvivesSaveAndReload(document, folder()));
    }

    void cancelChangesNothing()
    {
        ProjectSettings document;
        document.Reset();
        ProjectSettings before;
        before.CopySettingsFrom(document);
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        page->imagePathEdit()->setText(QStringLiteral("img"));
        page->outDateCheck()->click();
        page->displayTab()->baseFontCheck()->click();
        WhenModal<CAppearanceDialog>([](CAppearanceDialog& details) {
            details.colourCheck(PageColour::Background)->click();
            details.okButton()->click();
        });
        page->displayTab()->detailsButton()->click();
        s.sheet->cancelButton()->click();

        QVERIFY(!s.sheet->handBack(document).applied);
        QVERIFY(document.SettingsEqual(before));
    }

    void shownPageCountsAsModified_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("nothing") << QString();
        QTest::newRow("date-option-only") << QStringLiteral("date");
        QTest::newRow("insert-tag-only") << QStringLiteral("tag");
    }

    void shownPageCountsAsModified()
    {
        QFETCH(QString, edit);
        ProjectSettings document;
        document.Reset();
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        if (edit == QStringLiteral("date"))
            page->outDateCheck()->click();
        if (edit == QStringLiteral("tag")) {
            WhenModal<CTagEditDialog>([](CTagEditDialog& editor) {
                editor.edit()->setText(QStringLiteral("Tree"));
                editor.okButton()->click();
            });
            page->templateTab()->changeButton(0)->click();
        }
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.OutDate, edit == QStringLiteral("date") ? 1 : 0);
        QCOMPARE(document.IndexInsertTag, std::string(edit == QStringLiteral("tag") ? "Tree" : "Postloom Tree"));
    }

    void valuesNoEntryStandsForAreKept()
    {
        ProjectSettings document;
        document.DateFont = 9;
        document.OutPattern = -1;
        document.TitlePosition = 7;
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        QCOMPARE(page->dateFontList()->currentIndex(), -1);
        QVERIFY(s.pressOk());
        s.sheet->handBack(document);
        QCOMPARE(document.DateFont, 9);
        QCOMPARE(document.OutPattern, -1);
        QCOMPARE(document.TitlePosition, 7);
    }

    void withoutGraphicsNothingIsChecked()
    {
        ProjectSettings document;
        document.FirstTree = "missing.gif";
        document.IndexImagePath = bytesIn(QStringLiteral("no/such/folder"));
        PageSheet s(document, folder());
        s.showIndexPage();
        s.turnTo(2);
        QCOMPARE(s.sheet->tabs()->currentIndex(), 2);
        QVERIFY(s.prompts.notices.empty());
        QVERIFY(s.prompts.questions.empty());
        QVERIFY(!QFileInfo::exists(in(QStringLiteral("no/such/folder"))));
    }

    void firstMissingGraphicIsTheOnlyOneReported_data()
    {
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<int>("reported");
        QTest::addColumn<QString>("message");

        QTest::newRow("first") << QStringList{QStringLiteral("first")} << int(CProjectPage2::kFirst)
                               << QStringLiteral("最初のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません");
        QTest::newRow("cont-and-null") << QStringList{QStringLiteral("cont"), QStringLiteral("null")}
                                       << int(CProjectPage2::kCont)
                                       << QStringLiteral("中間のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません");
        QTest::newRow("last") << QStringList{QStringLiteral("last")} << int(CProjectPage2::kLast)
                              << QStringLiteral("最後のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません");
        QTest::newRow("next-and-null") << QStringList{QStringLiteral("null"), QStringLiteral("next")}
                                       << int(CProjectPage2::kNext)
                                       << QStringLiteral("次へのﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません");
        QTest::newRow("null") << QStringList{QStringLiteral("null")} << int(CProjectPage2::kNull)
                              << QStringLiteral("空白用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません");
    }

    void firstMissingGraphicIsTheOnlyOneReported()
    {
        QFETCH(QStringList, missing);
        QFETCH(int, reported);
        QFETCH(QString, message);
        ProjectSettings document;
        drawWithGraphics(document);
        for (const QString& name : missing)
            QVERIFY(QFile::remove(in(QStringLiteral("gif/%1.gif").arg(name))));
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();

        QVERIFY(!s.pressOk());
        QCOMPARE(s.sheet->tabs()->currentIndex(), 1);
        QCOMPARE(s.prompts.notices.size(), std::size_t(1));
        QCOMPARE(s.prompts.notices[0].caption, QStringLiteral("Postloom"));
        QCOMPARE(s.prompts.notices[0].text, message);
        QCOMPARE(QApplication::focusWidget(), page->graphicEdit(static_cast<Row>(reported)));

        // Turning to another page is refused the same way.
        s.turnTo(2);
        QCOMPARE(s.sheet->tabs()->currentIndex(), 1);
        QCOMPARE(s.prompts.notices.size(), std::size_t(2));
    }

    void emptyOrFolderGraphicCountsAsMissing()
    {
        ProjectSettings document;
        drawWithGraphics(document);
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        page->graphicEdit(CProjectPage2::kLast)->clear();
        QVERIFY(!s.pressOk());
        QCOMPARE(s.prompts.notices.back().text, QStringLiteral("最後のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"));
        page->graphicEdit(CProjectPage2::kLast)->setText(QStringLiteral("gif"));
        QVERIFY(!s.pressOk());
        QCOMPARE(s.prompts.notices.size(), std::size_t(2));
        page->graphicEdit(CProjectPage2::kLast)->setText(QStringLiteral("gif/last.gif"));
        QVERIFY(s.pressOk());
    }

    void missingGraphicsFolderIsCreatedOnRequest()
    {
        ProjectSettings document;
        drawWithGraphics(document);
        document.IndexImagePath = "out/tree";
        PageSheet s(document, folder());
        s.showIndexPage();

        s.prompts.answers = {Answer::No, Answer::Yes};
        QVERIFY(!s.pressOk());
        QCOMPARE(s.prompts.questions.size(), std::size_t(1));
        QCOMPARE(s.prompts.questions[0].caption, kCreateCaption);
        QCOMPARE(s.prompts.questions[0].text, kFolderQuestion);
        QVERIFY(!QFileInfo::exists(in(QStringLiteral("out"))));

        QVERIFY(s.pressOk());
        QVERIFY(QFileInfo(in(QStringLiteral("out/tree"))).isDir());
        QVERIFY(s.prompts.notices.empty());
    }

    void existingGraphicsFolderIsNotQuestioned()
    {
        ProjectSettings document;
        drawWithGraphics(document);
        document.IndexImagePath = bytesIn(QStringLiteral("gif"));
        PageSheet s(document, folder());
        s.showIndexPage();
        QVERIFY(s.pressOk());
        QVERIFY(s.prompts.questions.empty());
    }

    void graphicsFolderThatCannotBeCreatedKeepsTheUserOnThePage()
    {
        ProjectSettings document;
        drawWithGraphics(document);
        QVERIFY(Touch(in(QStringLiteral("plain-file"))));
        document.IndexImagePath = "plain-file/tree";
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();

        s.prompts.answers = {Answer::Yes};
        QVERIFY(!s.pressOk());
        QCOMPARE(s.prompts.notices.size(), std::size_t(1));
        QVERIFY(s.prompts.notices[0].text.startsWith(QStringLiteral("ﾊﾟｽを作成できませんでした\n")));
        QVERIFY(s.prompts.notices[0].text.contains(in(QStringLiteral("plain-file/tree"))));
        QCOMPARE(QApplication::focusWidget(), page->imagePathEdit());
    }

    void graphicsFolderOnAnotherDriveIsRefused()
    {
        const GraphicFolder other =
            ResolveGraphicFolder("D:\\img", "C:\\web\\index.html", "C:\\project", PathStyle::Windows);
        QVERIFY(!other.sameDrive);
        QCOMPARE(other.folder, std::string("D:\\img"));
        const GraphicFolder same = ResolveGraphicFolder("..\\img", "c:\\web\\index.html", "C:\\project\\p",
                                                        PathStyle::Windows);
        QVERIFY(same.sameDrive);
        QCOMPARE(same.folder, std::string("C:\\project\\img"));
        // The index file as the working copy holds it, relative to the project.
        QVERIFY(ResolveGraphicFolder("C:\\img", "index.html", "D:\\project", PathStyle::Windows).sameDrive == false);
        QVERIFY(ResolveGraphicFolder("/elsewhere", "/web/index.html", "/project").sameDrive);
    }

    void emptyNumberFieldAtOkKeepsTheSheetOpen()
    {
        ProjectSettings document;
        document.Reset();
        document.IndexBaseFontSize = 2;
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        CIndexDisplayTab* const display = page->displayTab();
        display->baseFontCheck()->click();
        display->backGroundCheck()->click();
        display->backGroundFileEdit()->setText(QStringLiteral("wall.gif"));

        QSpinBox* const size = display->baseFontSizeField();
        ClearByKeys(*size);
        QTest::keyClick(size, Qt::Key_Return);  // Enter presses OK
        QVERIFY(s.sheet->isVisible());
        QCOMPARE(s.prompts.notices.size(), std::size_t(1));
        QCOMPARE(s.prompts.notices[0].caption, QStringLiteral("Postloom"));
        QCOMPARE(s.prompts.notices[0].text, QStringLiteral("正の整数を入力してください。"));
        QCOMPARE(QApplication::focusWidget(), size);
        QCOMPARE(s.sheet->tabs()->currentIndex(), 1);

        QTest::keyClicks(size, QStringLiteral("4"));
        QTest::keyClick(size, Qt::Key_Return);
        QVERIFY(!s.sheet->isVisible());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.IndexBaseFont, 1);
        QCOMPARE(document.IndexBaseFontSize, 4);
        QCOMPARE(document.IndexBackGround, 1);
        QCOMPARE(document.IndexBackGroundFile, std::string("wall.gif"));
    }

    void browseButtonsOfferTheirFilesAndFolders()
    {
        ProjectSettings document;
        document.IndexImagePath = "img";
        document.ContTree = "gif/c.gif";
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        page->drawGraphicCheck()->click();

        s.prompts.chosenFolders = {QString(), in(QStringLiteral("pictures"))};
        page->imagePathBrowse()->click();
        QCOMPARE(page->imagePathEdit()->text(), QStringLiteral("img"));
        page->imagePathBrowse()->click();
        QCOMPARE(page->imagePathEdit()->text(), in(QStringLiteral("pictures")));
        QCOMPARE(s.prompts.folderStarts.at(0), in(QStringLiteral("img")));

        s.prompts.chosenFiles = {in(QStringLiteral("x/c2.gif")), in(QStringLiteral("wall.jpg")),
                                 in(QStringLiteral("t.htm"))};
        page->graphicBrowse(CProjectPage2::kCont)->click();
        QCOMPARE(page->graphicEdit(CProjectPage2::kCont)->text(), in(QStringLiteral("x/c2.gif")));
        page->displayTab()->backGroundCheck()->click();
        page->displayTab()->backGroundBrowse()->click();
        QCOMPARE(page->displayTab()->backGroundFileEdit()->text(), in(QStringLiteral("wall.jpg")));
        page->templateTab()->templateBrowse()->click();
        QCOMPARE(page->templateTab()->templateFileEdit()->text(), in(QStringLiteral("t.htm")));

        for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
            const FileRequest& image = s.prompts.fileRequests.at(i);
            QCOMPARE(image.defaultSuffix, QStringLiteral("gif"));
            QCOMPARE(image.filters.size(), std::size_t(2));
            QCOMPARE(image.filters[0].label, QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ(*.gif;*.jpg)"));
            QCOMPARE(image.filters[0].patterns, QStringLiteral("*.gif;*.jpg"));
            QCOMPARE(image.filters[1].label, QStringLiteral("すべてのﾌｧｲﾙ(*.*)"));
            QCOMPARE(image.filters[1].patterns, QStringLiteral("*.*"));
        }
        QCOMPARE(s.prompts.fileRequests[0].initialFile, in(QStringLiteral("gif/c.gif")));
        const FileRequest& templ = s.prompts.fileRequests.at(2);
        QCOMPARE(templ.defaultSuffix, QStringLiteral("html"));
        QCOMPARE(templ.filters.size(), std::size_t(2));
        QCOMPARE(templ.filters[0].label, QStringLiteral("HTMLﾌｧｲﾙ(*.html;*.htm)"));
        QCOMPARE(templ.filters[0].patterns, QStringLiteral("*.html;*.htm"));
        QCOMPARE(templ.filters[1].label, QStringLiteral("すべてのﾌｧｲﾙ(*.*)"));
    }

    void detailsDialogEditsTheIndexColours()
    {
        ProjectSettings document;
        document.Reset();
        document.MailBGColorRGB = 0x123456;
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();
        WhenModal<CAppearanceDialog>([](CAppearanceDialog& details) {
            details.colourCheck(PageColour::Background)->click();
            details.hexEdit(PageColour::Background)->setText(QStringLiteral("0000FF"));
            details.marginCheck(PageMargin::Left)->click();
            details.marginField(PageMargin::Left)->setValue(-3);
            details.okButton()->click();
        });
        page->displayTab()->detailsButton()->click();
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.IndexBGColor, 1);
        QCOMPARE(document.IndexBGColorRGB, 0x0000FFu);
        QCOMPARE(document.IndexLeftMarginCheck, 1);
        QCOMPARE(document.IndexLeftMargin, -3);
        QCOMPARE(document.MailBGColor, 0);
        QCOMPARE(document.MailBGColorRGB, 0x123456u);
    }

    void emptyInsertTagSurvivesSavingAndLoading()
    {
        ProjectSettings document;
        document.Reset();
        PageSheet s(document, folder());
        CProjectPage2* const page = s.showIndexPage();

        WhenModal<CTagEditDialog>([](CTagEditDialog& editor) {
            QCOMPARE(editor.edit()->text(), QStringLiteral("Postloom Tree"));
            editor.edit()->setText(QStringLiteral("typed"));
            editor.cancelButton()->click();
        });
        page->templateTab()->changeButton(0)->click();
        QCOMPARE(page->templateTab()->tagField(0)->text(), QStringLiteral("Postloom Tree"));

        WhenModal<CTagEditDialog>([](CTagEditDialog& editor) {
            editor.edit()->clear();
            editor.okButton()->click();
        });
        page->templateTab()->changeButton(0)->click();
        QCOMPARE(page->templateTab()->tagField(0)->text(), QString());
        QVERIFY(s.pressOk());
        s.sheet->handBack(document);
        QCOMPARE(document.IndexInsertTag, std::string());
        QVERIFY(SurvivesSaveAndReload(document, folder()));
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::IndexSettingsPageTest)
#include "index_settings_page_test.moc"
