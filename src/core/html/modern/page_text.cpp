#include "core/html/modern/page_text.h"

#include "core/html/text_helpers.h"
#include "core/text/codec.h"

#include <algorithm>

namespace postloom::modern {

namespace {

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void AppendUtf8OfCp932(std::string_view cp932, std::string& out)
{
    // Most lines of most mails are ASCII: no converter is needed for them.
    if (IsAscii(cp932)) {
        out.append(cp932);
        return;
    }
    std::string converted;
    text::ConvertToUtf8(cp932, "CP932", converted);
    out.append(converted);
}

std::string Utf8OfCp932(std::string_view cp932)
{
    std::string out;
    AppendUtf8OfCp932(cp932, out);
    return out;
}

std::string EscapedUtf8OfCp932(std::string_view cp932)
{
    // The four escaped characters are ASCII and never a CP932 trail byte
    // of their own, so escaping before the conversion gives the same text.
    return Utf8OfCp932(EscapeHtml(cp932));
}

std::string IncludeAsUtf8(std::string_view bytes)
{
    if (text::IsValidUtf8(bytes))
        return std::string(bytes);
    return Utf8OfCp932(bytes);
}

}  // namespace postloom::modern
