#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/pipeline_workers.h"

#include "app_test_support.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom {
namespace {

using test::kPatience;

const QStringList kNothing;

std::unique_ptr<MailRecord> Mail(std::string messageId, std::string inReplyTo, std::int32_t date)
{
    auto mail = std::make_unique<MailRecord>();
    mail->subject = "subject " + messageId;
    mail->noReplyHeaders = inReplyTo.empty() ? 1 : 0;
    mail->messageId = std::move(messageId);
    mail->inReplyTo = std::move(inReplyTo);
    mail->date = date;
    mail->orderKey = date;
    return mail;
}

class PipelineWorkersTest : public QObject {
    Q_OBJECT

    // A mail folder with three mails and one file that does not match.
    std::string MailFolder()
    {
        const std::string folder = dir_->path().toStdString();
        for (const char* name : {"1.alm", "2.alm", "3.alm"}) {
            test::WriteBytes(folder + "/" + name, std::string("From: a@example.com\r\nSubject: mail ") + name +
                                                      "\r\nMessage-Id: <" + name + "@example.com>\r\n\r\nbody\r\n");
        }
        test::WriteBytes(folder + "/notes.txt", "not a mail\r\n");
        return folder;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<AppContext> context_;
    QStringList log_;
    std::unique_ptr<test::RecordingWindow> window_;
    CommandDispatcher::Registration notices_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        context_ = std::make_unique<AppContext>();
        log_.clear();
        window_ = std::make_unique<test::RecordingWindow>(log_);
        notices_ = test::RecordCommands(context_->commands(), log_,
                                        {ID_MAIL_READ_FIN, ID_MAIL_SORT_FIN, ID_UPDATE_TREEITEM});
    }

    void cleanup()
    {
        notices_ = {};
        context_->setMainWindow(nullptr);
        context_.reset();
        window_.reset();
        dir_.reset();
    }

    // --- reading -----------------------------------------------------------

    void readingSendsRangeThenOneReportPerEntryThenPostsNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        CFileReadThread worker(*context_, settings, MailFolder());
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(log_.contains("ID_MAIL_READ_FIN"), kPatience);
        QCOMPARE(log_, (QStringList{"range 0 3", "at 0", "at 1", "at 2", "ID_MAIL_READ_FIN"}));
        QCOMPARE(settings.mailList.size(), 3u);
        QCOMPARE(worker.result().appended, 3u);
        QCOMPARE(settings.mailListChanged, 1);
    }

    void withoutMainWindowReadingAndSortingReportNothingAndTheirNoticeWaitsForIt_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::newRow("reading") << true;
        QTest::newRow("sorting") << false;
    }

    void withoutMainWindowReadingAndSortingReportNothingAndTheirNoticeWaitsForIt()
    {
        QFETCH(bool, reading);
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        std::unique_ptr<WorkerThread> worker;
        if (reading) {
            worker = std::make_unique<CFileReadThread>(*context_, settings, MailFolder());
        } else {
            settings.mailList.push_back(Mail("A", "", 9));
            settings.mailList.push_back(Mail("B", "", 1));
            settings.mailList.push_back(Mail("C", "", 5));
            worker = std::make_unique<CDataSortThread>(*context_, settings);
        }
        worker->start();

        QTRY_COMPARE_WITH_TIMEOUT(context_->workersWaitingForMainWindow(), 1, kPatience);
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_, kNothing);
        QCOMPARE(settings.mailList.size(), 3u);

        context_->setMainWindow(window_.get());
        const QString notice = reading ? "ID_MAIL_READ_FIN" : "ID_MAIL_SORT_FIN";
        QTRY_COMPARE_WITH_TIMEOUT(log_, QStringList{notice}, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), kPatience);
    }

    void readingStoppedDuringAReportPostsNoNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        CFileReadThread worker(*context_, settings, MailFolder());
        window_->onReport = [&worker](int position) {
            if (position == 1) {
                worker.requestStop();
            }
        };
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(worker.isFinished(), kPatience);
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_, (QStringList{"range 0 3", "at 0", "at 1"}));
        // The entry being handled when the stop came is kept; no further one is read.
        QCOMPARE(settings.mailList.size(), 2u);
        QVERIFY(worker.result().stopped);
    }

    // The owner goes away while the worker waits on one of its reports: the
    // destructor stops it and waits for its end without blocking on it.
    void destroyingAReaderThatWaitsOnAReportDoesNotDeadlock()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        auto worker = std::make_unique<CFileReadThread>(*context_, settings, MailFolder());
        window_->onReport = [&worker](int) { worker.reset(); };
        worker->start();

        QTRY_VERIFY_WITH_TIMEOUT(worker == nullptr, kPatience);
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_, (QStringList{"range 0 3", "at 0"}));
        QVERIFY(settings.mailList.size() < 3u);
    }

    void readerStoppedWhileWaitingForTheWindowNeverPostsItsNotice()
    {
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        auto worker = std::make_unique<CFileReadThread>(*context_, settings, MailFolder());
        worker->start();
        QTRY_COMPARE_WITH_TIMEOUT(context_->workersWaitingForMainWindow(), 1, kPatience);

        worker.reset();
        QCOMPARE(context_->workersWaitingForMainWindow(), 0);
        context_->setMainWindow(window_.get());
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_, kNothing);
    }

    void missingMailFolderReadsNothingAndStillPostsNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.MailExt = "*.*";
        CFileReadThread worker(*context_, settings, dir_->path().toStdString() + "/missing");
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(log_.contains("ID_MAIL_READ_FIN"), kPatience);
        QCOMPARE(log_, (QStringList{"range 0 0", "ID_MAIL_READ_FIN"}));
        QVERIFY(settings.mailList.empty());
        QVERIFY(!worker.result().folderFound);
    }

    // --- sorting -----------------------------------------------------------

    void sortReportsEveryOuterStepThenPostsNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.mailList.push_back(Mail("A", "", 5));
        settings.mailList.push_back(Mail("B", "", 5));
        settings.mailList.push_back(Mail("C", "", 3));
        CDataSortThread worker(*context_, settings);
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(log_.contains("ID_MAIL_SORT_FIN"), kPatience);
        QCOMPARE(log_, (QStringList{"at 0", "at 1", "at 2", "ID_MAIL_SORT_FIN"}));
        QCOMPARE(settings.mailList[0]->messageId, "C");
        QCOMPARE(settings.mailList[1]->messageId, "B");
        QCOMPARE(settings.mailList[2]->messageId, "A");
    }

    void sortOfNoMailsPostsItsNoticeAtOnce()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        CDataSortThread worker(*context_, settings);
        worker.start();

        QTRY_COMPARE_WITH_TIMEOUT(log_, QStringList{"ID_MAIL_SORT_FIN"}, kPatience);
    }

    void sortStoppedDuringAReportPostsNoNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        for (int i = 0; i < 5; ++i) {
            settings.mailList.push_back(Mail(std::to_string(i), "", 10 - i));
        }
        CDataSortThread worker(*context_, settings);
        window_->onReport = [&worker](int) { worker.requestStop(); };
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(worker.isFinished(), kPatience);
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_, QStringList{"at 0"});
    }

    // --- the tree ----------------------------------------------------------

    void treeWorkerBuildsIntoItsOwnTreeAndHandsItOverWithTheNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.mailList.push_back(Mail("<p@x>", "", 1));
        settings.mailList.push_back(Mail("<r@x>", "<p@x>", 2));
        ThreadTree shown;
        shown.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
        ThreadTree start;
        start.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
        auto worker = std::make_unique<CTreeMakeThread>(*context_, settings, std::move(start));
        std::optional<ThreadTree> received;
        const auto view = context_->commands().addRoutes(RouteLevel::View, {{.id = ID_UPDATE_TREEITEM, .handler = [&] {
                                                                                 received = worker->takeTree();
                                                                                 worker.reset();
                                                                             }}});
        worker->start();

        QTRY_VERIFY_WITH_TIMEOUT(received.has_value(), kPatience);
        // Two mails: two reports in each of the first two passes, one per
        // placed item in the third.
        QCOMPARE(log_, (QStringList{"at 0", "at 1", "at 2", "at 3", "at 4", "at 5"}));
        QCOMPARE(received->Dump(), "0(0(1))");
        QCOMPARE(shown.Dump(), "0");
        QCOMPARE(settings.mailList[1]->parent, settings.mailList[0].get());
        QCOMPARE(received->ItemData(settings.mailList[1]->treeItem), 1u);
    }

    void treeWorkerStoppedDuringAReportStillPostsItsNotice()
    {
        context_->setMainWindow(window_.get());
        ProjectSettings settings;
        settings.mailList.push_back(Mail("<p@x>", "", 1));
        settings.mailList.push_back(Mail("<r@x>", "<p@x>", 2));
        ThreadTree start;
        start.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
        CTreeMakeThread worker(*context_, settings, std::move(start));
        window_->onReport = [&worker](int) { worker.requestStop(); };
        worker.start();

        QTRY_VERIFY_WITH_TIMEOUT(log_.contains("ID_UPDATE_TREEITEM"), kPatience);
        QCOMPARE(log_, (QStringList{"at 0", "ID_UPDATE_TREEITEM"}));
        QVERIFY(!worker.completed());
    }

    // --- through the dispatcher --------------------------------------------

    // Reading, sorting and an automatic step to the tree, each started by
    // the notice of the one before; the notices run even though a rule that
    // says no is registered for them, while the posted ID_THREAD_EXPAND
    // passes its rule: without mails it is dropped and the chain ends.
    void chainPassesPostedCommandsThroughTheirRulesButNeverTheNotices_data()
    {
        QTest::addColumn<bool>("withMails");
        QTest::newRow("no mails") << false;
        QTest::newRow("three mails") << true;
    }

    void chainPassesPostedCommandsThroughTheirRulesButNeverTheNotices()
    {
        QFETCH(bool, withMails);
        context_->setMainWindow(window_.get());
        test::RecordDrops(context_->commands(), log_);
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        const std::string folder = withMails ? MailFolder() : dir_->path().toStdString();
        bool busy = true;
        std::unique_ptr<CFileReadThread> reader = std::make_unique<CFileReadThread>(*context_, settings, folder);
        std::unique_ptr<CDataSortThread> sorter;
        std::unique_ptr<CTreeMakeThread> treeWorker;
        const auto never = [] { return false; };
        // View level: ahead of the recording handlers.
        const auto owners = context_->commands().addRoutes(
            RouteLevel::View,
            {{.id = ID_MAIL_READ_FIN,
              .enabled = never,
              .handler =
                  [&] {
                      reader.reset();
                      sorter = std::make_unique<CDataSortThread>(*context_, settings);
                      sorter->start();
                  }},
             {.id = ID_MAIL_SORT_FIN,
              .enabled = never,
              .handler =
                  [&] {
                      busy = false;
                      sorter.reset();
                      context_->commands().post(ID_THREAD_EXPAND);
                  }},
             {.id = ID_THREAD_EXPAND,
              .enabled = [&] { return !busy && !settings.mailList.empty(); },
              .handler =
                  [&] {
                      log_ << "expand";
                      ThreadTree start;
                      start.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
                      treeWorker = std::make_unique<CTreeMakeThread>(*context_, settings, std::move(start));
                      treeWorker->start();
                  }},
             {.id = ID_UPDATE_TREEITEM, .enabled = never, .handler = [&] {
                  log_ << "tree done";
                  treeWorker.reset();
              }}});
        reader->start();

        const QString last = withMails ? "tree done" : "dropped ID_THREAD_EXPAND";
        QTRY_VERIFY_WITH_TIMEOUT(log_.contains(last), kPatience);
        QVERIFY(test::Drain(context_->commands()));
        QCOMPARE(log_.contains("expand"), withMails);
        QCOMPARE(log_.last(), last);
        QVERIFY(!log_.contains("dropped ID_MAIL_READ_FIN"));
        QVERIFY(!log_.contains("dropped ID_MAIL_SORT_FIN"));
    }
};

}  // namespace
}  // namespace postloom

QTEST_GUILESS_MAIN(postloom::PipelineWorkersTest)
#include "pipeline_workers_test.moc"
