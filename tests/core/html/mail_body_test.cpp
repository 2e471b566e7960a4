#include "core/html/mail_body.h"

#include "core/html/template_files.h"
#include "core/html/text_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace postloom {
namespace {

// The body as a whole-file reading gives it: the text-mode content, then
// the lines after the first empty line, each escaped and ended by "<BR>\n".
std::string WholeFileBody(std::string_view raw)
{
    const std::string text = TextModeContent(raw);
    std::size_t start = 0;
    if (text.empty() || text.front() != '\n') {
        const std::size_t blank = text.find("\n\n");
        if (blank == std::string::npos)
            return {};
        start = blank + 2;
    } else {
        start = 1;
    }
    std::string page;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string::npos ? text.size() : lf;
        page.append(EscapeHtml(text.substr(start, end - start))).append("<BR>\n");
        start = end + 1;
    }
    return page;
}

std::string Streamed(std::string_view raw, std::mt19937& random)
{
    MailBodyEscaper escaper;
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
