// Times reading a mail folder, ordering the mails and building the threads
// on synthetic archives of 1,000, 10,000 and 65,535 mails, and prints one
// row per stage. The files are read once before timing, so the page cache
// holds them.
//
//   postloom_threading_bench [work-folder] [repetitions]

#include "corpus_generator.h"

#include "core/mail/folder_reader.h"
#include "core/project/project_settings.h"
#include "core/threading/mail_sort.h"
#include "core/threading/thread_tree.h"
#include "core/threading/tree_builder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Wall-clock time, and the processor time of this thread (user and system):
// the latter hardly grows when other processes compete for the processors.
struct Stamp {
    std::chrono::steady_clock::time_point wall;
    timespec cpu{};
};

Stamp Now()
{
    Stamp stamp;
    stamp.wall = std::chrono::steady_clock::now();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &stamp.cpu);
    return stamp;
}

struct Elapsed {
    double wall = 0;  // milliseconds
    double cpu = 0;
};

Elapsed Since(const Stamp& start)
{
    const Stamp end = Now();
    return {std::chrono::duration<double, std::milli>(end.wall - start.wall).count(),
            static_cast<double>(end.cpu.tv_sec - start.cpu.tv_sec) * 1e3 +
                static_cast<double>(end.cpu.tv_nsec - start.cpu.tv_nsec) / 1e6};
}

enum Stage { kRead, kSort, kThread, kStages };
const char* const kStageNames[kStages] = {"read", "sort", "thread"};

struct RunResult {
    Elapsed stages[kStages];
    std::size_t mails = 0;
    std::size_t items = 0;
};

RunResult RunOnce(const std::string& folder)
{
    postloom::NoProgress progress;
    const postloom::StopFlag stop{false};
    postloom::ProjectSettings settings;
    settings.MailExt = "*.alm";
    RunResult result;

    Stamp start = Now();
    postloom::ReadMailFolder(settings, folder, progress, stop);
    result.stages[kRead] = Since(start);

    start = Now();
    postloom::SortMailList(settings.mailList, progress, stop);
    result.stages[kSort] = Since(start);

    postloom::ThreadTree tree;
    tree.Insert("Project", postloom::kIconProject, 0, postloom::kNoItem, postloom::ThreadTree::Place::Last);
    start = Now();
    postloom::BuildThreadTree(settings.mailList, 1, tree, progress, stop);
    result.stages[kThread] = Since(start);

    result.mails = settings.mailList.size();
    result.items = tree.Size() - 1;
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Medians per size and stage, plus the total (the median of the sums).
using Table = std::vector<std::array<double, kStages + 1>>;

void PrintTable(const char* title, const Table& table)
{
    std::printf("%s\n", title);
    std::printf("%-8s %10s %10s %10s %17s\n", "stage", "1,000", "10,000", "65,535", "65,535 / 10,000");
    for (int stage = 0; stage <= kStages; ++stage) {
        std::printf("%-8s %10.1f %10.1f %10.1f %17.2f\n", stage < kStages ? kStageNames[stage] : "total",
                    table[0][stage], table[1][stage], table[2][stage], table[2][stage] / table[1][stage]);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path work =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "postloom-threading-bench";
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::vector<std::size_t> sizes = {1000, 10000, 65535};

    Table wall(sizes.size());
    Table cpu(sizes.size());
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        const std::size_t n = sizes[s];
        const std::string folder = (work / std::to_string(n)).string();
        std::filesystem::remove_all(folder);
        if (!postloom::bench::WriteCorpus(folder, postloom::bench::GenerateCorpus({.mailCount = n, .seed = 1}))) {
            std::fprintf(stderr, "cannot write the archive into %s\n", folder.c_str());
            return 1;
        }
        const RunResult warm = RunOnce(folder);  // fills the page cache
        if (warm.mails != n || warm.items != n) {
            std::fprintf(stderr, "%zu mails: read %zu, placed %zu\n", n, warm.mails, warm.items);
            return 1;
        }
        std::vector<double> wallTimes[kStages + 1];
        std::vector<double> cpuTimes[kStages + 1];
        for (int r = 0; r < repetitions; ++r) {
            const RunResult run = RunOnce(folder);
            double wallSum = 0;
            double cpuSum = 0;
            for (int stage = 0; stage < kStages; ++stage) {
                wallTimes[stage].push_back(run.stages[stage].wall);
                cpuTimes[stage].push_back(run.stages[stage].cpu);
                wallSum += run.stages[stage].wall;
                cpuSum += run.stages[stage].cpu;
            }
            wallTimes[kStages].push_back(wallSum);
            cpuTimes[kStages].push_back(cpuSum);
        }
        for (int stage = 0; stage <= kStages; ++stage) {
            wall[s][stage] = Median(wallTimes[stage]);
            cpu[s][stage] = Median(cpuTimes[stage]);
        }
        std::filesystem::remove_all(folder);
    }

    std::printf("Median of %d runs in milliseconds; the archive files are in the page cache.\n\n", repetitions);
    PrintTable("Wall-clock time", wall);
    PrintTable("Processor time of the job's thread (user + system)", cpu);
    return 0;
}
