// Times the whole unattended conversion (postloom-batch's pipeline) per stage
// on synthetic archives of 1,000, 10,000 and 65,535 mails of 1-4 KB, next to
// the floor on the same data: a `cp -r` of the mail folder. The archive is
// copied once before timing, so the page cache holds it. Then the runs that
// follow a first one on 20,000 mails: after 5% new mails arrived (only the
// pages whose bytes change are rewritten) and with nothing new. Last, an
// archive of 10,000 mails of which a fifth are today's MIME mail, converted
// with MIME decoding off and on in paired runs.
//
//   postloom_pipeline_bench [work-folder] [repetitions]

#include "bench_timing.h"
#include "corpus_generator.h"

#include "cli/batch_pipeline.h"
#include "core/project/project_file.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using postloom::bench::Clock;
using postloom::bench::Median;
using postloom::bench::MillisecondsSince;
using postloom::bench::ProcessorMilliseconds;
using postloom::bench::Timing;
using postloom::batch::Stage;

constexpr std::array kStages = {Stage::Load, Stage::Read, Stage::Sort, Stage::Thread,
                                Stage::Graphics, Stage::Index, Stage::Pages, Stage::Save};

// Records the time each stage takes.
class StageTimer final : public postloom::batch::StageProgress {
public:
    postloom::JobProgress& Begin(Stage) override
    {
        start_ = Clock::now();
        return none_;
    }
    void End(Stage stage) override { times[static_cast<std::size_t>(stage)] += MillisecondsSince(start_); }

    std::array<double, kStages.size()> times{};

private:
    postloom::NoProgress none_;
    Clock::time_point start_;
};

// The copy floor into a fresh folder, removed again afterwards.
Timing TimeFreshCopy(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    const Timing timing = postloom::bench::TimeCopy(from, to);
    fs::remove_all(to);
    return timing;
}

struct Row {
    std::array<double, kStages.size()> stages{};
    Timing total;
    Timing copy;
};

struct TimedRun {
    Timing timing;
    postloom::batch::BatchReport report;
};

TimedRun RunPipeline(const fs::path& projectFile, postloom::batch::StageProgress& progress)
{
    const postloom::StopFlag stop{false};
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_SELF);
    const auto start = Clock::now();
    TimedRun run;
    run.report = postloom::batch::RunBatch(projectFile.string(), progress, stop);
    run.timing = {MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_SELF) - cpuBefore};
    return run;
}

bool Succeeded(const TimedRun& run, const char* what)
{
    if (run.report.ok())
        return true;
    std::fprintf(stderr, "%s: the conversion did not succeed\n", what);
    for (const auto& problem : run.report.problems)
        std::fprintf(stderr, "  %s\n", problem.c_str());
    return false;
}

// A project with no stored mails and an empty site beside the mail folder.
bool StartAfresh(const fs::path& folder, bool mimeDecode = false)
{
    fs::remove_all(folder / "site");
    fs::remove(folder / "bench.plp");
    const postloom::SaveResult saved =
        postloom::bench::WriteCorpusProject((folder / "bench.plp").string(), mimeDecode);
    if (!saved.ok)
        std::fprintf(stderr, "cannot write the project: %s\n", saved.error.c_str());
    return saved.ok;
}

// The runs of a growing archive: a first run on the old mails, a run after
// the new ones arrived, and one more with nothing new.
struct RerunRow {
    std::vector<double> wall, processor;
    int pagesWritten = 0;
    int pagesUnchanged = 0;
};

constexpr std::size_t kRerunMails = 20000;
constexpr std::size_t kRerunNewMails = kRerunMails / 20;
constexpr std::array<const char*, 3> kRerunNames = {"first run, 20,000 mails", "re-run, 1,000 new (5%)",
                                                    "re-run, nothing new"};

bool TimeReruns(const fs::path& work, int repetitions, std::array<RerunRow, kRerunNames.size()>& rows)
{
    const fs::path folder = work / "rerun";
    fs::remove_all(folder);
    const auto mails = postloom::bench::GenerateCorpus({.mailCount = kRerunMails + kRerunNewMails, .seed = 7});
    const std::vector<postloom::bench::CorpusMail> oldMails(mails.begin(), mails.begin() + kRerunMails);
    const std::vector<postloom::bench::CorpusMail> newMails(mails.begin() + kRerunMails, mails.end());
    for (int r = 0; r < repetitions; ++r) {
        fs::remove_all(folder / "mail");
        if (!postloom::bench::WriteCorpus((folder / "mail").string(), oldMails)) {
            std::fprintf(stderr, "cannot write the archive into %s\n", folder.c_str());
            return false;
        }
        TimeFreshCopy(folder / "mail", folder / "warm");
        if (!StartAfresh(folder))
            return false;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (k == 1 && !postloom::bench::WriteCorpus((folder / "mail").string(), newMails)) {
                std::fprintf(stderr, "cannot add the new mails\n");
                return false;
            }
            StageTimer timer;
            const TimedRun run = RunPipeline(folder / "bench.plp", timer);
            if (!Succeeded(run, kRerunNames[k]))
                return false;
            rows[k].wall.push_back(run.timing.wall);
            rows[k].processor.push_back(run.timing.processor);
            rows[k].pagesWritten = run.report.pages.pagesWritten;
            rows[k].pagesUnchanged = run.report.pages.pagesUnchanged;
        }
    }
    fs::remove_all(folder);
    return true;
}

constexpr std::size_t kMimeMails = 10000;
constexpr double kMimeShare = 0.2;

// Whole conversions of an archive with a share of MIME mail, decoding off
// and on in turn; wall and processor medians for each.
bool TimeMimeDecoding(const fs::path& work, int repetitions, std::array<RerunRow, 2>& rows)
{
    const fs::path folder = work / "mime";
    fs::remove_all(folder);
    if (!postloom::bench::WriteCorpus((folder / "mail").string(),
                                      postloom::bench::GenerateCorpus(
                                          {.mailCount = kMimeMails, .seed = 7, .mimeShare = kMimeShare}))) {
        std::fprintf(stderr, "cannot write the archive into %s\n", folder.c_str());
        return false;
    }
    TimeFreshCopy(folder / "mail", folder / "warm");
    for (int r = 0; r < repetitions; ++r) {
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!StartAfresh(folder, k == 1))
                return false;
            StageTimer timer;
            const TimedRun run = RunPipeline(folder / "bench.plp", timer);
            if (!Succeeded(run, k == 1 ? "MIME decoding on" : "MIME decoding off"))
                return false;
            rows[k].wall.push_back(run.timing.wall);
            rows[k].processor.push_back(run.timing.processor);
            rows[k].pagesWritten = run.report.pages.pagesWritten;
        }
    }
    fs::remove_all(folder);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "postloom-pipeline-bench";
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::vector<std::size_t> sizes = {1000, 10000, 65535};

    std::vector<Row> rows;
    for (const std::size_t n : sizes) {
        const fs::path folder = work / std::to_string(n);
        fs::remove_all(folder);
        if (!postloom::bench::WriteCorpus((folder / "mail").string(),
                                          postloom::bench::GenerateCorpus({.mailCount = n, .seed = 7}))) {
            std::fprintf(stderr, "cannot write the archive into %s\n", folder.c_str());
            return 1;
        }
        TimeFreshCopy(folder / "mail", folder / "warm");  // fills the page cache

        std::vector<std::vector<double>> stages(kStages.size());
        std::vector<double> totals, totalsCpu, copies, copiesCpu;
        for (int r = 0; r < repetitions; ++r) {
            // Each run converts the archive from scratch: a project without
            // stored mails and an empty site.
            if (!StartAfresh(folder))
                return 1;
            StageTimer timer;
            const TimedRun run = RunPipeline(folder / "bench.plp", timer);
            totals.push_back(run.timing.wall);
            totalsCpu.push_back(run.timing.processor);
            if (!Succeeded(run, "first run"))
                return 1;
            if (run.report.pages.pagesWritten != static_cast<int>(n)) {
                std::fprintf(stderr, "%zu mails: %d pages written\n", n, run.report.pages.pagesWritten);
                return 1;
            }
            for (std::size_t s = 0; s < kStages.size(); ++s)
                stages[s].push_back(timer.times[s]);
            const Timing copy = TimeFreshCopy(folder / "mail", folder / "copy");
            copies.push_back(copy.wall);
            copiesCpu.push_back(copy.processor);
        }
        Row row;
        for (std::size_t s = 0; s < kStages.size(); ++s)
            row.stages[s] = Median(stages[s]);
        row.total = {Median(totals), Median(totalsCpu)};
        row.copy = {Median(copies), Median(copiesCpu)};
        rows.push_back(row);
        fs::remove_all(folder);
    }
    std::array<RerunRow, kRerunNames.size()> reruns{};
    if (!TimeReruns(work, repetitions, reruns))
        return 1;
    std::array<RerunRow, 2> mime{};
    if (!TimeMimeDecoding(work, repetitions, mime))
        return 1;

    std::printf("Median of %d runs, milliseconds (archive in the page cache)\n\n", repetitions);
    std::printf("%-28s %10s %10s %10s\n", "stage", "1,000", "10,000", "65,535");
    for (std::size_t s = 0; s < kStages.size(); ++s) {
        std::printf("%-28s", postloom::batch::StageName(kStages[s]));
        for (const Row& row : rows)
            std::printf(" %10.1f", row.stages[s]);
        std::printf("\n");
    }
    const auto line = [&](const char* name, auto value) {
        std::printf("%-28s", name);
        for (const Row& row : rows)
            std::printf(" %10.2f", value(row));
        std::printf("\n");
    };
    line("whole pipeline", [](const Row& r) { return r.total.wall; });
    line("cp -r of the mails", [](const Row& r) { return r.copy.wall; });
    line("pipeline / cp -r", [](const Row& r) { return r.total.wall / r.copy.wall; });
    line("pipeline, processor time", [](const Row& r) { return r.total.processor; });
    line("cp -r, processor time", [](const Row& r) { return r.copy.processor; });
    line("ratio of processor times", [](const Row& r) { return r.total.processor / r.copy.processor; });
    std::printf("\nGrowth from 10,000 to 65,535 mails: %.2f wall, %.2f processor "
                "(N grows 6.55 times; N log N 7.76 times)\n",
                rows[2].total.wall / rows[1].total.wall, rows[2].total.processor / rows[1].total.processor);

    std::printf("\nRuns that follow a first run, median of %d, milliseconds\n\n", repetitions);
    std::printf("%-28s %10s %10s %10s %10s\n", "run", "wall", "processor", "written", "unchanged");
    for (std::size_t k = 0; k < reruns.size(); ++k)
        std::printf("%-28s %10.1f %10.1f %10d %10d\n", kRerunNames[k], Median(reruns[k].wall),
                    Median(reruns[k].processor), reruns[k].pagesWritten, reruns[k].pagesUnchanged);
    std::printf("\nRe-run with 5%% new mails / first run: %.2f wall, %.2f processor\n",
                Median(reruns[1].wall) / Median(reruns[0].wall),
                Median(reruns[1].processor) / Median(reruns[0].processor));
    std::printf("Re-run with nothing new / first run: %.2f wall, %.2f processor\n",
                Median(reruns[2].wall) / Median(reruns[0].wall),
                Median(reruns[2].processor) / Median(reruns[0].processor));

    std::printf("\n%zu mails, %.0f%% of them MIME (encoded words, base64 UTF-8, some attachments), "
                "median of %d paired runs, milliseconds\n\n",
                kMimeMails, kMimeShare * 100, repetitions);
    std::printf("%-28s %10s %10s %10s\n", "run", "wall", "processor", "written");
    const std::array<const char*, 2> mimeNames = {"MIME decoding off", "MIME decoding on"};
    for (std::size_t k = 0; k < mime.size(); ++k)
        std::printf("%-28s %10.1f %10.1f %10d\n", mimeNames[k], Median(mime[k].wall), Median(mime[k].processor),
                    mime[k].pagesWritten);
    std::printf("\nDecoding on / off: %.2f wall, %.2f processor\n", Median(mime[1].wall) / Median(mime[0].wall),
                Median(mime[1].processor) / Median(mime[0].processor));
    return 0;
}
