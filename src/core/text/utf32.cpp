#include "core/text/utf32.h"

#include <cstddef>
#include <cstdint>

namespace postloom::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsTrail(unsigned char b) { return (b & 0xC0) == 0x80; }

// The character at utf8[i] and its length; length 0 for a byte that starts
// no well-formed character.
std::size_t DecodeOne(std::string_view utf8, std::size_t i, char32_t& c)
{
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, value = b0 & 0x1F, least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, value = b0 & 0x0F, least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, value = b0 & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > utf8.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(utf8[i + k]);
        if (!IsTrail(b)) {
            return 0;
        }
        value = (value << 6) | (b & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    c = value;
    return length;
}

}  // namespace

std::u32string Utf8ToUtf32(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeOne(utf8, i, c);
        out.push_back(length == 0 ? kReplacement : c);
        i += length == 0 ? 1 : length;
    }
    return out;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = kReplacement;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string Utf32ToUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        AppendUtf8(c, out);
    }
    return out;
}

std::string Utf32ToUtf16Le(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    const auto unit = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = kReplacement;
        }
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

}  // namespace postloom::text
