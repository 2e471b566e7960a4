// Times the whole unattended conversion on synthetic archives of 1,000,
// 20,000 and 65,535 mails of 1-4 KB. Each repetition runs, one after the
// other on the same archive: the pipeline in this process, timed per stage;
// the postloom-batch program as users run it, with its processor time and
// peak memory; a `cp -r` of the mail folder, the floor on the same data; and,
// at 20,000 mails, MHonArc when it is installed, an existing mail-to-HTML
// archiver, on an MH folder of the same mails. The archive is copied once
// before timing, so the page cache holds it, and every run starts afresh: a
// project without stored mails and an empty site. Nothing is removed until
// the end (see PutAside).
// Then the runs that follow a first one on 20,000 mails: after 5% new mails
// arrived (the site record spares building the pages whose inputs did not
// change) and with nothing new; with --reruns in the classic style and in
// the modern one, whose site also has a page per whole thread. Then an
// archive of 10,000 mails of which a fifth are today's MIME mail, converted
// with MIME decoding off and on in paired runs; then 20,000 mails converted
// into four sites in turn: the classic one, the modern index and mail pages
// alone, those with the pages to find one's way (whole threads, months, the
// feed), and the whole modern site with its search. Last, each speed and
// memory target with its figure and whether it holds. A target on the share
// of one run over another takes the median of each repetition's share, the
// two runs being made one after the other there.
//
//   postloom_pipeline_bench [work-folder] [repetitions] [mhonarc-repetitions]
//   postloom_pipeline_bench --reruns [work-folder] [repetitions]
//   postloom_pipeline_bench --styles [work-folder] [repetitions]
//
// With --reruns only the runs that follow a first one are timed, in the
// classic and in the modern style (whose sites also have thread pages, month
// pages and a feed), with the re-run target. With --styles only the four
// sites of 20,000 mails, with their targets.
//
// MHonArc takes about half a minute per run, so it runs only in the first
// mhonarc-repetitions repetitions (3 unless given).

#include "bench_timing.h"
#include "corpus_generator.h"

#include "cli/batch_pipeline.h"
#include "core/project/project_file.h"
#include "core/report/problem_wording.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using postloom::bench::ChildRun;
using postloom::bench::Clock;
using postloom::bench::CorpusMail;
using postloom::bench::Median;
using postloom::bench::MillisecondsSince;
using postloom::bench::ProcessorMilliseconds;
using postloom::bench::RunChild;
using postloom::bench::Timing;
using postloom::batch::Stage;

// In the order of their values: a stage's time is kept at its value.
constexpr std::array kStages = {Stage::Load,     Stage::Read,  Stage::Sort,  Stage::Thread, Stage::Graphics,
                                Stage::Index,    Stage::Pages, Stage::Search, Stage::Save};
constexpr std::array<std::size_t, 3> kSizes = {1000, 20000, 65535};
constexpr std::size_t kMhonarcMails = 20000;

struct Options {
    fs::path work;
    int repetitions = 3;
    int mhonarcRepetitions = 3;
    std::optional<fs::path> mhonarc;  // the program, when it is installed
};

// 65535 -> "65,535"
std::string Grouped(std::size_t n)
{
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::optional<fs::path> FindOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

// Output and archives of finished runs are moved aside and removed only
// when the benchmark ends. ext4 without a journal passes over inodes freed
// in the last half minute when it makes new ones, so files made right after
// a mass removal cost several times as much as others, and whichever run
// followed a removal would be timed unfairly.
fs::path asideFolder;
std::size_t asideCount = 0;

void PutAside(const fs::path& path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        return;
    fs::create_directories(asideFolder, error);
    fs::rename(path, asideFolder / std::to_string(++asideCount), error);
    if (error)
        fs::remove_all(path, error);
}

// Removes what was set aside, when the benchmark ends however it ends.
struct RemoveAsideAtEnd {
    ~RemoveAsideAtEnd()
    {
        std::error_code error;
        fs::remove_all(asideFolder, error);
    }
};

// Records the time each stage takes.
class StageTimer final : public postloom::batch::StageProgress {
public:
    postloom::JobProgress& Begin(Stage) override
    {
        start_ = Clock::now();
        return none_;
    }
    void End(Stage stage) override
    {
        if (const auto at = static_cast<std::size_t>(stage); at < times.size())
            times[at] += MillisecondsSince(start_);
    }

    std::array<double, kStages.size()> times{};

private:
    postloom::NoProgress none_;
    Clock::time_point start_;
};

// The copy floor into a fresh folder, set aside afterwards.
Timing TimeFreshCopy(const fs::path& from, const fs::path& to)
{
    PutAside(to);
    const Timing timing = postloom::bench::TimeCopy(from, to);
    PutAside(to);
    return timing;
}

struct TimedRun {
    Timing timing;
    postloom::batch::BatchReport report;
};

TimedRun RunPipeline(const fs::path& projectFile, postloom::batch::StageProgress& progress,
                     postloom::SiteParts parts = {})
{
    const postloom::StopFlag stop{false};
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_SELF);
    const auto start = Clock::now();
    TimedRun run;
    run.report = postloom::batch::RunBatch(projectFile.string(), progress, stop, parts);
    run.timing = {MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_SELF) - cpuBefore};
    return run;
}

bool Succeeded(const TimedRun& run, const char* what)
{
    if (run.report.ok())
        return true;
    std::fprintf(stderr, "%s: the conversion did not succeed\n", what);
    for (const auto& problem : run.report.problems)
        std::fprintf(stderr, "  %s\n", postloom::WordProblem(problem, postloom::ProblemLanguage::English).c_str());
    return false;
}

// A project with no stored mails and an empty site beside the mail folder.
bool StartAfresh(const fs::path& folder, bool mimeDecode = false, bool modernPages = false)
{
    PutAside(folder / "site");
    fs::remove(folder / "bench.plp");
    const postloom::SaveResult saved =
        postloom::bench::WriteCorpusProject((folder / "bench.plp").string(), mimeDecode, modernPages);
    if (!saved.ok)
        std::fprintf(stderr, "cannot write the project: %s\n", saved.error.c_str());
    return saved.ok;
}

bool WriteArchive(const fs::path& mailFolder, const std::vector<CorpusMail>& mails)
{
    if (postloom::bench::WriteCorpus(mailFolder.string(), mails))
        return true;
    std::fprintf(stderr, "cannot write the archive into %s\n", mailFolder.c_str());
    return false;
}

// MHonArc reads an MH folder: the mails as files 1, 2, 3, ... in arrival
// order. Hard links to the archive's files, so both read the same bytes
// from the same page cache.
bool MakeMhFolder(const fs::path& mailFolder, const fs::path& mhFolder, const std::vector<CorpusMail>& mails)
{
    std::error_code error;
    fs::create_directories(mhFolder, error);
    for (std::size_t i = 0; i < mails.size() && !error; ++i)
        fs::create_hard_link(mailFolder / mails[i].fileName, mhFolder / std::to_string(i + 1), error);
    if (error)
        std::fprintf(stderr, "cannot make the MH folder %s: %s\n", mhFolder.c_str(), error.message().c_str());
    return !error;
}

// One repetition's runs on one archive.
struct Sample {
    std::array<double, kStages.size()> stages{};
    Timing inProcess;
    ChildRun batch;
    Timing copy;
    std::optional<ChildRun> mhonarc;
    std::size_t mhonarcPages = 0;
};

bool RunInProcess(const fs::path& folder, std::size_t mails, Sample& sample)
{
    if (!StartAfresh(folder))
        return false;
    StageTimer timer;
    const TimedRun run = RunPipeline(folder / "bench.plp", timer);
    if (!Succeeded(run, "in-process run"))
        return false;
    if (run.report.pages.pagesWritten != static_cast<int>(mails)) {
        std::fprintf(stderr, "%zu mails: %d pages written\n", mails, run.report.pages.pagesWritten);
        return false;
    }
    sample.stages = timer.times;
    sample.inProcess = run.timing;
    return true;
}

// The pages a run wrote into folder: its files named PREFIX*.html.
std::size_t CountPages(const fs::path& folder, const std::string& prefix)
{
    return static_cast<std::size_t>(std::count_if(fs::directory_iterator(folder), fs::directory_iterator(),
                                                  [&prefix](const fs::directory_entry& entry) {
                                                      const std::string name = entry.path().filename().string();
                                                      return name.starts_with(prefix) && name.ends_with(".html");
                                                  }));
}

bool RunBatchProgram(const fs::path& folder, std::size_t mails, Sample& sample)
{
    if (!StartAfresh(folder))
        return false;
    const fs::path project = folder / "bench.plp";
    sample.batch = RunChild({POSTLOOM_BATCH_PROGRAM, project.string()});
    if (!sample.batch.ok()) {
        std::fprintf(stderr, "%s %s: %s (run it by hand to see its messages)\n", POSTLOOM_BATCH_PROGRAM,
                     project.c_str(), sample.batch.failure.c_str());
        return false;
    }
    const std::size_t pages = CountPages(folder / "site" / "pages", "");
    if (pages != mails)
        std::fprintf(stderr, "postloom-batch wrote %zu pages for %zu mails\n", pages, mails);
    return pages == mails;
}

// A failed MHonArc run is reported and leaves the sample without MHonArc
// figures: the yardstick failing is no reason to drop the other runs.
void RunMhonarc(const fs::path& program, const fs::path& folder, std::size_t mails, Sample& sample)
{
    const fs::path out = folder / "mhonarc";
    PutAside(out);
    fs::create_directories(out);
    const ChildRun run = RunChild({program.string(), "-quiet", "-outdir", out.string(), (folder / "mh").string()});
    if (run.ok()) {
        sample.mhonarc = run;
        sample.mhonarcPages = CountPages(out, "msg");
        if (sample.mhonarcPages != mails)
            std::fprintf(stderr, "MHonArc wrote %zu message pages for %zu mails\n", sample.mhonarcPages, mails);
    } else {
        std::fprintf(stderr, "%s: %s (run it by hand to see its messages)\n", program.c_str(), run.failure.c_str());
    }
    PutAside(out);
}

struct SizeResult {
    std::size_t mails = 0;
    std::vector<Sample> samples;
};

// The paired runs on one archive; false after a failure, which is reported
// on stderr.
bool MeasureSize(const Options& options, std::size_t mails, SizeResult& result)
{
    const fs::path folder = options.work / std::to_string(mails);
    PutAside(folder);
    const std::vector<CorpusMail> corpus = postloom::bench::GenerateCorpus({.mailCount = mails, .seed = 7});
    if (!WriteArchive(folder / "mail", corpus))
        return false;
    const bool withMhonarc = options.mhonarc && mails == kMhonarcMails;
    if (withMhonarc && !MakeMhFolder(folder / "mail", folder / "mh", corpus))
        return false;
    TimeFreshCopy(folder / "mail", folder / "warm");  // fills the page cache

    result.mails = mails;
    for (int r = 0; r < options.repetitions; ++r) {
        Sample sample;
        if (!RunInProcess(folder, mails, sample) || !RunBatchProgram(folder, mails, sample))
            return false;
        sample.copy = TimeFreshCopy(folder / "mail", folder / "copy");
        if (withMhonarc && r < options.mhonarcRepetitions)
            RunMhonarc(*options.mhonarc, folder, mails, sample);
        result.samples.push_back(sample);
    }
    PutAside(folder);
    return true;
}

// The median of a figure over the samples that have it.
template <typename Figure>
std::optional<double> MedianOf(const std::vector<Sample>& samples, Figure figure)
{
    std::vector<double> values;
    for (const Sample& sample : samples)
        if (const std::optional<double> value = figure(sample))
            values.push_back(*value);
    if (values.empty())
        return std::nullopt;
    return Median(values);
}

// A figure of the samples in which MHonArc ran.
template <typename Figure>
auto WithMhonarc(Figure figure)
{
    return [figure](const Sample& sample) -> std::optional<double> {
        if (!sample.mhonarc)
            return std::nullopt;
        return figure(sample, *sample.mhonarc);
    };
}

double Megabytes(double kilobytes)
{
    return kilobytes / 1024;
}

// Ratios are taken within each repetition, then their median: the runs of
// one repetition met the same load from the machine's other work.
double BatchPerCopy(const Sample& s)
{
    return s.batch.timing.wall / s.copy.wall;
}
double BatchProcessorPerWall(const Sample& s)
{
    return s.batch.timing.processor / s.batch.timing.wall;
}
double BatchPeakMb(const Sample& s)
{
    return Megabytes(s.batch.peakKb);
}
const auto kMhonarcPerBatch = WithMhonarc([](const Sample& s, const ChildRun& m) {
    return m.timing.wall / s.batch.timing.wall;
});
const auto kBatchPeakPerMhonarc = WithMhonarc([](const Sample& s, const ChildRun& m) {
    return s.batch.peakKb / m.peakKb;
});

constexpr int kNameWidth = 36;

template <typename Figure>
void PrintRow(const char* name, const std::vector<SizeResult>& results, int decimals, Figure figure)
{
    std::printf("%-*s", kNameWidth, name);
    for (const SizeResult& result : results) {
        if (const std::optional<double> value = MedianOf(result.samples, figure))
            std::printf(" %10.*f", decimals, *value);
        else
            std::printf(" %10s", "-");
    }
    std::printf("\n");
}

void PrintSizeTable(const Options& options, const std::vector<SizeResult>& results)
{
    std::printf("Median of %d paired runs, milliseconds (archive in the page cache)\n", options.repetitions);
    if (options.mhonarc)
        std::printf("MHonArc (%s): the first %d of them, on %s mails\n", options.mhonarc->c_str(),
                    std::min(options.repetitions, options.mhonarcRepetitions), Grouped(kMhonarcMails).c_str());
    else
        std::printf("MHonArc: not installed (apt-get install mhonarc)\n");
    std::printf("\n%-*s", kNameWidth, "mails");
    for (const SizeResult& result : results)
        std::printf(" %10s", Grouped(result.mails).c_str());
    std::printf("\n");

    for (std::size_t k = 0; k < kStages.size(); ++k)
        PrintRow(postloom::batch::StageName(kStages[k]), results, 1, [k](const Sample& s) { return s.stages[k]; });
    PrintRow("in-process, whole", results, 1, [](const Sample& s) { return s.inProcess.wall; });
    PrintRow("postloom-batch, wall", results, 1, [](const Sample& s) { return s.batch.timing.wall; });
    PrintRow("postloom-batch, processor", results, 1, [](const Sample& s) { return s.batch.timing.processor; });
    PrintRow("postloom-batch, processor / wall", results, 2, BatchProcessorPerWall);
    PrintRow("postloom-batch, peak memory (MB)", results, 1, BatchPeakMb);
    PrintRow("cp -r of the mails, wall", results, 1, [](const Sample& s) { return s.copy.wall; });
    PrintRow("postloom-batch / cp -r", results, 2, BatchPerCopy);
    PrintRow("MHonArc, wall", results, 1, WithMhonarc([](const Sample&, const ChildRun& m) { return m.timing.wall; }));
    PrintRow("MHonArc, processor", results, 1,
             WithMhonarc([](const Sample&, const ChildRun& m) { return m.timing.processor; }));
    PrintRow("MHonArc, peak memory (MB)", results, 1,
             WithMhonarc([](const Sample&, const ChildRun& m) { return Megabytes(m.peakKb); }));
    PrintRow("MHonArc, message pages written", results, 0,
             WithMhonarc([](const Sample& s, const ChildRun&) { return static_cast<double>(s.mhonarcPages); }));
    PrintRow("MHonArc / postloom-batch, wall", results, 1, kMhonarcPerBatch);
    PrintRow("postloom-batch peak / MHonArc peak", results, 3, kBatchPeakPerMhonarc);
    std::printf("(ratios: median of the ratios within each repetition)\n");

    const SizeResult& small = results[results.size() - 2];
    const SizeResult& large = results.back();
    const auto growth = [&](auto figure) {
        return *MedianOf(large.samples, figure) / *MedianOf(small.samples, figure);
    };
    const double n = static_cast<double>(large.mails) / static_cast<double>(small.mails);
    const double nLogN = n * std::log(static_cast<double>(large.mails)) / std::log(static_cast<double>(small.mails));
    std::printf("\npostloom-batch from %s to %s mails grows %.2f times in wall, %.2f in processor time "
                "(N grows %.2f times; N log N %.2f times)\n",
                Grouped(small.mails).c_str(), Grouped(large.mails).c_str(),
                growth([](const Sample& s) { return s.batch.timing.wall; }),
                growth([](const Sample& s) { return s.batch.timing.processor; }), n, nLogN);
}

// The runs of a growing archive: a first run on the old mails, a run after
// the new ones arrived, and one more with nothing new.
struct RerunRow {
    std::vector<double> wall, processor;
    int pagesWritten = 0;
    int pagesUnchanged = 0;
    int threadPagesWritten = 0;
    int threadPagesUnchanged = 0;
    std::array<double, kStages.size()> stages{};  // of the last repetition
};

constexpr std::size_t kRerunMails = 20000;
constexpr std::size_t kRerunNewMails = kRerunMails / 20;
constexpr std::array<const char*, 3> kRerunNames = {"first run, 20,000 mails", "re-run, 1,000 new (5%)",
                                                    "re-run, nothing new"};
using RerunRows = std::array<RerunRow, kRerunNames.size()>;

// modernPages: the modern style, whose site has a page per whole thread
// besides the mail pages.
bool TimeReruns(const fs::path& work, int repetitions, RerunRows& rows, bool modernPages = false)
{
    const fs::path folder = work / "rerun";
    PutAside(folder);
    const auto mails = postloom::bench::GenerateCorpus({.mailCount = kRerunMails + kRerunNewMails, .seed = 7});
    const std::vector<CorpusMail> oldMails(mails.begin(), mails.begin() + kRerunMails);
    const std::vector<CorpusMail> newMails(mails.begin() + kRerunMails, mails.end());
    for (int r = 0; r < repetitions; ++r) {
        PutAside(folder / "mail");
        if (!WriteArchive(folder / "mail", oldMails))
            return false;
        TimeFreshCopy(folder / "mail", folder / "warm");
        if (!StartAfresh(folder, false, modernPages))
            return false;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (k == 1 && !WriteArchive(folder / "mail", newMails))
                return false;
            StageTimer timer;
            const TimedRun run = RunPipeline(folder / "bench.plp", timer);
            if (!Succeeded(run, kRerunNames[k]))
                return false;
            rows[k].wall.push_back(run.timing.wall);
            rows[k].processor.push_back(run.timing.processor);
            rows[k].pagesWritten = run.report.pages.pagesWritten;
            rows[k].pagesUnchanged = run.report.pages.pagesUnchanged;
            rows[k].threadPagesWritten = run.report.pages.threadPagesWritten;
            rows[k].threadPagesUnchanged = run.report.pages.threadPagesUnchanged;
            rows[k].stages = timer.times;
        }
    }
    PutAside(folder);
    return true;
}

// The median of each repetition's own share of runs over base runs. The
// runs compared are made one after the other in every repetition, so when
// the machine slows down or speeds up between repetitions both move
// together and their share stays put; a share of two medians taken across
// repetitions would take the drift for a difference.
double PairedShare(const std::vector<double>& runs, const std::vector<double>& base)
{
    std::vector<double> shares;
    for (std::size_t r = 0; r < std::min(runs.size(), base.size()); ++r)
        shares.push_back(runs[r] / base[r]);
    return Median(shares);
}

// One line of shares of runs over base runs: the paired share of wall and
// processor time, each with the share of the medians beside it.
void PrintShare(std::string_view what, const RerunRow& runs, const RerunRow& base)
{
    std::printf("%.*s: %.2f wall (%.2f), %.2f processor (%.2f)\n", static_cast<int>(what.size()), what.data(),
                PairedShare(runs.wall, base.wall), Median(runs.wall) / Median(base.wall),
                PairedShare(runs.processor, base.processor), Median(runs.processor) / Median(base.processor));
}

double RerunShare(const RerunRows& rows)
{
    return PairedShare(rows[1].wall, rows[0].wall);
}

void PrintReruns(int repetitions, const RerunRows& rows, std::string_view style = "classic")
{
    std::printf("\nRuns that follow a first run, %.*s pages, in process, median of %d, milliseconds\n\n",
                static_cast<int>(style.size()), style.data(), repetitions);
    std::printf("%-28s %10s %10s %10s %10s %14s %14s\n", "run", "wall", "processor", "written", "unchanged",
                "threads written", "threads same");
    for (std::size_t k = 0; k < rows.size(); ++k)
        std::printf("%-28s %10.1f %10.1f %10d %10d %14d %14d\n", kRerunNames[k], Median(rows[k].wall),
                    Median(rows[k].processor), rows[k].pagesWritten, rows[k].pagesUnchanged,
                    rows[k].threadPagesWritten, rows[k].threadPagesUnchanged);
    std::printf("\nStages of the last repetition, wall milliseconds\n\n%-20s", "stage");
    for (const char* name : kRerunNames)
        std::printf(" %28s", name);
    std::printf("\n");
    for (std::size_t s = 0; s < kStages.size(); ++s) {
        std::printf("%-20s", postloom::batch::StageName(kStages[s]));
        for (const RerunRow& row : rows)
            std::printf(" %28.1f", row.stages[s]);
        std::printf("\n");
    }
    std::printf("\nShares of the first run, median of each repetition's own (of the medians above)\n");
    PrintShare("Re-run with 5% new mails", rows[1], rows[0]);
    PrintShare("Re-run with nothing new", rows[2], rows[0]);
}

constexpr std::size_t kMimeMails = 10000;
constexpr double kMimeShare = 0.2;
using MimeRows = std::array<RerunRow, 2>;

// Whole conversions of an archive with a share of MIME mail, decoding off
// and on in turn; wall and processor medians for each.
bool TimeMimeDecoding(const fs::path& work, int repetitions, MimeRows& rows)
{
    const fs::path folder = work / "mime";
    PutAside(folder);
    if (!WriteArchive(folder / "mail", postloom::bench::GenerateCorpus(
                                           {.mailCount = kMimeMails, .seed = 7, .mimeShare = kMimeShare})))
        return false;
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
    PutAside(folder);
    return true;
}

void PrintMime(int repetitions, const MimeRows& rows)
{
    std::printf("\n%s mails, %.0f%% of them MIME (encoded words, base64 UTF-8, some attachments), "
                "in process, median of %d paired runs, milliseconds\n\n",
                Grouped(kMimeMails).c_str(), kMimeShare * 100, repetitions);
    std::printf("%-28s %10s %10s %10s\n", "run", "wall", "processor", "written");
    const std::array<const char*, 2> names = {"MIME decoding off", "MIME decoding on"};
    for (std::size_t k = 0; k < rows.size(); ++k)
        std::printf("%-28s %10.1f %10.1f %10d\n", names[k], Median(rows[k].wall), Median(rows[k].processor),
                    rows[k].pagesWritten);
    std::printf("\nDecoding on / off: %.2f wall, %.2f processor\n", Median(rows[1].wall) / Median(rows[0].wall),
                Median(rows[1].processor) / Median(rows[0].processor));
}

constexpr std::size_t kStyleMails = 20000;

// The sites timed against each other: the classic pages; the modern index
// and mail pages alone; with the pages to find one's way (whole threads,
// months, feed); and the whole modern site with its search.
struct StyleRun {
    const char* name;
    bool modern;
    postloom::SiteParts parts;
};
constexpr std::array kStyleRuns = {
    StyleRun{"classic", false, {}},
    StyleRun{"modern, pages only", true, {.threadPages = false, .monthsAndFeed = false, .search = false}},
    StyleRun{"modern, + navigation", true, {.search = false}},
    StyleRun{"modern, + search", true, {}},
};
using StyleRows = std::array<RerunRow, kStyleRuns.size()>;
constexpr std::size_t kModernPagesOnly = 1;
constexpr std::size_t kModernNavigation = 2;

// Whole conversions of 20,000 mails into each site in turn; wall and
// processor medians for each. Each repetition starts one site later than
// the one before, so that no site always follows the same one: the run
// after a large one finds the file system busier.
bool TimePageStyles(const fs::path& work, int repetitions, StyleRows& rows)
{
    const fs::path folder = work / "styles";
    PutAside(folder);
    if (!WriteArchive(folder / "mail", postloom::bench::GenerateCorpus({.mailCount = kStyleMails, .seed = 7})))
        return false;
    TimeFreshCopy(folder / "mail", folder / "warm");
    for (int r = 0; r < repetitions; ++r) {
        for (std::size_t step = 0; step < rows.size(); ++step) {
            const std::size_t k = (step + static_cast<std::size_t>(r)) % rows.size();
            if (!StartAfresh(folder, false, kStyleRuns[k].modern))
                return false;
            // The whole modern site writes five times the bytes of the
            // others: its write-back must not slow the run after it.
            ::sync();
            StageTimer timer;
            const TimedRun run = RunPipeline(folder / "bench.plp", timer, kStyleRuns[k].parts);
            if (!Succeeded(run, kStyleRuns[k].name))
                return false;
            rows[k].wall.push_back(run.timing.wall);
            rows[k].processor.push_back(run.timing.processor);
            rows[k].pagesWritten = run.report.pages.pagesWritten;
            rows[k].threadPagesWritten = run.report.pages.threadPagesWritten;
            rows[k].stages = timer.times;
        }
    }
    PutAside(folder);
    return true;
}

// Wall time of run k over run base.
double StyleShare(const StyleRows& rows, std::size_t k, std::size_t base)
{
    return PairedShare(rows[k].wall, rows[base].wall);
}

void PrintStyles(int repetitions, const StyleRows& rows)
{
    std::printf("\n%s mails into four sites, in process, median of %d runs each in turn, "
                "milliseconds (stages of the last run)\n\n",
                Grouped(kStyleMails).c_str(), repetitions);
    std::printf("%-22s %10s %10s %10s %10s %10s %10s %10s\n", "run", "wall", "processor", "index", "pages",
                "search", "written", "threads");
    const auto stage = [](const RerunRow& row, Stage which) { return row.stages[static_cast<std::size_t>(which)]; };
    for (std::size_t k = 0; k < rows.size(); ++k)
        std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %10.1f %10d %10d\n", kStyleRuns[k].name, Median(rows[k].wall),
                    Median(rows[k].processor), stage(rows[k], Stage::Index), stage(rows[k], Stage::Pages),
                    stage(rows[k], Stage::Search), rows[k].pagesWritten, rows[k].threadPagesWritten);
    std::printf("\n(pages: the mail pages, and with navigation also the thread pages, month pages and feed)\n");
    std::printf("\nShares, median of each repetition's own (of the medians above)\n");
    const auto share = [&](std::size_t k, std::size_t base) {
        char what[64];
        std::snprintf(what, sizeof what, "%-22s / %-18s", kStyleRuns[k].name, kStyleRuns[base].name);
        PrintShare(what, rows[k], rows[base]);
    };
    for (std::size_t k = 1; k < rows.size(); ++k)
        share(k, 0);
    share(kModernNavigation, kModernPagesOnly);
}

struct Target {
    std::string what;
    std::optional<double> figure;  // none when it was not measured
    double limit = 0;
    bool atLeast = false;
};

void PrintTargetsHeading()
{
    std::printf("\nTargets (medians as above; shares of runs as medians of each repetition's own)\n");
}

void PrintTarget(const Target& target)
{
    std::printf("  %-48s", target.what.c_str());
    if (!target.figure) {
        std::printf(" %8s   %-8s %-5g  not measured\n", "-", target.atLeast ? "at least" : "at most", target.limit);
        return;
    }
    const bool holds = target.atLeast ? *target.figure >= target.limit : *target.figure <= target.limit;
    std::printf(" %8.2f   %-8s %-5g  %s\n", *target.figure, target.atLeast ? "at least" : "at most", target.limit,
                holds ? "holds" : "does not hold");
}

void PrintRerunTarget(const RerunRows& reruns, std::string_view style = "classic")
{
    PrintTarget({"re-run with 5% new / first run, " + std::string(style) + ", " + Grouped(kRerunMails) + " mails",
                 RerunShare(reruns), 0.1});
}

void PrintStyleTargets(const StyleRows& styles)
{
    const std::string mails = ", " + Grouped(kStyleMails) + " mails";
    PrintTarget({"modern pages / classic pages" + mails, StyleShare(styles, kModernPagesOnly, 0), 1.2});
    PrintTarget({"modern + navigation / modern pages" + mails,
                 StyleShare(styles, kModernNavigation, kModernPagesOnly), 1.3});
}

void PrintTargets(const std::vector<SizeResult>& results, const RerunRows& reruns, const StyleRows& styles)
{
    const auto at = [&](std::size_t mails) -> const std::vector<Sample>& {
        return std::find_if(results.begin(), results.end(), [mails](const SizeResult& r) { return r.mails == mails; })
            ->samples;
    };
    const std::string large = Grouped(kSizes.back()) + " mails";
    const std::string middle = Grouped(kMhonarcMails) + " mails";
    PrintTargetsHeading();
    for (const std::size_t mails : {kMhonarcMails, kSizes.back()})
        PrintTarget({"postloom-batch / cp -r, " + Grouped(mails) + " mails", MedianOf(at(mails), BatchPerCopy), 1.5});
    PrintTarget({"MHonArc / postloom-batch, " + middle, MedianOf(at(kMhonarcMails), kMhonarcPerBatch), 15, true});
    for (const std::size_t mails : {kMhonarcMails, kSizes.back()})
        PrintTarget({"processor / wall, " + Grouped(mails) + " mails", MedianOf(at(mails), BatchProcessorPerWall),
                     1.5});
    PrintRerunTarget(reruns);
    PrintStyleTargets(styles);
    PrintTarget({"postloom-batch peak memory (MB), " + large, MedianOf(at(kSizes.back()), BatchPeakMb), 64});
    PrintTarget({"postloom-batch peak / MHonArc peak, " + middle, MedianOf(at(kMhonarcMails), kBatchPeakPerMhonarc),
                 0.25});
}

}  // namespace

int main(int argc, char** argv)
{
    const bool rerunsOnly = argc > 1 && std::string_view(argv[1]) == "--reruns";
    const bool stylesOnly = argc > 1 && std::string_view(argv[1]) == "--styles";
    if (rerunsOnly || stylesOnly) {
        --argc;
        ++argv;
    }
    Options options;
    options.work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "postloom-pipeline-bench";
    options.repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    options.mhonarcRepetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    options.mhonarc = FindOnPath("mhonarc");
    asideFolder = options.work / "set-aside";
    if (fs::exists(asideFolder)) {
        // Left by an interrupted run: removed now, then the file system gets
        // the half minute it takes to forget the removal.
        fs::remove_all(asideFolder);
        std::fprintf(stderr, "removed the output of an earlier run; waiting 35 s before timing\n");
        ::sleep(35);
    }
    const RemoveAsideAtEnd removeAside;
    if (rerunsOnly) {
        RerunRows reruns{};
        RerunRows modernReruns{};
        if (!TimeReruns(options.work, options.repetitions, reruns) ||
            !TimeReruns(options.work, options.repetitions, modernReruns, true))
            return 1;
        PrintReruns(options.repetitions, reruns);
        PrintReruns(options.repetitions, modernReruns, "modern");
        PrintTargetsHeading();
        PrintRerunTarget(reruns);
        PrintRerunTarget(modernReruns, "modern");
        return 0;
    }
    if (stylesOnly) {
        StyleRows styles{};
        if (!TimePageStyles(options.work, options.repetitions, styles))
            return 1;
        PrintStyles(options.repetitions, styles);
        PrintTargetsHeading();
        PrintStyleTargets(styles);
        return 0;
    }

    std::vector<SizeResult> results(kSizes.size());
    for (std::size_t k = 0; k < kSizes.size(); ++k)
        if (!MeasureSize(options, kSizes[k], results[k]))
            return 1;
    RerunRows reruns{};
    if (!TimeReruns(options.work, options.repetitions, reruns))
        return 1;
    MimeRows mime{};
    if (!TimeMimeDecoding(options.work, options.repetitions, mime))
        return 1;

    PrintSizeTable(options, results);
    PrintReruns(options.repetitions, reruns);
    StyleRows styles{};
    if (!TimePageStyles(options.work, options.repetitions, styles))
        return 1;

    PrintMime(options.repetitions, mime);
    PrintStyles(options.repetitions, styles);
    PrintTargets(results, reruns, styles);
    return 0;
}
