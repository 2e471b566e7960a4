// Measures the search index on a generated Japanese archive (65,535 mails
// unless given): the bytes of the index and of the texts kept for the exact
// check against the bytes of the pages the conversion writes, the time to
// write the index, and the bytes a run writes after 5% new mails arrived.
// The pages are the modern style's, the one that has the search.
//
//   postloom_search_bench [work-folder] [mails]

#include "bench_timing.h"
#include "corpus_generator.h"

#include "cli/batch_pipeline.h"
#include "core/search/search_index_writer.h"
#include "core/text/codec.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using postloom::bench::Clock;
using postloom::bench::CorpusMail;
using postloom::bench::MillisecondsSince;
using postloom::search::SearchEntry;
using postloom::search::SearchMail;

class NoStages final : public postloom::batch::StageProgress {
public:
    postloom::JobProgress& Begin(postloom::batch::Stage) override { return none_; }
    void End(postloom::batch::Stage) override {}

private:
    postloom::NoProgress none_;
};

// The value of a header of the generated mail (no folded lines there), UTF-8.
std::string Header(std::string_view head, std::string_view name)
{
    const std::string start = "\r\n" + std::string(name) + ": ";
    const std::size_t at = head.find(start);
    if (at == std::string_view::npos)
        return {};
    const std::size_t from = at + start.size();
    return postloom::text::Cp932ToUtf8(head.substr(from, head.find("\r\n", from) - from));
}

// What a page shows of a generated mail (plain CP932 text, no MIME).
SearchMail ShownMail(const CorpusMail& file)
{
    const std::string_view bytes = file.bytes;
    const std::size_t split = bytes.find("\r\n\r\n");
    const std::string_view head = bytes.substr(0, split);
    return {file.fileName.substr(0, file.fileName.size() - 4) + ".html", Header(head, "Subject"), Header(head, "From"),
            Header(head, "Date"), postloom::text::Cp932ToUtf8(bytes.substr(split + 4))};
}

struct FolderBytes {
    std::uint64_t index = 0;  // manifest, shards, mail tables
    std::uint64_t texts = 0;  // kept texts
    std::uint64_t code = 0;   // the browser's code
    std::uint64_t files = 0;
};

FolderBytes SearchBytes(const fs::path& folder)
{
    FolderBytes bytes;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        const std::uint64_t size = entry.file_size();
        ++bytes.files;
        if (name.starts_with("search_"))
            bytes.code += size;
        else if (name.starts_with("x"))
            bytes.texts += size;
        else if (!name.starts_with("."))
            bytes.index += size;
    }
    return bytes;
}

std::uint64_t PageBytes(const fs::path& site)
{
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(site)) {
        if (entry.is_regular_file() && entry.path().extension() == ".html")
            total += entry.file_size();
    }
    return total;
}

postloom::search::SearchIndexRun WriteIndex(const fs::path& folder, const std::vector<CorpusMail>& mails,
                                            std::size_t count, postloom::bench::Timing& timing)
{
    std::vector<SearchEntry> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({mails[i].fileName, "1", static_cast<std::int64_t>(i)});
    const double processor = postloom::bench::ProcessorMilliseconds(RUSAGE_SELF);
    const auto start = Clock::now();
    auto run = postloom::search::WriteSearchIndex(folder.string(), entries,
                                                  [&](std::size_t i) { return ShownMail(mails[i]); });
    timing = {MillisecondsSince(start), postloom::bench::ProcessorMilliseconds(RUSAGE_SELF) - processor};
    for (const auto& problem : run.problems)
        std::fprintf(stderr, "%s: %s\n", problem.path.c_str(), problem.reason.c_str());
    return run;
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

}  // namespace

int main(int argc, char** argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "postloom-search-bench";
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 65535;
    const std::size_t grown = count + count / 20;

    std::error_code error;
    fs::remove_all(work, error);
    fs::create_directories(work / "mail");
    const auto mails = postloom::bench::GenerateCorpus({.mailCount = grown, .seed = 1, .variedJapanese = true});
    if (!postloom::bench::WriteCorpus((work / "mail").string(), {mails.begin(), mails.begin() + count}) ||
        !postloom::bench::WriteCorpusProject((work / "bench.plp").string(), false, true).ok) {
        std::fprintf(stderr, "cannot write the archive into %s\n", work.c_str());
        return 1;
    }
    NoStages stages;
    const postloom::StopFlag stop{false};
    const auto pagesStart = Clock::now();
    const auto batch = postloom::batch::RunBatch((work / "bench.plp").string(), stages, stop);
    const double pagesMs = MillisecondsSince(pagesStart);
    if (!batch.ok()) {
        std::fprintf(stderr, "the conversion did not succeed\n");
        return 1;
    }
    const std::uint64_t pages = PageBytes(work / "site");

    // The conversion writes the site's own search; this one is measured
    // apart, with the re-run on top of it.
    const fs::path search = work / "bench-search";
    postloom::bench::Timing fullTime;
    const auto full = WriteIndex(search, mails, count, fullTime);
    const FolderBytes bytes = SearchBytes(search);
    postloom::bench::Timing rerunTime;
    const auto rerun = WriteIndex(search, mails, grown, rerunTime);
    if (!full.Ok() || !rerun.Ok())
        return 1;

    std::printf("Search index of %zu generated Japanese mails\n\n", count);
    std::printf("pages (.html), MB                     %10.1f   (conversion %.0f ms)\n", Megabytes(pages), pagesMs);
    std::printf("search index (terms, mail table), MB  %10.1f\n", Megabytes(bytes.index));
    std::printf("kept texts, MB                        %10.1f\n", Megabytes(bytes.texts));
    std::printf("browser code, KB                      %10.1f\n", static_cast<double>(bytes.code) / 1e3);
    std::printf("search files                          %10llu\n", static_cast<unsigned long long>(bytes.files));
    std::printf("search bytes / page bytes             %10.3f   (target at most 0.5)\n",
                static_cast<double>(bytes.index + bytes.texts + bytes.code) / static_cast<double>(pages));
    std::printf("full write, ms                        %10.0f   (processor %.0f ms)\n", fullTime.wall,
                fullTime.processor);
    std::printf("re-run with %zu new mails (5%%):\n", grown - count);
    std::printf("  written, MB                         %10.2f   (%s)\n", Megabytes(rerun.bytesWritten),
                rerun.rebuilt ? "merged into a new base" : "new segment");
    std::printf("  written / full write                %10.3f   (target at most 0.10)\n",
                static_cast<double>(rerun.bytesWritten) / static_cast<double>(full.bytesWritten));
    std::printf("  time, ms                            %10.0f   (processor %.0f ms)\n", rerunTime.wall,
                rerunTime.processor);
    return 0;
}
