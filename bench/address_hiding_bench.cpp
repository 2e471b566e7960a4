// Times the body of a mail page with addresses shown, masked and removed:
// 32 MB of mail text (Japanese and English lines, quoted lines that name
// their writer's address) escaped in the 64 KB pieces a page run reads,
// in paired runs, the median of each.
//
//   postloom_address_hiding_bench [repetitions]

#include "bench_timing.h"

#include "core/html/mail_body.h"
#include "core/text/codec.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using postloom::AddressHiding;

std::string BodyText(std::size_t size)
{
    const std::string lines[] = {
        postloom::text::Utf8ToCp932("お世話になっております。来週の会議の件でご連絡いたします。\r\n"),
        postloom::text::Utf8ToCp932("山田 <taro.yamada@example.co.jp> さんは書きました:\r\n"),
        "> Please send the minutes to hanako@example.jp before Friday.\r\n",
        postloom::text::Utf8ToCp932("> 資料は https://example.jp/docs/ にあります。\r\n"),
        "Regards, Jiro (jiro+ml@lists.example.org)\r\n",
    };
    std::string text = "Subject: bench\r\n\r\n";
    for (std::size_t i = 0; text.size() < size; ++i)
        text += lines[i % std::size(lines)];
    return text;
}

double Escape(const std::string& raw, AddressHiding hiding, std::size_t& pageSize)
{
    const double start = postloom::bench::ProcessorMilliseconds(RUSAGE_SELF);
    postloom::MailBodyEscaper escaper(hiding);
    std::string page;
    pageSize = 0;
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < raw.size(); at += kPiece) {
        escaper.Feed(std::string_view(raw).substr(at, kPiece), page);
        pageSize += page.size();
        page.clear();
    }
    escaper.Finish(page);
    pageSize += page.size();
    return postloom::bench::ProcessorMilliseconds(RUSAGE_SELF) - start;
}

}  // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string raw = BodyText(32u << 20);
    const AddressHiding modes[] = {AddressHiding::Shown, AddressHiding::Masked, AddressHiding::Removed};
    const char* const names[] = {"shown", "masked", "removed"};
    std::vector<double> times[3];
    std::size_t pageSizes[3] = {};
    for (int r = 0; r < repetitions; ++r) {
        for (int m = 0; m < 3; ++m)
            times[m].push_back(Escape(raw, modes[m], pageSizes[m]));
    }
    const double shown = postloom::bench::Median(times[0]);
    for (int m = 0; m < 3; ++m) {
        const double ms = postloom::bench::Median(times[m]);
        std::printf("%-8s %8.1f ms processor  %7.1f MB/s  %.2fx shown  page %zu bytes\n", names[m], ms,
                    static_cast<double>(raw.size()) / 1e6 / (ms / 1000.0), ms / shown, pageSizes[m]);
    }
    return 0;
}
