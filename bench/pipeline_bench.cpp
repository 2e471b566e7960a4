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

double TimeCopy(const fs::path& from, const fs::path& to)
{
    fs::remove_all(to);
    const std::string command = "cp -r '" + from.string() + "' '" + to.string() + "'";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "cp failed\n");
    const double ms = MillisecondsSince(start);
    fs::remove_all(to);
    return ms;
}

struct Row {
    std::array<double, kStages.size()> stages{};
    double total = 0;
    double copy = 0;
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
        std::vector<double> totals, copies;
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
            const auto start = Clock::now();
            const auto report = postloom::batch::RunBatch((folder / "bench.plp").string(), timer, stop);
            totals.push_back(MillisecondsSince(start));
            if (!report.ok() || report.pages.pagesWritten != static_cast<int>(n)) {
                std::fprintf(stderr, "%zu mails: the conversion did not succeed (%d pages)\n", n,
                             report.pages.pagesWritten);
                for (const auto& problem : report.problems)
                    std::fprintf(stderr, "  %s\n", problem.c_str());
                return 1;
            }
            for (std::size_t s = 0; s < kStages.size(); ++s)
                stages[s].push_back(timer.times[s]);
            copies.push_back(TimeCopy(folder / "mail", folder / "copy"));
        }
        Row row;
        for (std::size_t s = 0; s < kStages.size(); ++s)
            row.stages[s] = Median(stages[s]);
        row.total = Median(totals);
        row.copy = Median(copies);
        rows.push_back(row);
        fs::remove_all(folder);
    }

    std::printf("Median of %d runs, milliseconds (archive in the page cache)\n\n", repetitions);
    std::printf("%-20s %10s %10s %10s\n", "stage", "1,000", "10,000", "65,535");
    for (std::size_t s = 0; s < kStages.size(); ++s) {
        std::printf("%-20s", postloom::batch::StageName(kStages[s]));
        for (const Row& row : rows)
            std::printf(" %10.1f", row.stages[s]);
        std::printf("\n");
    }
    std::printf("%-20s", "whole pipeline");
    for (const Row& row : rows)
        std::printf(" %10.1f", row.total);
    std::printf("\n%-20s", "cp -r of the mails");
    for (const Row& row : rows)
        std::printf(" %10.1f", row.copy);
    std::printf("\n%-20s", "pipeline / cp -r");
    for (const Row& row : rows)
        std::printf(" %10.2f", row.total / row.copy);
    std::printf("\n\nGrowth from 10,000 to 65,535 mails: %.2f (N grows 6.55 times; N log N 7.76 times)\n",
                rows[2].total / rows[1].total);
    return 0;
}
