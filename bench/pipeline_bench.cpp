// Times the whole unattended conversion (postloom-batch's pipeline) per stage
// on synthetic archives of 1,000, 10,000 and 65,535 mails of 1-4 KB, next to
// the floor on the same data: a `cp -r` of the mail folder. The archive is
// copied once before timing, so the page cache holds it.
//
//   postloom_pipeline_bench [work-folder] [repetitions]

#include "corpus_generator.h"

#include "cli/batch_pipeline.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"

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
using Clock = std::chrono::steady_clock;
using postloom::batch::Stage;

constexpr std::array kStages = {Stage::Load, Stage::Read, Stage::Sort, Stage::Thread,
                                Stage::Graphics, Stage::Index, Stage::Pages, Stage::Save};

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time (user + system) of this process's threads, or of its
// finished children, in milliseconds: steadier than wall-clock time on a
// machine that is busy with other work.
double ProcessorMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

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

// A project like the sample's: mails in "mail", the index in "site", the
// pages in "site/pages", captions with date and sender, tree graphics off.
bool WriteProject(const fs::path& folder)
{
    postloom::ProjectSettings settings;
    settings.Reset();
    settings.Title = "Benchmark";
    settings.MailExt = "*.alm";
    settings.TargetPath = "mail";
    settings.IndexPath = "site/index.html";
    settings.MailPath = "pages";
    settings.CutMLTitle = 1;
    settings.OutDate = 1;
    settings.OutFrom = 1;
    settings.DispIndexTitle = 1;
    settings.DispLink = 1;
    settings.DispSubject = 1;
    fs::create_directories(folder / "site" / "pages");
    return postloom::SaveProject(settings, (folder / "bench.plp").string()).ok;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double wall = 0;
    double processor = 0;
};

Timing TimeCopy(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    const std::string command = "cp -r '" + from.string() + "' '" + to.string() + "'";
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "cp failed\n");
    const Timing timing{MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_CHILDREN) - cpuBefore};
    fs::remove_all(to);
    return timing;
}

struct Row {
    std::array<double, kStages.size()> stages{};
    Timing total;
    Timing copy;
};

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
        TimeCopy(folder / "mail", folder / "warm");  // fills the page cache

        std::vector<std::vector<double>> stages(kStages.size());
        std::vector<double> totals, totalsCpu, copies, copiesCpu;
        for (int r = 0; r < repetitions; ++r) {
            // Each run converts the archive from scratch: a project without
            // stored mails and an empty site.
            fs::remove_all(folder / "site");
            fs::remove(folder / "bench.plp");
            if (!WriteProject(folder)) {
                std::fprintf(stderr, "cannot write the project\n");
                return 1;
            }
            StageTimer timer;
            const postloom::StopFlag stop{false};
            const double cpuBefore = ProcessorMilliseconds(RUSAGE_SELF);
            const auto start = Clock::now();
            const auto report = postloom::batch::RunBatch((folder / "bench.plp").string(), timer, stop);
            totals.push_back(MillisecondsSince(start));
            totalsCpu.push_back(ProcessorMilliseconds(RUSAGE_SELF) - cpuBefore);
            if (!report.ok() || report.pages.pagesWritten != static_cast<int>(n)) {
                std::fprintf(stderr, "%zu mails: the conversion did not succeed (%d pages)\n", n,
                             report.pages.pagesWritten);
                for (const auto& problem : report.problems)
                    std::fprintf(stderr, "  %s\n", problem.c_str());
                return 1;
            }
            for (std::size_t s = 0; s < kStages.size(); ++s)
                stages[s].push_back(timer.times[s]);
            const Timing copy = TimeCopy(folder / "mail", folder / "copy");
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
    return 0;
}
