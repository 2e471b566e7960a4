#include "core/html/mail_body.h"

#include "core/html/template_files.h"
#include "core/html/text_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace postloom {
namespace {

// The body as a whole-file reading gives it: the text-mode content, then
// the lines after the first empty line, their addresses hidden, each
// escaped and ended by "<BR>\n".
std::string WholeFileBody(std::string_view raw, AddressHiding hiding = AddressHiding::Shown)
{
    const std::string content = TextModeContent(raw);
    std::size_t bodyStart = 0;
    if (content.empty() || content.front() != '\n') {
        const std::size_t blank = content.find("\n\n");
        if (blank == std::string::npos)
            return {};
        bodyStart = blank + 2;
    } else {
        bodyStart = 1;
    }
    const std::string text = HideAddressesInText(content.substr(bodyStart), hiding, TextEncoding::Cp932);
    std::size_t start = 0;
    std::string page;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string::npos ? text.size() : lf;
        page.append(EscapeHtml(text.substr(start, end - start))).append("<BR>\n");
        start = end + 1;
    }
    return page;
}

std::string Streamed(std::string_view raw, std::mt19937& random, AddressHiding hiding = AddressHiding::Shown)
{
    MailBodyEscaper escaper(hiding);
    std::string page;
    for (std::size_t at = 0; at < raw.size();) {
        const std::size_t n = std::min<std::size_t>(random() % 7 + 1, raw.size() - at);
        escaper.Feed(raw.substr(at, n), page);
        at += n;
    }
    escaper.Finish(page);
    return page;
}

TEST(MailBodyTest, StreamedBodyEqualsTheWholeFileBodyForAnyPieces)
{
    // Small alphabets make every meeting of CR, LF, 0x1A and the escaped
    // characters likely, at every cut between two pieces.
    std::mt19937 random(20261208);
    const std::string alphabet{"\r\n\x1a<>&\"a\x83\x5c", 10};
    for (int round = 0; round < 20000; ++round) {
        std::string raw(random() % 24, ' ');
        for (char& c : raw)
            c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(Streamed(raw, random), WholeFileBody(raw)) << "round " << round;
    }
}

TEST(MailBodyTest, StreamedBodyWithHiddenAddressesEqualsTheWholeFileBody)
{
    std::mt19937 random(20261209);
    const std::string alphabet{"\r\n\x1a<>&a.@ \x83\x40", 12};
    for (int round = 0; round < 20000; ++round) {
        std::string raw(random() % 32, ' ');
        for (char& c : raw)
            c = alphabet[random() % alphabet.size()];
        raw.insert(0, random() % 2 == 0 ? "\n" : "H: x\n\n");
        const AddressHiding hiding = round % 2 == 0 ? AddressHiding::Masked : AddressHiding::Removed;
        ASSERT_EQ(Streamed(raw, random, hiding), WholeFileBody(raw, hiding)) << "round " << round;
    }
}

TEST(MailBodyTest, HeaderBlockAndTextModeAsAMailHasThem)
{
    std::mt19937 random(1);
    EXPECT_EQ(Streamed("Subject: x\r\n\r\nline <1>\r\nlone\rCR\r\n\x1a" "after the end", random),
              "line &lt;1&gt;<BR>\nlone\rCR<BR>\n");
    EXPECT_EQ(Streamed("\r\nno header", random), "no header<BR>\n");
    EXPECT_EQ(Streamed("only a header\r\n", random), "");
}

}  // namespace
}  // namespace postloom
