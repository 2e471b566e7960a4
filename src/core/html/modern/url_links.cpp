#include "core/html/modern/url_links.h"

#include "core/html/modern/page_text.h"
#include "core/text/cp932.h"

#include <array>
#include <cstring>

namespace postloom::modern {

namespace {

constexpr std::array<std::string_view, 3> kSchemes = {"http://", "https://", "ftp://"};

bool IsAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Characters that may stand inside an address (RFC 3986 plus '%').
bool IsUrlChar(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F)
        return false;
    return std::strchr("<>\"{}|\\^`", c) == nullptr;
}

// The length of the scheme that starts at pos, or 0.
std::size_t SchemeAt(std::string_view text, std::size_t pos)
{
    for (const std::string_view scheme : kSchemes) {
        if (text.size() - pos >= scheme.size() && text::EqualsIgnoreCase(text.substr(pos, scheme.size()), scheme))
            return scheme.size();
    }
    return 0;
}

// The end of the address whose scheme starts at begin and is schemeLength
// long; begin when there is no address there.
std::size_t UrlEnd(std::string_view text, std::size_t begin, std::size_t schemeLength)
{
    const bool inParentheses = begin > 0 && text[begin - 1] == '(';
    std::size_t end = begin + schemeLength;
    while (end < text.size() && IsUrlChar(text[end]) && !(inParentheses && text[end] == ')'))
        ++end;
    while (end > begin + schemeLength && std::strchr(".,;:!?'", text[end - 1]) != nullptr)
        --end;
    // "http://" alone, or followed by punctuation only, names nothing.
    const std::string_view rest = text.substr(begin + schemeLength, end - begin - schemeLength);
    for (const char c : rest) {
        if (IsAsciiAlnum(c))
            return end;
    }
    return begin;
}

}  // namespace

bool IsLinkBoundary(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    const bool continuation = byte >= 0x80 && byte <= 0xBF;
    return !IsUrlChar(c) && !continuation;
}

std::size_t FirstLinkBoundary(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLinkBoundary(text[i]))
            return i;
    }
    return std::string_view::npos;
}

std::vector<UrlSpan> FindUrls(std::string_view text)
{
    std::vector<UrlSpan> spans;
    for (std::size_t pos = 0; pos < text.size();) {
        const char c = text[pos];
        // A scheme glued to a word ("xhttp://") is not one.
        if ((c == 'h' || c == 'H' || c == 'f' || c == 'F') && (pos == 0 || !IsAsciiAlnum(text[pos - 1]))) {
            if (const std::size_t scheme = SchemeAt(text, pos); scheme != 0) {
                const std::size_t end = UrlEnd(text, pos, scheme);
                if (end > pos) {
                    spans.push_back({pos, end});
                    pos = end;
                    continue;
                }
            }
        }
        ++pos;
    }
    return spans;
}

void AppendLinkedText(std::string_view text, std::string& out)
{
    // Cheap refusal for the many lines that hold no address.
    if (text.find("://") == std::string_view::npos) {
        AppendEscapedText(text, out);
        return;
    }
    std::size_t done = 0;
    for (const UrlSpan& span : FindUrls(text)) {
        AppendEscapedText(text.substr(done, span.begin - done), out);
        const std::string_view url = text.substr(span.begin, span.end - span.begin);
        out.append("<a href=\"");
        AppendEscapedText(url, out);
        out.append("\" rel=\"nofollow noopener\">");
        AppendEscapedText(url, out);
        out.append("</a>");
        done = span.end;
    }
    AppendEscapedText(text.substr(done), out);
}

}  // namespace postloom::modern
