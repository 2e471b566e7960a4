#include "core/html/modern/page_text.h"

#include "core/text/codec.h"
#include "core/text/cp932_decoder.h"

#include <array>

namespace postloom::modern {

namespace {

constexpr std::string_view kReplacement = "\uFFFD";

// Bytes that need more than copying: the four escaped characters, the
// control characters and the lead byte 0xC2 of U+0080 to U+009F.
constexpr std::array<bool, 256> kSpecial = [] {
    std::array<bool, 256> special{};
    for (int c = 0; c < 0x20; ++c)
        special[c] = c != '\t' && c != '\n' && c != '\f' && c != '\r';
    for (const unsigned char c : {'"', '&', '<', '>', '\x7f', '\xc2'})
        special[c] = true;
    return special;
}();

}  // namespace

void AppendUtf8OfCp932(std::string_view cp932, std::string& out)
{
    text::AppendUtf8OfCp932(cp932, out);
}

std::string Utf8OfCp932(std::string_view cp932)
{
    std::string out;
    AppendUtf8OfCp932(cp932, out);
    return out;
}

void AppendEscapedText(std::string_view text, std::string& out)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t run = i;
        while (run < text.size() && !kSpecial[static_cast<unsigned char>(text[run])])
            ++run;
        out.append(text.substr(i, run - i));
        if (run == text.size())
            return;
        const char c = text[run];
        i = run + 1;
        switch (c) {
        case '"':
            out.append("&quot;");
            break;
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '\xc2':
            if (i < text.size() && static_cast<unsigned char>(text[i]) <= 0x9F) {
                out.append(kReplacement);
                ++i;
            } else {
                out.push_back(c);
            }
            break;
        default:
            out.append(kReplacement);
        }
    }
}

std::string EscapedUtf8OfCp932(std::string_view cp932)
{
    std::string escaped;
    AppendEscapedText(Utf8OfCp932(cp932), escaped);
    return escaped;
}

std::string IncludeAsUtf8(std::string_view bytes)
{
    if (text::IsValidUtf8(bytes))
        return std::string(bytes);
    return Utf8OfCp932(bytes);
}

}  // namespace postloom::modern
