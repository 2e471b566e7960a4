// Times reading a mail folder, ordering the mails and building the threads
// on synthetic archives of 1,000, 10,000 and 65,535 mails, and prints one
// row per stage, in wall-clock and in processor time. The threads are built
// twice from the same ordered list: replies under the first mail they name
// (DirectParent off) and under the mail they answer (on). The files are read
// once before timing, so the page cache holds them.
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
#include <random>
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

// The rows of the table. "thread" builds with DirectParent off, "direct"
// with it on. The total is that of read, sort and thread; "shuffled" sorts
// the same mails once more after putting them in a random order, the
// costliest case for the exchanges that the sort reproduces.
enum Row { kRead, kSort, kThread, kDirect, kTotal, kShuffled, kRows };
const char* const kRowNames[kRows] = {"read", "sort", "thread", "direct", "total", "shuffled"};

using Times = std::array<Elapsed, kRows>;

struct RunResult {
    Times times;
    std::size_t mails = 0;
    std::size_t items = 0;        // placed with DirectParent off
    std::size_t directItems = 0;  // and on
};

RunResult RunOnce(const std::string& folder)
{
    postloom::NoProgress progress;
    const postloom::StopFlag stop{false};
    postloom::ProjectSettings settings;
    settings.MailExt = "*.alm";
    RunResult result;
    Times& times = result.times;

    Stamp start = Now();
    postloom::ReadMailFolder(settings, folder, progress, stop);
    times[kRead] = Since(start);

    start = Now();
    postloom::SortMailList(settings.mailList, progress, stop);
    times[kSort] = Since(start);

    postloom::ThreadTree tree;
    tree.Insert("Project", postloom::kIconProject, 0, postloom::kNoItem, postloom::ThreadTree::Place::Last);
    start = Now();
    postloom::BuildThreadTree(settings.mailList, 1, tree, progress, stop, postloom::ParentRule::FirstNamed);
    times[kThread] = Since(start);

    postloom::ThreadTree directTree;
    directTree.Insert("Project", postloom::kIconProject, 0, postloom::kNoItem, postloom::ThreadTree::Place::Last);
    start = Now();
    postloom::BuildThreadTree(settings.mailList, 1, directTree, progress, stop, postloom::ParentRule::DirectParent);
    times[kDirect] = Since(start);

    times[kTotal] = {times[kRead].wall + times[kSort].wall + times[kThread].wall,
                     times[kRead].cpu + times[kSort].cpu + times[kThread].cpu};
    result.mails = settings.mailList.size();
    result.items = tree.Size() - 1;
    result.directItems = directTree.Size() - 1;

    std::shuffle(settings.mailList.begin(), settings.mailList.end(), std::mt19937(7));
    start = Now();
    postloom::SortMailList(settings.mailList, progress, stop);
    times[kShuffled] = Since(start);
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Per archive size, the median of every row.
using Table = std::vector<std::array<double, kRows>>;

void PrintTable(const char* title, const Table& table)
{
    std::printf("%s\n", title);
    std::printf("%-8s %10s %10s %10s %17s\n", "stage", "1,000", "10,000", "65,535", "65,535 / 10,000");
    for (int row = 0; row < kRows; ++row) {
        std::printf("%-8s %10.1f %10.1f %10.1f %17.2f\n", kRowNames[row], table[0][row], table[1][row], table[2][row],
                    table[2][row] / table[1][row]);
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
        if (warm.mails != n || warm.items != n || warm.directItems != n) {
            std::fprintf(stderr, "%zu mails: read %zu, placed %zu and %zu\n", n, warm.mails, warm.items,
                         warm.directItems);
            return 1;
        }
        std::vector<double> wallTimes[kRows];
        std::vector<double> cpuTimes[kRows];
        for (int r = 0; r < repetitions; ++r) {
            const Times times = RunOnce(folder).times;
            for (int row = 0; row < kRows; ++row) {
                wallTimes[row].push_back(times[row].wall);
                cpuTimes[row].push_back(times[row].cpu);
            }
        }
        for (int row = 0; row < kRows; ++row) {
            wall[s][row] = Median(wallTimes[row]);
            cpu[s][row] = Median(cpuTimes[row]);
        }
        std::filesystem::remove_all(folder);
    }

    std::printf("Median of %d runs in milliseconds; the archive files are in the page cache.\n\n", repetitions);
    PrintTable("Wall-clock time", wall);
    PrintTable("Processor time of the job's thread (user + system)", cpu);
    return 0;
}
