#include "app/view/display_text.h"

#include "core/text/codec.h"
#include "core/text/cp932.h"

#include <string>

namespace postloom {

namespace {

bool IsAscii(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The codec hands back a text it cannot convert unchanged; a converted
// non-ASCII text always differs from its input (every non-ASCII character
// grows or changes its first byte in UTF-8).
bool Converted(std::string_view in, const std::string& out)
{
    return IsAscii(in) || out != in;
}

}  // namespace

QString DisplayText(std::string_view cp932)
{
    const std::string whole = text::Cp932ToUtf8(cp932);
    if (Converted(cp932, whole))
        return QString::fromUtf8(whole.data(), static_cast<qsizetype>(whole.size()));

    QString shown;
    std::size_t pos = 0;
    while (pos < cp932.size()) {
        const std::string_view character = cp932.substr(pos, text::CharLength(cp932, pos));
        const std::string utf8 = text::Cp932ToUtf8(character);
        if (Converted(character, utf8)) {
            shown += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
            pos += character.size();
        } else {
            // Only the lead byte is lost: its follower may be a character
            // of its own (an ASCII byte after a broken lead byte).
            shown += QChar::ReplacementCharacter;
            ++pos;
        }
    }
    return shown;
}

}  // namespace postloom
