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
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct StageTimes {
    double read = 0;
    double sort = 0;
    double thread = 0;
    double Total() const { return read + sort + thread; }
};

struct RunResult {
    StageTimes times;
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

    auto start = Clock::now();
    postloom::ReadMailFolder(settings, folder, progress, stop);
    result.times.read = MillisecondsSince(start);

    start = Clock::now();
    postloom::SortMailList(settings.mailList, progress, stop);
    result.times.sort = MillisecondsSince(start);

    postloom::ThreadTree tree;
    tree.Insert("Project", postloom::kIconProject, 0, postloom::kNoItem, postloom::ThreadTree::Place::Last);
    start = Clock::now();
    postloom::BuildThreadTree(settings.mailList, 1, tree, progress, stop);
    result.times.thread = MillisecondsSince(start);

    result.mails = settings.mailList.size();
    result.items = tree.Size() - 1;
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path work =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "postloom-threading-bench";
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::vector<std::size_t> sizes = {1000, 10000, 65535};

    std::vector<StageTimes> medians;
    for (const std::size_t n : sizes) {
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
        std::vector<double> read, sort, thread;
        for (int r = 0; r < repetitions; ++r) {
            const StageTimes t = RunOnce(folder).times;
            read.push_back(t.read);
            sort.push_back(t.sort);
            thread.push_back(t.thread);
        }
        medians.push_back({Median(read), Median(sort), Median(thread)});
        std::filesystem::remove_all(folder);
    }

    std::printf("Median of %d runs, milliseconds (archive files in the page cache)\n\n", repetitions);
    std::printf("%-8s %12s %12s %12s %16s\n", "stage", "1,000", "10,000", "65,535", "65,535 / 10,000");
    const auto row = [&](const char* name, double StageTimes::*member) {
        std::printf("%-8s %12.1f %12.1f %12.1f %16.2f\n", name, medians[0].*member, medians[1].*member,
                    medians[2].*member, medians[2].*member / medians[1].*member);
    };
    row("read", &StageTimes::read);
    row("sort", &StageTimes::sort);
    row("thread", &StageTimes::thread);
    std::printf("%-8s %12.1f %12.1f %12.1f %16.2f\n", "total", medians[0].Total(), medians[1].Total(),
                medians[2].Total(), medians[2].Total() / medians[1].Total());
    return 0;
}
