#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/generation_chain.h"

#include "app_test_support.h"
#include "english_problems.h"
#include "core/mail/folder_reader.h"
#include "core/threading/mail_sort.h"
#include "core/threading/tree_builder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom {
namespace {

using test::English;
using test::kPatience;

const QString kGraphics = QString::fromUtf8("status グラフィックファイルをコピー中");
const QString kIndex = QString::fromUtf8("status インデックスHTMLを作成中");
const QString kPages = QString::fromUtf8("status メールHTMLを作成中");
const QString kStatusCleared = "status";

// The view and its document as far as the chain sees them: a project of
// three mails (a thread start, its reply, another start), read, ordered and
// threaded, with five tree graphics beside it.
class ProjectHost final : public GenerationHost {
public:
    explicit ProjectHost(QStringList& log) : log_(log)
    {
        const std::string root = folder_.path().toStdString();
        QDir(folder_.path()).mkpath("mail");
        QDir(folder_.path()).mkpath("images");
        QDir(folder_.path()).mkpath("site/pages");
        const auto mail = [&](const char* name, const char* id, const char* date, const char* reply) {
            std::string text = std::string("From: a@example.com\r\nSubject: mail ") + name + "\r\nMessage-Id: " + id +
                               "\r\nDate: " + date + "\r\n";
            if (*reply != '\0') {
                text += std::string("In-Reply-To: ") + reply + "\r\n";
            }
            test::WriteBytes(root + "/mail/" + name + ".alm", text + "\r\nbody of " + name + "\r\n");
        };
        mail("start", "<s@x>", "Mon, 1 Jun 2020 10:00:00 +0900", "");
        mail("reply", "<r@x>", "Mon, 1 Jun 2020 11:00:00 +0900", "<s@x>");
        mail("other", "<o@x>", "Tue, 2 Jun 2020 10:00:00 +0900", "");
        for (const char* graphic : {"first", "cont", "last", "next", "null"}) {
            test::WriteBytes(root + "/images/" + graphic + ".png", graphic);
        }

        settings_.MailExt = "*.alm";
        settings_.TargetPath = "mail";
        settings_.IndexPath = "site/index.html";
        settings_.MailPath = "pages";
        settings_.DrawGraphic = 1;
        settings_.FirstTree = "images/first.png";
        settings_.ContTree = "images/cont.png";
        settings_.LastTree = "images/last.png";
        settings_.NextTree = "images/next.png";
        settings_.NullTree = "images/null.png";

        NoProgress progress;
        const StopFlag stop{false};
        ReadMailFolder(settings_, root + "/mail", progress, stop);
        SortMailList(settings_.mailList, progress, stop);
        tree_.Insert("project", kIconProject, 0, kNoItem, ThreadTree::Place::Last);
        BuildThreadTree(settings_.mailList, 0, tree_, progress, stop);
    }

    ProjectSettings& mutableSettings() { return settings_; }
    ThreadTree& mutableTree() { return tree_; }
    QString site(const QString& name) const { return folder_.filePath("site/" + name); }

    const ProjectSettings& settings() const override { return settings_; }
    std::string projectFolder() const override { return folder_.path().toStdString(); }
    const ThreadTree& threadTree() const override { return tree_; }
    void setStatusText(QStringView text) override
    {
        log_ << (text.isEmpty() ? kStatusCleared : "status " + text.toString());
    }
    void showError(const QString& message) override { log_ << "error " + message; }

private:
    QStringList& log_;
    QTemporaryDir folder_;
    ProjectSettings settings_;
    ThreadTree tree_;
};

class GenerationChainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppContext> context_;
    QStringList log_;
    std::unique_ptr<test::RecordingWindow> window_;
    std::unique_ptr<ProjectHost> host_;
    std::unique_ptr<GenerationChain> chain_;
    bool treeBuilt_ = true;
    bool modified_ = false;
    CommandDispatcher::Registration document_;

    // Posts id and waits until everything it started has ended.
    void run(int id)
    {
        context_->commands().post(id);
        QVERIFY(test::Drain(context_->commands()));
        QTRY_VERIFY_WITH_TIMEOUT(!chain_->isRunning(), kPatience);
        QVERIFY(test::Drain(context_->commands()));
    }

    QStringList graphicsStep() const
    {
        return {"range 0 5", kGraphics, "at 0", "at 1", "at 2", "at 3", "at 4", kStatusCleared};
    }

private Q_SLOTS:
    void init()
    {
        context_ = std::make_unique<AppContext>();
        log_.clear();
        window_ = std::make_unique<test::RecordingWindow>(log_);
        context_->setMainWindow(window_.get());
        test::RecordDrops(context_->commands(), log_);
        host_ = std::make_unique<ProjectHost>(log_);
        QCOMPARE(host_->settings().mailList.size(), 3u);
        chain_ = std::make_unique<GenerationChain>(*context_, *host_);
        treeBuilt_ = true;
        modified_ = false;
        const auto built = [this] { return treeBuilt_; };
        document_ = context_->commands().addRoutes(
            RouteLevel::Document,
            {{.id = ID_HTML_CREATE, .enabled = built},
             {.id = ID_INDEX_CREATE, .enabled = built},
             {.id = ID_MAILPAGE_CREATE, .enabled = built},
             {.id = ID_GRAPHIC_COPY, .enabled = [this] { return host_->settings().DrawGraphic != 0; }},
             {.id = ID_FILE_SAVE, .enabled = [this] { return modified_; }, .handler = [this] { log_ << "save"; }},
             {.id = ID_APP_EXIT, .handler = [this] { log_ << "exit"; }}});
    }

    void cleanup()
    {
        document_ = {};
        chain_.reset();
        host_.reset();
        context_->setMainWindow(nullptr);
        context_.reset();
        window_.reset();
    }

    void createAllRunsGraphicsThenIndexThenMailPages_data()
    {
        QTest::addColumn<bool>("drawGraphic");
        QTest::newRow("with tree graphics") << true;
        QTest::newRow("without tree graphics") << false;
    }

    void createAllRunsGraphicsThenIndexThenMailPages()
    {
        QFETCH(bool, drawGraphic);
        host_->mutableSettings().DrawGraphic = drawGraphic ? 1 : 0;

        run(ID_HTML_CREATE);

        QStringList expected = graphicsStep();
        if (!drawGraphic) {
            // The graphics step still runs, without reports.
            expected = QStringList{"range 0 5", kGraphics, kStatusCleared};
        }
        expected << kIndex << "end" << "range 0 3" << "at 0" << "at 1" << "at 2" << kStatusCleared << "end"
                 << kPages << "range 0 3" << "at 1" << "at 2" << "at 3" << kStatusCleared << "end";
        QCOMPARE(log_, expected);
        QVERIFY(!chain_->singleStep());
        QCOMPARE(QFileInfo::exists(host_->site("first.png")), drawGraphic);
        QVERIFY(QFileInfo::exists(host_->site("index.html")));
        for (const char* page : {"start.html", "reply.html", "other.html"}) {
            QVERIFY2(QFileInfo::exists(host_->site(QStringLiteral("pages/") + page)), page);
        }
        QCOMPARE(chain_->indexResult().entriesWritten, 3);
        QCOMPARE(chain_->mailPagesResult().pagesWritten, 3);
    }

    void singleStepsEndAfterThemselves_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("singleStep");
        QTest::newRow("graphics") << int{ID_GRAPHIC_COPY} << graphicsStep() << true;
        QTest::newRow("index") << int{ID_INDEX_CREATE}
                               << QStringList{kIndex, "range 0 3", "at 0", "at 1", "at 2", kStatusCleared, "end"}
                               << true;
        QTest::newRow("mail pages") << int{ID_MAILPAGE_CREATE}
                                    << QStringList{kPages, "range 0 3", "at 1", "at 2", "at 3", kStatusCleared, "end"}
                                    << false;
    }

    void singleStepsEndAfterThemselves()
    {
        QFETCH(int, command);
        QFETCH(QStringList, expected);
        QFETCH(bool, singleStep);

        run(command);

        if (command == ID_GRAPHIC_COPY) {
            expected << "end";
        }
        QCOMPARE(log_, expected);
        QCOMPARE(chain_->singleStep(), singleStep);
        QCOMPARE(QFileInfo::exists(host_->site("index.html")), command == ID_INDEX_CREATE);
        QCOMPARE(QFileInfo::exists(host_->site("pages/start.html")), command == ID_MAILPAGE_CREATE);
    }

    // The mark a single step leaves neither chains the mail pages nor stops
    // the next create-all.
    void singleStepMarkLastsOnlyUntilTheNextCreateAll()
    {
        run(ID_GRAPHIC_COPY);
        QVERIFY(chain_->singleStep());
        log_.clear();
        run(ID_MAILPAGE_CREATE);
        QCOMPARE(log_.first(), kPages);
        QVERIFY(!log_.contains(kIndex));

        run(ID_HTML_CREATE);
        QVERIFY(!chain_->singleStep());
        QVERIFY(log_.contains(kIndex));
        QCOMPARE(log_.count(kPages), 2);
    }

    // The step to the mail pages is a posted command: it passes its rule when
    // it arrives, and the chain ends where it fails.
    void chainEndsWhereThePostedMailPageCommandIsDisabled()
    {
        window_->onReport = [this](int) {
            if (log_.contains(kIndex)) {
                treeBuilt_ = false;
            }
        };

        run(ID_HTML_CREATE);

        QCOMPARE(log_.last(), "dropped ID_MAILPAGE_CREATE");
        QVERIFY(!log_.contains(kPages));
        QVERIFY(QFileInfo::exists(host_->site("index.html")));
        QVERIFY(!QFileInfo::exists(host_->site("pages/start.html")));
    }

    void unattendedRunWithExitPostsSaveAndExitAndClearsTheMarks_data()
    {
        QTest::addColumn<int>("autoRun");
        QTest::addColumn<int>("exitAfterRun");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("auto exit, modified") << 1 << 1 << true << QStringList{"end", "save", "exit"};
        // Save fails its rule when nothing changed; Exit runs all the same.
        QTest::newRow("auto exit, unchanged") << 1 << 1 << false
                                              << QStringList{"end", "dropped ID_FILE_SAVE", "exit"};
        QTest::newRow("auto only") << 1 << 0 << true << QStringList{kStatusCleared, "end"};
        QTest::newRow("exit only") << 0 << 1 << true << QStringList{kStatusCleared, "end"};
    }

    void unattendedRunWithExitPostsSaveAndExitAndClearsTheMarks()
    {
        QFETCH(int, autoRun);
        QFETCH(int, exitAfterRun);
        QFETCH(bool, modified);
        QFETCH(QStringList, tail);
        context_->marks() = {.autoRun = autoRun, .exitAfterRun = exitAfterRun};
        modified_ = modified;

        run(ID_MAILPAGE_CREATE);

        QCOMPARE(log_.mid(log_.size() - tail.size()), tail);
        QCOMPARE(context_->marks().autoRun, 0);
        QCOMPARE(context_->marks().exitAfterRun, 0);
    }

    // The user may rearrange the tree while the index is written: the worker
    // lists the tree as it was when the step started.
    void indexIsWrittenFromTheTreeAsItWasAtTheStart()
    {
        bool emptied = false;
        window_->onReport = [&](int) {
            if (!emptied) {
                host_->mutableTree().DeleteAll();
                emptied = true;
            }
        };

        run(ID_INDEX_CREATE);

        QVERIFY(emptied);
        QCOMPARE(chain_->indexResult().entriesWritten, 3);
        QVERIFY(chain_->indexResult().written);
    }

    void startCommandWhileAStepRunsIsIgnored()
    {
        window_->onReport = [this](int position) {
            if (position == 0) {
                QVERIFY(context_->commands().send(ID_HTML_CREATE));
                QVERIFY(context_->commands().send(ID_MAILPAGE_CREATE));
            }
        };

        run(ID_GRAPHIC_COPY);

        QCOMPARE(log_.count("range 0 5"), 1);
        QVERIFY(!log_.contains(kPages));
    }

    // The view goes away while the mail-page worker waits on a report: the
    // chain stops it and waits for its end; the late notice finds no handler.
    void pathHoldingANulStopsEveryStepBeforeItWrites()
    {
        host_->mutableSettings().MailPath = std::string("pages\0/../..", 12);
        for (const int command : {ID_HTML_CREATE, ID_INDEX_CREATE, ID_MAILPAGE_CREATE, ID_GRAPHIC_COPY}) {
            log_.clear();
            run(command);
            QCOMPARE(log_.size(), 1);
            QVERIFY2(log_.front().startsWith(QStringLiteral("error ")) && log_.front().contains(QStringLiteral("MailPath")),
                     qPrintable(log_.front()));
        }
        QVERIFY(!QFileInfo::exists(host_->site("index.html")));
        QVERIFY(!QFileInfo::exists(host_->site("pages/start.html")));
    }

    void missingFoldersAreMadeAndSaidOnce()
    {
        QDir(host_->site({})).removeRecursively();
        run(ID_HTML_CREATE);
        const ProblemLog& problems = context_->problems();
        QCOMPARE(English(problems.notices()),
                 (QStringList{"created the missing folder " + QDir::cleanPath(host_->site({})),
                              "created the missing folder " + host_->site("pages")}));
        QVERIFY(problems.problems().empty());
        QVERIFY(QFileInfo::exists(host_->site("pages/start.html")));

        run(ID_HTML_CREATE);
        QVERIFY(problems.notices().empty());
    }

    void folderThatCannotBeMadeStopsTheRunBeforeAnyFile()
    {
        QDir(host_->site({})).removeRecursively();
        test::WriteBytes(host_->site({}).chopped(1).toStdString(), "a file where the site folder goes");
        run(ID_HTML_CREATE);
        QCOMPARE(English(context_->problems().problems()),
                 QStringList{"cannot create the folder " + host_->site({}).chopped(1) +
                             ": File exists; no page was written"});
        QVERIFY(!log_.contains(kIndex));
    }

    void problemLogHoldsTheLinesOfTheLatestRunOnly()
    {
        QStringList ended;
        connect(&context_->problems(), &ProblemLog::runEnded, this, [&](const QString& summary) { ended << summary; });
        QFile::remove(QDir(host_->projectFolder().c_str()).filePath("mail/reply.alm"));
        host_->mutableSettings().MailHeader = 1;
        host_->mutableSettings().MailHeaderFile = "missing-head.txt";
        run(ID_HTML_CREATE);
        const QString header = QDir(host_->projectFolder().c_str()).filePath("missing-head.txt");
        // A mail file taken away is a notice, not a problem.
        QCOMPARE(English(context_->problems().problems()), QStringList{"cannot read the mail header file " + header});
        QCOMPARE(English(context_->problems().notices()), QStringList{"mail file gone, no page: reply.alm"});
        QCOMPARE(ended, QStringList{"2通のﾍﾟｰｼﾞを作成しました (問題 1件)"});

        run(ID_INDEX_CREATE);
        QVERIFY(context_->problems().problems().empty());
        QVERIFY(context_->problems().notices().empty());
        QCOMPARE(ended.last(), QStringLiteral("ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞを作成しました"));
        QCOMPARE(context_->problems().problemsSeen(), 1);
    }

    void stopEndsTheMailPagesBeforeTheNextMailAndSaysSo()
    {
        QStringList ended;
        connect(&context_->problems(), &ProblemLog::runEnded, this, [&](const QString& summary) { ended << summary; });
        window_->onReport = [this](int position) {
            if (position == 1 && log_.contains(kPages)) {
                chain_->requestStop();
            }
        };
        run(ID_HTML_CREATE);
        QVERIFY(chain_->mailPagesResult().stopped);
        QVERIFY(chain_->mailPagesResult().pagesWritten < 3);
        QCOMPARE(English(context_->problems().problems()), QStringList{"the run was stopped before its end"});
        QCOMPARE(ended.size(), 1);
    }

    // What a killed run left (where files are not anonymous) goes at the end
    // of a run that wrote its pages to the end, not after a stopped one.
    void completedRunRemovesTheTemporaryFilesOfInterruptedRuns()
    {
        const QStringList stale = {host_->site(".postloom-out-0123456789ab"),
                                   host_->site("pages/.postloom-out-0123456789ab"),
                                   host_->site("pages/start_files/.postloom-out-abcdefabcdef")};
        QDir(host_->site({})).mkpath("pages/start_files");
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        for (const QString& path : stale) {
            test::WriteBytes(path.toStdString(), "cut");
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        }
        window_->onReport = [this](int position) {
            if (position == 1 && log_.contains(kPages)) {
                chain_->requestStop();
            }
        };
        run(ID_HTML_CREATE);
        QVERIFY(chain_->mailPagesResult().stopped);
        for (const QString& path : stale) {
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        }

        window_->onReport = nullptr;
        run(ID_HTML_CREATE);
        QVERIFY(!chain_->mailPagesResult().stopped);
        for (const QString& path : stale) {
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }
        QCOMPARE(English(context_->problems().notices()),
                 QStringList{"removed 3 temporary files left by interrupted runs"});
        QVERIFY(context_->problems().problems().empty());
    }

    void stopDuringTheGraphicsEndsCreateAllThere()
    {
        window_->onReport = [this](int position) {
            if (position == 0 && log_.contains(kGraphics)) {
                chain_->requestStop();
            }
        };
        run(ID_HTML_CREATE);
        QVERIFY(!log_.contains(kIndex));
        QVERIFY(!log_.contains(kPages));
        QCOMPARE(English(context_->problems().problems()), QStringList{"the run was stopped before its end"});
        QVERIFY(!chain_->isRunning());
    }

    void destroyingTheChainDuringTheMailPagesDoesNotDeadlock()
    {
        window_->onReport = [this](int position) {
            if (position == 2) {
                chain_.reset();
            }
        };
        context_->commands().post(ID_MAILPAGE_CREATE);

        QTRY_VERIFY_WITH_TIMEOUT(chain_ == nullptr, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(log_.contains("dropped ID_UPDATE_HTML"), kPatience);
        QCOMPARE(log_.mid(0, 4), (QStringList{kPages, "range 0 3", "at 1", "at 2"}));
        QVERIFY(!log_.contains("at 3"));
    }
};

}  // namespace
}  // namespace postloom

QTEST_GUILESS_MAIN(postloom::GenerationChainTest)
#include "generation_chain_test.moc"
