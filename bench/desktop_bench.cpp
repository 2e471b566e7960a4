// Times how long the desktop program takes to open an archive of 20,000 and
// 65,535 mails and show its thread tree, against postloom-batch's Read, Sort
// and Thread stages on the same archive, in paired runs. The desktop program
// is built in-process as it runs for a user, on the offscreen platform: the
// clock starts when the project is opened and stops when the tree worker's
// notice has been handled and the view's model holds the tree. Meanwhile a
// 10 ms timer on the user-interface thread measures how long the event loop
// was kept from it, while a worker runs and until the view has settled.
//
//   postloom_desktop_bench [work-folder] [repetitions]
//
// Ends with status 2 when a target was missed: the desktop program within
// 1.5 times postloom-batch's time, no stall over 100 ms while a worker runs.
// The stall is judged on the median run, the worst shown beside it: on a
// machine busy with other work, the system now and then holds any thread
// back, whatever it does.

#include "bench_timing.h"
#include "corpus_generator.h"

#include "app/command_ids.h"
#include "app/desktop/command_line.h"
#include "app/desktop/postloom_app.h"
#include "app/status_texts.h"
#include "cli/batch_pipeline.h"

#include <QApplication>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using postloom::bench::Clock;
using postloom::bench::Median;
using postloom::bench::MillisecondsSince;
using postloom::batch::Stage;

constexpr double kRatioTarget = 1.5;
constexpr double kStallTarget = 100;
// How long the probe keeps ticking after the tree arrived: the view lays
// out and paints its rows then.
constexpr int kSettleMs = 500;

// The times of one run, milliseconds: read, sort, tree and the whole.
struct StageTimes {
    double read = 0;
    double sort = 0;
    double tree = 0;
    double total = 0;
};

struct DesktopRun {
    StageTimes times;
    double stallWhileWorking = 0;
    double stallOverall = 0;
};

// Records the Read, Sort and Thread stages and stops the run after the
// last of them: the rest is not what the desktop program does on opening.
class StageTimer final : public postloom::batch::StageProgress {
public:
    postloom::JobProgress& Begin(Stage) override
    {
        start_ = Clock::now();
        return none_;
    }
    void End(Stage stage) override
    {
        const double ms = MillisecondsSince(start_);
        switch (stage) {
        case Stage::Read:
            times.read = ms;
            break;
        case Stage::Sort:
            times.sort = ms;
            break;
        case Stage::Thread:
            times.tree = ms;
            stop.store(true);
            break;
        default:
            break;
        }
    }

    StageTimes times;
    postloom::StopFlag stop{false};

private:
    postloom::NoProgress none_;
    Clock::time_point start_;
};

// A project without stored mails beside the mail folder.
bool WriteProject(const fs::path& projectFile)
{
    fs::remove(projectFile);
    const postloom::SaveResult saved = postloom::bench::WriteCorpusProject(projectFile.string());
    if (!saved.ok)
        std::fprintf(stderr, "cannot write the project: %s\n", saved.error.c_str());
    return saved.ok;
}

std::optional<StageTimes> RunBatch(const fs::path& projectFile, std::size_t mails)
{
    if (!WriteProject(projectFile))
        return std::nullopt;
    StageTimer timer;
    const postloom::batch::BatchReport report = postloom::batch::RunBatch(projectFile.string(), timer, timer.stop);
    if (report.mailsInProject != mails) {
        std::fprintf(stderr, "postloom-batch read %zu of %zu mails\n", report.mailsInProject, mails);
        return std::nullopt;
    }
    timer.times.total = timer.times.read + timer.times.sort + timer.times.tree;
    return timer.times;
}

// The longest gaps between the ticks of a 10 ms timer: all of them, and
// those that began while a worker ran.
class StallProbe {
public:
    template <typename Busy>
    explicit StallProbe(Busy busy)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, busy] {
            const Clock::time_point now = Clock::now();
            const double gap = std::chrono::duration<double, std::milli>(now - last_).count();
            overall = std::max(overall, gap);
            if (busyAtLast_)
                whileWorking = std::max(whileWorking, gap);
            last_ = now;
            busyAtLast_ = busy();
        });
    }

    void start()
    {
        last_ = Clock::now();
        busyAtLast_ = true;
        timer_.start();
    }
    void stop() { timer_.stop(); }

    double overall = 0;
    double whileWorking = 0;

private:
    QTimer timer_;
    Clock::time_point last_;
    bool busyAtLast_ = false;
};

std::optional<DesktopRun> RunDesktop(const fs::path& projectFile, std::size_t mails)
{
    if (!WriteProject(projectFile))
        return std::nullopt;
    QTemporaryDir storeDir;
    postloom::DesktopEnvironment environment;
    // Anything the program would ask goes to stderr and ends the run
    // instead of waiting for an answer nobody gives.
    environment.headless = true;
    environment.prompts = std::make_unique<postloom::QtDesktopPrompts>();
    environment.store =
        std::make_unique<QSettings>(storeDir.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat);
    postloom::CPostloomApp program(postloom::ParseCommandLine({}), std::move(environment));
    program.start();
    QCoreApplication::processEvents();

    QEventLoop loop;
    DesktopRun run;
    Clock::time_point start;
    bool failed = false;
    postloom::CPostloomDoc& document = program.document();
    postloom::CPostloomView& view = program.view();
    StallProbe probe([&] { return document.hasLiveWorkers() || view.hasWorkers(); });
    QObject::connect(&program, &postloom::CPostloomApp::quitRequested, &loop, [&] {
        failed = true;
        loop.quit();
    });
    QObject::connect(&document, &postloom::CPostloomDoc::stateChanged, &loop, [&] {
        if (run.times.read == 0 && document.statusText() == postloom::kStatusSorting)
            run.times.read = MillisecondsSince(start);
    });
    // As the automatic run does, the tree is built as soon as the mails are in order.
    QObject::connect(&document, &postloom::CPostloomDoc::readingFinished, &loop, [&] {
        run.times.sort = MillisecondsSince(start);
        program.context().commands().send(postloom::ID_THREAD_EXPAND);
    });
    QObject::connect(&view, &postloom::CPostloomView::treeFinished, &loop, [&] {
        run.times.total = MillisecondsSince(start);
        QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
    });

    probe.start();
    start = Clock::now();
    if (!program.openProject(QString::fromStdString(projectFile.string())))
        return std::nullopt;
    loop.exec();
    probe.stop();
    if (failed || program.gate().failed())
        return std::nullopt;

    const postloom::ThreadTree& tree = view.treeModel().Tree();
    const int shown = view.treeModel().rowCount(view.treeModel().IndexOf(tree.Root()));
    if (document.settings().mailList.size() != mails || shown == 0) {
        std::fprintf(stderr, "the desktop program shows %d threads of %zu mails\n", shown,
                     document.settings().mailList.size());
        return std::nullopt;
    }
    run.times.tree = run.times.total - run.times.sort;
    run.times.sort -= run.times.read;
    run.stallWhileWorking = probe.whileWorking;
    run.stallOverall = probe.overall;
    return run;
}

struct Row {
    std::size_t mails = 0;
    StageTimes desktop;
    StageTimes batch;
    // The longest stall of each run: its median and its worst.
    double stallWhileWorking = 0;
    double worstStallWhileWorking = 0;
    double worstStallOverall = 0;
};

template <typename Field>
double MedianOf(const std::vector<StageTimes>& runs, Field field)
{
    std::vector<double> values;
    for (const StageTimes& run : runs)
        values.push_back(run.*field);
    return Median(values);
}

StageTimes MedianTimes(const std::vector<StageTimes>& runs)
{
    return {MedianOf(runs, &StageTimes::read), MedianOf(runs, &StageTimes::sort), MedianOf(runs, &StageTimes::tree),
            MedianOf(runs, &StageTimes::total)};
}

std::optional<Row> Measure(const fs::path& work, std::size_t mails, int repetitions)
{
    const fs::path folder = work / std::to_string(mails);
    fs::remove_all(folder);
    if (!postloom::bench::WriteCorpus((folder / "mail").string(),
                                      postloom::bench::GenerateCorpus({.mailCount = mails, .seed = 7}))) {
        std::fprintf(stderr, "cannot write the archive into %s\n", folder.c_str());
        return std::nullopt;
    }
    postloom::bench::TimeCopy(folder / "mail", folder / "warm");  // fills the page cache
    fs::remove_all(folder / "warm");

    std::vector<StageTimes> desktop, batch;
    std::vector<double> stallsWhileWorking, stallsOverall;
    for (int r = 0; r < repetitions; ++r) {
        // Each pair in turn starts with the other program, so that a drift
        // of the machine's load touches both alike.
        for (int k = 0; k < 2; ++k) {
            if ((k == 0) == (r % 2 == 0)) {
                const std::optional<DesktopRun> run = RunDesktop(folder / "desktop.plp", mails);
                if (!run)
                    return std::nullopt;
                desktop.push_back(run->times);
                stallsWhileWorking.push_back(run->stallWhileWorking);
                stallsOverall.push_back(run->stallOverall);
            } else {
                const std::optional<StageTimes> run = RunBatch(folder / "batch.plp", mails);
                if (!run)
                    return std::nullopt;
                batch.push_back(*run);
            }
        }
    }
    fs::remove_all(folder);
    return Row{.mails = mails,
               .desktop = MedianTimes(desktop),
               .batch = MedianTimes(batch),
               .stallWhileWorking = Median(stallsWhileWorking),
               .worstStallWhileWorking = *std::max_element(stallsWhileWorking.begin(), stallsWhileWorking.end()),
               .worstStallOverall = *std::max_element(stallsOverall.begin(), stallsOverall.end())};
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt takes its own options out of argv; ours come after.
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    const fs::path work = arguments.size() > 1 ? fs::path(arguments[1].toStdString())
                                               : fs::temp_directory_path() / "postloom-desktop-bench";
    const int repetitions = arguments.size() > 2 ? std::max(1, arguments[2].toInt()) : 3;

    std::vector<Row> rows;
    for (const std::size_t mails : {std::size_t{20000}, std::size_t{65535}}) {
        const std::optional<Row> row = Measure(work, mails, repetitions);
        if (!row)
            return 1;
        rows.push_back(*row);
    }
    fs::remove_all(work);

    std::printf("Opening an archive: the desktop program against postloom-batch, median of %d paired runs,\n"
                "milliseconds; archive in the page cache, offscreen platform\n\n",
                repetitions);
    std::printf("%-34s %10s %10s\n", "", "20,000", "65,535");
    const auto line = [&](const char* name, auto value) {
        std::printf("%-34s", name);
        for (const Row& row : rows)
            std::printf(" %10.1f", value(row));
        std::printf("\n");
    };
    line("desktop: read", [](const Row& r) { return r.desktop.read; });
    line("desktop: sort", [](const Row& r) { return r.desktop.sort; });
    line("desktop: tree, until in the view", [](const Row& r) { return r.desktop.tree; });
    line("desktop: open until tree shown", [](const Row& r) { return r.desktop.total; });
    line("batch: read", [](const Row& r) { return r.batch.read; });
    line("batch: sort", [](const Row& r) { return r.batch.sort; });
    line("batch: thread", [](const Row& r) { return r.batch.tree; });
    line("batch: read + sort + thread", [](const Row& r) { return r.batch.total; });
    std::printf("%-34s", "desktop / batch");
    for (const Row& row : rows)
        std::printf(" %10.2f", row.desktop.total / row.batch.total);
    std::printf("\n");
    line("longest stall while a worker runs", [](const Row& r) { return r.stallWhileWorking; });
    line("  the same, worst run", [](const Row& r) { return r.worstStallWhileWorking; });
    line("longest stall overall, worst run", [](const Row& r) { return r.worstStallOverall; });

    std::printf("\n");
    bool held = true;
    for (const Row& row : rows) {
        const double ratio = row.desktop.total / row.batch.total;
        const bool fast = ratio <= kRatioTarget;
        const bool responsive = row.stallWhileWorking <= kStallTarget;
        held = held && fast && responsive;
        std::printf("%zu mails: desktop / batch %.2f (target <= %.1f: %s); longest stall while a worker runs "
                    "%.0f ms, worst run %.0f ms (target <= %.0f: %s)\n",
                    row.mails, ratio, kRatioTarget, fast ? "held" : "missed", row.stallWhileWorking,
                    row.worstStallWhileWorking, kStallTarget, responsive ? "held" : "missed");
    }
    return held ? 0 : 2;
}
