// A worker whose job reports thousands of times: a burst is sent, then the
// reports are thinned out to a rate, numbered as before, the last one shown
// before the completion notice.

#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/worker_thread.h"

#include "app_test_support.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <semaphore>
#include <thread>
#include <vector>

namespace postloom {
namespace {

using test::kPatience;

// Runs the job it is given; posts ID_UPDATE_TREEITEM at the end.
class ScriptedWorker final : public WorkerThread {
public:
    using WorkerThread::PositionRule;
    using Job = std::function<void(JobProgress&, const StopFlag&)>;

    ScriptedWorker(AppContext& context, PositionRule positions, Job job, bool rangeFromJob = false)
        : WorkerThread(context, {.name = "ScriptedWorker",
                                 .noticeId = ID_UPDATE_TREEITEM,
                                 .notice = NoticeRule::Always,
                                 .positions = positions,
                                 .rangeFromJob = rangeFromJob}),
          job_(std::move(job))
    {
    }
    ~ScriptedWorker() override { shutDown(); }

private:
    void work() override { job_(progress(), stopFlag()); }

    Job job_;
};

// Reports position(i) for i = 0 .. count-1, each after a short unit of work.
ScriptedWorker::Job Reports(int count, std::function<int(int)> position = [](int i) { return i; })
{
    return [count, position](JobProgress& progress, const StopFlag&) {
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            progress.Report(position(i));
        }
    };
}

constexpr int kLongRun = 2000;

class ReportRateTest : public QObject {
    Q_OBJECT

    // The positions of the "at P" entries, in order.
    std::vector<int> Shown() const
    {
        std::vector<int> positions;
        for (const QString& entry : log_) {
            if (entry.startsWith(QStringLiteral("at "))) {
                positions.push_back(entry.mid(3).toInt());
            }
        }
        return positions;
    }

    // Runs the worker to its notice; returns the seconds it took.
    double RunToNotice(ScriptedWorker& worker)
    {
        QElapsedTimer clock;
        clock.start();
        worker.start();
        if (!QTest::qWaitFor([this] { return log_.contains(QStringLiteral("ID_UPDATE_TREEITEM")); }, kPatience)) {
            return -1;
        }
        return static_cast<double>(clock.elapsed()) / 1000;
    }

    // At most the burst, the rate over the run and the report sent at the end.
    static int MostReports(double seconds)
    {
        return WorkerThread::kReportBurst + static_cast<int>(seconds * WorkerThread::kReportsPerSecond) + 1;
    }

    std::unique_ptr<AppContext> context_;
    QStringList log_;
    std::unique_ptr<test::RecordingWindow> window_;
    CommandDispatcher::Registration notices_;

private Q_SLOTS:
    void init()
    {
        context_ = std::make_unique<AppContext>();
        log_.clear();
        window_ = std::make_unique<test::RecordingWindow>(log_);
        notices_ = test::RecordCommands(context_->commands(), log_, {ID_UPDATE_TREEITEM});
    }

    void cleanup()
    {
        notices_ = {};
        context_->setMainWindow(nullptr);
        context_.reset();
        window_.reset();
    }

    void longRunSendsABurstThenFewReportsEndingWithTheLast()
    {
        context_->setMainWindow(window_.get());
        const auto position = [](int i) { return 3 * i + 1; };
        ScriptedWorker worker(*context_, ScriptedWorker::PositionRule::FromJob, Reports(kLongRun, position));

        const double seconds = RunToNotice(worker);
        QVERIFY(seconds >= 0);
        const std::vector<int> shown = Shown();
        QVERIFY(shown.size() > static_cast<std::size_t>(WorkerThread::kReportBurst));
        QVERIFY2(static_cast<int>(shown.size()) <= MostReports(seconds),
                 qPrintable(QStringLiteral("%1 reports in %2 s").arg(shown.size()).arg(seconds)));
        QVERIFY(shown.size() < static_cast<std::size_t>(kLongRun / 10));
        // The burst is the job's first reports; every later one is a report
        // of the job, in its order.
        for (int i = 0; i < WorkerThread::kReportBurst; ++i) {
            QCOMPARE(shown[static_cast<std::size_t>(i)], position(i));
        }
        for (std::size_t k = 0; k < shown.size(); ++k) {
            QCOMPARE((shown[k] - 1) % 3, 0);
            if (k > 0) {
                QVERIFY(shown[k] > shown[k - 1]);
            }
        }
        QCOMPARE(log_.size(), static_cast<qsizetype>(shown.size() + 1));
        QCOMPARE(log_.at(log_.size() - 2), QStringLiteral("at %1").arg(position(kLongRun - 1)));
        QCOMPARE(log_.last(), QStringLiteral("ID_UPDATE_TREEITEM"));
    }

    void countedPositionsNumberEveryReport()
    {
        context_->setMainWindow(window_.get());
        ScriptedWorker worker(*context_, ScriptedWorker::PositionRule::Counted,
                              Reports(kLongRun, [](int) { return 7; }));

        QVERIFY(RunToNotice(worker) >= 0);
        const std::vector<int> shown = Shown();
        QVERIFY(shown.size() < static_cast<std::size_t>(kLongRun / 10));
        QCOMPARE(shown.front(), 0);
        QCOMPARE(shown.back(), kLongRun - 1);
    }

    // Reports left out for want of a main window are not numbered; those
    // held back while it exists are.
    void countedWhenSentNumbersHeldReportsButNotThoseLeftOut()
    {
        std::binary_semaphore windowSet{0};
        std::binary_semaphore firstHalfDone{0};
        constexpr int kLeftOut = 50;
        ScriptedWorker worker(*context_, ScriptedWorker::PositionRule::CountedWhenSent,
                              [&](JobProgress& progress, const StopFlag& stop) {
                                  Reports(kLeftOut)(progress, stop);
                                  firstHalfDone.release();
                                  while (!windowSet.try_acquire_for(std::chrono::milliseconds(10))) {
                                      if (stop.load()) {
                                          return;
                                      }
                                  }
                                  Reports(kLongRun)(progress, stop);
                              });
        worker.start();
        QVERIFY(firstHalfDone.try_acquire_for(std::chrono::milliseconds(kPatience)));
        context_->setMainWindow(window_.get());
        windowSet.release();

        QTRY_VERIFY_WITH_TIMEOUT(log_.contains(QStringLiteral("ID_UPDATE_TREEITEM")), kPatience);
        const std::vector<int> shown = Shown();
        QCOMPARE(shown.front(), 0);
        QCOMPARE(shown.back(), kLongRun - 1);
        QVERIFY(shown.size() < static_cast<std::size_t>(kLongRun / 10));
    }

    void stopDuringAReportAfterTheBurstEndsTheJobBeforeItsNextUnit()
    {
        context_->setMainWindow(window_.get());
        int lastUnit = -1;
        int stoppedAt = -1;
        ScriptedWorker worker(*context_, ScriptedWorker::PositionRule::FromJob,
                              [&lastUnit](JobProgress& progress, const StopFlag& stop) {
                                  for (int i = 0; i < kLongRun && !stop.load(); ++i) {
                                      lastUnit = i;
                                      std::this_thread::sleep_for(std::chrono::microseconds(50));
                                      progress.Report(i);
                                  }
                              });
        window_->onReport = [&](int position) {
            if (position >= WorkerThread::kReportBurst && stoppedAt < 0) {
                stoppedAt = position;
                worker.requestStop();
            }
        };

        QVERIFY(RunToNotice(worker) >= 0);
        QVERIFY(stoppedAt >= WorkerThread::kReportBurst);
        QCOMPARE(lastUnit, stoppedAt);
        QCOMPARE(Shown().back(), stoppedAt);
    }

    // A new range starts after the report held back from the range before.
    void reportHeldBackIsShownBeforeTheNextRange()
    {
        context_->setMainWindow(window_.get());
        ScriptedWorker worker(
            *context_, ScriptedWorker::PositionRule::FromJob,
            [](JobProgress& progress, const StopFlag& stop) {
                progress.SetRange(0, kLongRun);
                for (int i = 0; i < kLongRun; ++i) {
                    progress.Report(i);
                }
                progress.SetRange(0, 5);
                Reports(5)(progress, stop);
            },
            true);

        QVERIFY(RunToNotice(worker) >= 0);
        const qsizetype secondRange = log_.indexOf(QStringLiteral("range 0 5"));
        QVERIFY(secondRange > 0);
        QCOMPARE(log_.first(), QStringLiteral("range 0 %1").arg(kLongRun));
        QCOMPARE(log_.at(secondRange - 1), QStringLiteral("at %1").arg(kLongRun - 1));
        QCOMPARE(log_.last(), QStringLiteral("ID_UPDATE_TREEITEM"));
        QCOMPARE(log_.at(log_.size() - 2), QStringLiteral("at 4"));
    }
};

}  // namespace
}  // namespace postloom

QTEST_GUILESS_MAIN(postloom::ReportRateTest)
#include "report_rate_test.moc"
