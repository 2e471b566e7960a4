#include "app/command_ids.h"
#include "app/desktop/mail_info_dialog.h"
#include "core/platform/local_time.h"
#include "desktop_test_support.h"
#include "settings_ui/gui_text.h"

#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::TestProgram;

namespace {

bool ReadingDone(CPostloomApp& app)
{
    return !app.document().busy() && !app.document().locked();
}

bool TreeDone(CPostloomApp& app)
{
    return app.document().treeBuilt() && !app.document().locked();
}

bool OpenAndBuild(TestProgram& program, const QString& project)
{
    CPostloomApp& app = *program.app;
    if (!app.openProject(project) || !QTest::qWaitFor([&] { return ReadingDone(app); }, kPatience))
        return false;
    app.context().commands().send(ID_THREAD_EXPAND);
    return QTest::qWaitFor([&] { return TreeDone(app); }, kPatience);
}

// The mail of sample file "000nn.alm".
MailRecord* SampleMail(CPostloomApp& app, int number)
{
    const std::string name = QStringLiteral("%1.alm").arg(number, 5, 10, QLatin1Char('0')).toStdString();
    for (const auto& mail : app.document().settings().mailList) {
        if (mail->fileName == name)
            return mail.get();
    }
    return nullptr;
}

TreeItem ItemOf(CPostloomApp& app, int number)
{
    const MailRecord* mail = SampleMail(app, number);
    return mail != nullptr ? mail->treeItem : kNoItem;
}

// A thread as the numbers of its sample files, replies in parentheses.
QString Shape(CPostloomApp& app, TreeItem item)
{
    const ThreadTree& tree = app.view().treeModel().Tree();
    const MailList& mails = app.document().settings().mailList;
    QString out = QString::fromStdString(mails[tree.ItemData(item)]->fileName).left(5).right(2);
    if (tree.HasChildren(item)) {
        QStringList children;
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            children.append(Shape(app, child));
        out += QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

// A page's bytes, one character each: a mail body need not be valid CP932.
QString ReadPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

// The page file a link of the link bar leads to, "-" for a label without a
// link.
QString LinkOf(const QString& page, const QString& label)
{
    const QString bytes = QString::fromLatin1(QByteArray::fromStdString(ToCp932(label)));
    const QRegularExpression link(QStringLiteral("HREF=\"?([^\">]*)\"?>") + QRegularExpression::escape(bytes));
    const QRegularExpressionMatch match = link.match(page);
    if (!match.hasMatch())
        return page.contains(bytes) ? QStringLiteral("-") : QString();
    return match.captured(1).section(QLatin1Char('/'), -1);
}

// "parent child next previous" of a mail page.
QString Links(const SampleCopy& sample, int number)
{
    const QString page =
        ReadPage(sample.file(QStringLiteral("site/pages/%1.html").arg(number, 5, 10, QLatin1Char('0'))));
    QStringList links;
    for (const QString& label : {QStringLiteral("[親ﾒｰﾙ]"), QStringLiteral("[子ﾒｰﾙ]"), QStringLiteral("[次ﾒｰﾙ]"),
                                 QStringLiteral("[前ﾒｰﾙ]")}) {
        links.append(LinkOf(page, label).remove(QStringLiteral(".html")));
    }
    return links.join(QLatin1Char(' '));
}

// The order in which the index page lists the pages of the given mails.
QString IndexOrder(const SampleCopy& sample, const QList<int>& numbers)
{
    const QString index = ReadPage(sample.file(QStringLiteral("site/index.html")));
    QList<std::pair<qsizetype, int>> places;
    for (const int number : numbers)
        places.append({index.indexOf(QStringLiteral("%1.html").arg(number, 5, 10, QLatin1Char('0'))), number});
    std::sort(places.begin(), places.end());
    QStringList order;
    for (const auto& [place, number] : places)
        order.append(place < 0 ? QStringLiteral("?") : QString::number(number));
    return order.join(QLatin1Char(' '));
}

// The index page, then the mail pages, each as a single step (create-all
// passes through moments without a worker between its steps).
bool WritePages(CPostloomApp& app)
{
    const auto step = [&](int id) {
        return app.context().commands().send(id) &&
               QTest::qWaitFor([&] { return !app.view().hasWorkers() && !app.document().locked(); }, kPatience);
    };
    return step(ID_INDEX_CREATE) && step(ID_MAILPAGE_CREATE);
}

}  // namespace

class MailInfoTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateTextIsJapanTimeWithEnglishNames()
    {
        // Read as local time in Tokyo, as the mail parser stores 12:00 GMT.
        const std::int32_t noon = platform::MakeLocalTime(2004, 4, 8, 12, 0, 0);
        QCOMPARE(MailDateText(noon), std::string("Thu, 08 Apr 2004 21:00:00 (JST)"));
        QCOMPARE(MailDateText(platform::MakeLocalTime(1999, 12, 31, 15, 0, 5)),
                 std::string("Sat, 01 Jan 2000 00:00:05 (JST)"));
        QCOMPARE(MailDateText(-40000), std::string());
    }

    void dialogShowsTheSelectedMailAndItsNeighbours()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndBuild(program, sample.project()));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        CMailInfoDialog& dialog = view.infoDialog();
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.parent() == nullptr);
        QVERIFY(dialog.windowFlags().testFlag(Qt::Tool));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ﾒｰﾙ情報"));
        const auto enabled = [&] {
            QString state;
            for (const int id : {ID_NEXT_INFO, ID_PREV_INFO, ID_PARENT_INFO, ID_CHILD_INFO})
                state += dialog.button(id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            return state;
        };

        view.selectItem(ItemOf(app, 12));
        QVERIFY(app.context().commands().send(ID_MAIL_INFO));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.topmost());
        QCOMPARE(dialog.subjectText(), QStringLiteral("[sample-ml:00012] Re: 4月のオフ会について"));
        QCOMPARE(dialog.fromText(), QStringLiteral("中村美香 <mika@example.ne.jp>"));
        QCOMPARE(dialog.dateText(), QStringLiteral("Thu, 08 Apr 2004 21:00:00 (JST)"));
        QCOMPARE(dialog.messageIdText(), QStringLiteral("20040012.b5@example.jp"));
        QCOMPARE(dialog.inReplyToText(), QStringLiteral("20040011.b4@example.jp"));
        QCOMPARE(dialog.referencesText(), QStringLiteral("20040008.b1@example.jp\n20040011.b4@example.jp"));
        // Placed under the mail it answers, 00011, its only reply.
        QCOMPARE(enabled(), QStringLiteral("0010"));

        // A thread start: no parent, its first reply, no thread before it.
        view.selectItem(ItemOf(app, 1));
        QVERIFY(app.context().commands().send(ID_MAIL_INFO));
        QCOMPARE(dialog.referencesText(), QString());
        QCOMPARE(dialog.inReplyToText(), QString());
        QCOMPARE(enabled(), QStringLiteral("1001"));

        // Walking 01(02(03(04(05))) 06(07)).
        const auto press = [&](int id) { QTest::mouseClick(dialog.button(id), Qt::LeftButton); };
        press(ID_PREV_INFO);  // disabled: nothing happens
        QCOMPARE(view.selectedItem(), ItemOf(app, 1));
        press(ID_CHILD_INFO);
        QCOMPARE(view.selectedItem(), ItemOf(app, 2));
        QCOMPARE(enabled(), QStringLiteral("1011"));
        press(ID_NEXT_INFO);
        QCOMPARE(view.selectedItem(), ItemOf(app, 6));
        QCOMPARE(dialog.messageIdText(), QStringLiteral("20040006.a6@example.jp"));
        QCOMPARE(enabled(), QStringLiteral("0111"));
        press(ID_CHILD_INFO);
        QCOMPARE(view.selectedItem(), ItemOf(app, 7));
        QCOMPARE(enabled(), QStringLiteral("0010"));
        press(ID_PARENT_INFO);
        press(ID_PARENT_INFO);
        QCOMPARE(view.selectedItem(), ItemOf(app, 1));
        QCOMPARE(dialog.messageIdText(), QStringLiteral("20040001.a1@example.jp"));

        // The page button follows the selection that a button makes.
        SampleMail(app, 2)->outputHtml = 0;
        press(ID_CHILD_INFO);
        QTRY_COMPARE(app.frame().pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力する"));
        press(ID_NEXT_INFO);
        QTRY_COMPARE(app.frame().pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力しない"));

        press(ID_MAIL_OPEN);
        QCOMPARE(program.prompts->opened.size(), 1);
        QVERIFY(program.prompts->opened.first().endsWith(QStringLiteral("mail/00006.alm")));
    }

    void enterEscapeAndTheCloseBoxOnlyHide()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndBuild(program, sample.project()));
        CPostloomApp& app = *program.app;
        CMailInfoDialog& dialog = app.view().infoDialog();
        app.view().selectItem(ItemOf(app, 2));
        for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape), 0}) {
            QVERIFY(app.context().commands().send(ID_MAIL_INFO));
            QVERIFY(dialog.isVisible());
            if (key != 0)
                QTest::keyClick(&dialog, Qt::Key(key));
            else
                QVERIFY(dialog.close());
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.messageIdText(), QStringLiteral("20040002.a2@example.jp"));
        }
        // A double click on a mail's icon shows it again.
        CPostloomView& view = app.view();
        view.resize(400, 600);
        const QRect cell = view.visualRect(view.treeModel().IndexOf(ItemOf(app, 1)));
        const QPoint icon(cell.left() + 6, cell.center().y());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, icon);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, icon);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, icon);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.messageIdText(), QStringLiteral("20040001.a1@example.jp"));
    }

    void movesAndDropsWaitForTheWorkersAndNeverTakeTheProjectItem()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(OpenAndBuild(program, sample.project()));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        const ThreadTree& tree = view.treeModel().Tree();
        const QString before = Shape(app, ItemOf(app, 1));
        QCOMPARE(before, QStringLiteral("01(02(03(04(05))) 06(07))"));

        view.selectItem(ItemOf(app, 6));
        QVERIFY(app.context().commands().isEnabled(ID_MAIL_UP));
        QVERIFY(!app.context().commands().isEnabled(ID_MAIL_DOWN));
        QVERIFY(app.context().commands().send(ID_MAILPAGE_CREATE));
        QVERIFY(!app.context().commands().isEnabled(ID_MAIL_UP));
        QVERIFY(!app.context().commands().send(ID_MAIL_UP));
        QVERIFY(!view.beginDrag(ItemOf(app, 6)));
        QVERIFY(!view.dropMail(ItemOf(app, 6), ItemOf(app, 16)));
        QTRY_VERIFY_WITH_TIMEOUT(!app.view().hasWorkers(), kPatience);
        QCOMPARE(Shape(app, ItemOf(app, 1)), before);

        app.document().setModified(false);
        view.selectItem(tree.Root());
        QVERIFY(!app.context().commands().isEnabled(ID_MAIL_DOWN));
        QVERIFY(!view.beginDrag(tree.Root()));
        QCOMPARE(view.selectedItem(), tree.Root());
        QVERIFY(!(view.treeModel().flags(view.treeModel().IndexOf(tree.Root())) & Qt::ItemIsDragEnabled));

        // Onto the parent and onto a reply of its own: nothing changes,
        // nothing stays selected.
        QVERIFY(view.beginDrag(ItemOf(app, 2)));
        QCOMPARE(view.selectedItem(), kNoItem);
        QVERIFY(!view.dropMail(ItemOf(app, 2), ItemOf(app, 1)));
        view.selectItem(ItemOf(app, 2));
        QVERIFY(!view.dropMail(ItemOf(app, 2), ItemOf(app, 4)));
        QCOMPARE(view.selectedItem(), kNoItem);
        QCOMPARE(Shape(app, ItemOf(app, 1)), before);
        QVERIFY(!app.document().isModified());
    }

    void pagesFollowMovesAndDropsBeforeAndAfterRebuildAndReopen()
    {
        SampleCopy sample;
        QVERIFY(sample.useClassicPages());
        const QString expected = QStringLiteral("01(06(05 07) 02(03(04)))");
        // Each page's parent, child, next and previous link, and the order
        // of the thread on the index page.
        const auto pages = [&](const char* when) {
            QStringList links{QString::fromLatin1(when)};
            for (const int number : {1, 6, 5, 7, 2, 4, 16, 17})
                links.append(QString::number(number) + QLatin1Char(':') + Links(sample, number));
            links.append(IndexOrder(sample, {1, 2, 3, 4, 5, 6, 7}));
            return links;
        };
        const auto expectedPages = [](const char* when) {
            return QStringList{QString::fromLatin1(when),
                               QStringLiteral("1:- 00006 00008 -"),
                               QStringLiteral("6:00001 00005 00002 -"),
                               QStringLiteral("5:00006 - 00007 -"),
                               QStringLiteral("7:00006 - - 00005"),
                               QStringLiteral("2:00001 00003 - 00006"),
                               QStringLiteral("4:00003 - - -"),
                               QStringLiteral("16:- - 00017 00008"),
                               QStringLiteral("17:- - 00018 00016"),
                               QStringLiteral("1 6 5 7 2 3 4")};
        };
        const auto checkPages = [&](const char* when) { QCOMPARE(pages(when), expectedPages(when)); };
        {
            TestProgram program;
            program.app->start();
            QVERIFY(OpenAndBuild(program, sample.project()));
            CPostloomApp& app = *program.app;
            CPostloomView& view = app.view();
            ThreadTreeModel& model = view.treeModel();
            view.setExpanded(model.IndexOf(ItemOf(app, 6)), true);

            app.document().setModified(false);
            view.selectItem(ItemOf(app, 6));
            QVERIFY(app.context().commands().send(ID_MAIL_UP));
            QCOMPARE(view.selectedItem(), ItemOf(app, 6));
            QVERIFY(app.document().isModified());
            // Down and up again: the selection and the open branch go with the mail.
            QVERIFY(app.context().commands().send(ID_MAIL_DOWN));
            QCOMPARE(view.selectedItem(), ItemOf(app, 6));
            QVERIFY(view.isExpanded(model.IndexOf(ItemOf(app, 6))));
            QVERIFY(app.context().commands().send(ID_MAIL_UP));
            QCOMPARE(Shape(app, ItemOf(app, 1)), QStringLiteral("01(06(07) 02(03(04(05))))"));

            // Through the model, as a drop in the view arrives; by date
            // before 07.
            QVERIFY(view.beginDrag(ItemOf(app, 5)));
            const std::unique_ptr<QMimeData> drag(model.mimeData({model.IndexOf(ItemOf(app, 5))}));
            QVERIFY(model.dropMimeData(drag.get(), Qt::MoveAction, -1, -1, model.IndexOf(ItemOf(app, 6))));
            QCOMPARE(view.selectedItem(), ItemOf(app, 5));
            QCOMPARE(SampleMail(app, 5)->inReplyTo, std::string("20040006.a6@example.jp"));
            // A reply of another thread becomes a thread of its own.
            QVERIFY(view.dropMail(ItemOf(app, 17), model.Tree().Root()));
            QCOMPARE(SampleMail(app, 17)->noReplyHeaders, 1);
            QCOMPARE(Shape(app, ItemOf(app, 1)), expected);

            QVERIFY(WritePages(app));
            checkPages("after the changes");
            app.context().commands().send(ID_THREAD_EXPAND);
            QTRY_VERIFY_WITH_TIMEOUT(TreeDone(app), kPatience);
            QCOMPARE(Shape(app, ItemOf(app, 1)), expected);
            QVERIFY(WritePages(app));
            checkPages("after the next tree build");
            QVERIFY(app.document().save());
        }
        TestProgram reopened;
        reopened.app->start();
        QVERIFY(OpenAndBuild(reopened, sample.project()));
        CPostloomApp& app = *reopened.app;
        QCOMPARE(Shape(app, ItemOf(app, 1)), expected);
        QVERIFY(WritePages(app));
        checkPages("after saving and reopening");
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::MailInfoTest)
#include "mail_info_test.moc"
