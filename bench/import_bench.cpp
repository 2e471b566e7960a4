// Times postloom-batch's import of a 20,000-mail mbox (the synthetic archive
// exported as an mbox file would be: mboxrd, LF line ends) into an empty
// mail folder, next to the floor on the same data: a `cp` of the mbox file.
// The runs are paired (a copy, then an import) and the medians compared;
// the mbox is read once before timing, so the page cache holds it. Then a
// second import of the same mbox into the filled folder, which adds nothing.
// Two more floors tell where the time goes: the MIME library's splitting of
// the mbox alone, and a `cp -r` of the 20,000 files the import wrote.
//
// Every run writes into folders of its own and nothing is deleted until the
// end: ext4 passes over the inodes of files deleted moments before, which
// would make each run pay for the clean-up of the one before it. Creating a
// file still costs from tens to hundreds of microseconds as the file system
// is more or less busy, so the floor of writing the files is timed in each
// run, right before the import.
//
//   postloom_import_bench [work-folder] [repetitions]

#include "bench_timing.h"
#include "corpus_generator.h"

#include "core/import/mail_import.h"
#include "core/mime/mbox_reader.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using postloom::bench::Clock;
using postloom::bench::Median;
using postloom::bench::MillisecondsSince;
using postloom::bench::ProcessorMilliseconds;
using postloom::bench::TimeCopy;
using postloom::bench::Timing;

constexpr std::size_t kMails = 20000;

// The archive as a mail program exports it: a "From " line before each
// mail, LF line ends, every ">...>From " body line quoted once more, and an
// empty line after each mail.
std::string ExportAsMbox(const std::vector<postloom::bench::CorpusMail>& mails)
{
    static const std::regex quoted("(^|\n)(>*From )");
    std::string mbox;
    for (const postloom::bench::CorpusMail& mail : mails) {
        std::string text;
        text.reserve(mail.bytes.size());
        for (const char c : mail.bytes) {
            if (c != '\r')
                text.push_back(c);
        }
        mbox += "From list@example.jp Mon Apr  5 09:00:00 2004\n" + std::regex_replace(text, quoted, "$1>$2") + "\n";
    }
    return mbox;
}

// The mbox split into its mails and nothing written.
Timing TimeSplit(const fs::path& mbox)
{
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_SELF);
    const auto start = Clock::now();
    postloom::mime::MboxReader reader(mbox.string());
    std::size_t mails = 0;
    while (reader.Next())
        ++mails;
    const Timing timing{MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_SELF) - cpuBefore};
    if (mails != kMails)
        std::fprintf(stderr, "the split found %zu mails\n", mails);
    return timing;
}

struct TimedImport {
    Timing timing;
    postloom::ImportResult result;
};

TimedImport TimeImport(const fs::path& mbox, const fs::path& folder)
{
    postloom::NoProgress progress;
    const postloom::StopFlag stop{false};
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_SELF);
    const auto start = Clock::now();
    TimedImport run;
    run.result = postloom::ImportMails(mbox.string(), folder.string(), {}, progress, stop);
    run.timing = {MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_SELF) - cpuBefore};
    return run;
}

bool Check(const TimedImport& run, std::size_t imported, std::size_t alreadyThere, const char* what)
{
    if (run.result.ok() && run.result.imported == imported && run.result.alreadyThere == alreadyThere)
        return true;
    std::fprintf(stderr, "%s: %zu imported, %zu already there, expected %zu and %zu\n", what, run.result.imported,
                 run.result.alreadyThere, imported, alreadyThere);
    if (run.result.failure)
        std::fprintf(stderr, "  %s: %s\n", run.result.failure->path.c_str(), run.result.failure->reason.c_str());
    for (const auto& problem : run.result.problems)
        std::fprintf(stderr, "  %s: %s\n", problem.path.c_str(), problem.reason.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "postloom-import-bench";
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path mbox = work / "archive.mbox";
    {
        std::ofstream out(mbox, std::ios::binary);
        out << ExportAsMbox(postloom::bench::GenerateCorpus({.mailCount = kMails, .seed = 7}));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", mbox.c_str());
            return 1;
        }
    }
    const auto mboxBytes = fs::file_size(mbox);
    TimeCopy(mbox, work / "warm.mbox");  // fills the page cache
    // The files of one import, for the floor of writing 20,000 files.
    if (!Check(TimeImport(mbox, work / "mail-warm"), kMails, 0, "warm-up import"))
        return 1;

    std::vector<double> copies, copiesCpu, imports, importsCpu, ratios, again, againCpu, splits, splitsCpu,
        folderCopies, folderCopiesCpu;
    for (int r = 0; r < repetitions; ++r) {
        const std::string run = std::to_string(r);
        const Timing folderCopy = TimeCopy(work / "mail-warm", work / ("copy-" + run));
        const Timing copy = TimeCopy(mbox, work / ("copy-" + run + ".mbox"));
        const fs::path folder = work / ("mail-" + run);
        const TimedImport first = TimeImport(mbox, folder);
        if (!Check(first, kMails, 0, "import into an empty folder"))
            return 1;
        const TimedImport second = TimeImport(mbox, folder);
        if (!Check(second, 0, kMails, "second import"))
            return 1;
        const Timing split = TimeSplit(mbox);
        copies.push_back(copy.wall);
        copiesCpu.push_back(copy.processor);
        imports.push_back(first.timing.wall);
        importsCpu.push_back(first.timing.processor);
        ratios.push_back(first.timing.wall / copy.wall);
        again.push_back(second.timing.wall);
        againCpu.push_back(second.timing.processor);
        splits.push_back(split.wall);
        splitsCpu.push_back(split.processor);
        folderCopies.push_back(folderCopy.wall);
        folderCopiesCpu.push_back(folderCopy.processor);
    }
    fs::remove_all(work);

    std::printf("Import of a %zu-mail mbox (%.1f MB, mboxrd, LF), median of %d paired runs, milliseconds\n\n",
                kMails, static_cast<double>(mboxBytes) / 1e6, repetitions);
    std::printf("%-44s %10s %10s\n", "run", "wall", "processor");
    const auto line = [](const char* name, const std::vector<double>& wall, const std::vector<double>& processor) {
        std::printf("%-44s %10.1f %10.1f\n", name, Median(wall), Median(processor));
    };
    line("cp of the mbox", copies, copiesCpu);
    line("import into an empty folder", imports, importsCpu);
    line("second import, nothing new", again, againCpu);
    line("floor: splitting the mbox alone", splits, splitsCpu);
    line("floor: cp -r of the 20,000 imported files", folderCopies, folderCopiesCpu);
    std::printf("\nImport / cp of the mbox: %.2f (median of the paired ratios; target: at most 2)\n", Median(ratios));
    std::printf("Import / (splitting + cp -r of the files): %.2f\n",
                Median(imports) / (Median(splits) + Median(folderCopies)));
    return 0;
}
