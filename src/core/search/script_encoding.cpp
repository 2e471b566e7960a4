#include "core/search/script_encoding.h"

#include "core/text/utf32.h"

namespace postloom::search {

std::string Base64(std::string_view bytes)
{
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                                static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += rest == 2 ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void AppendDelta(std::uint32_t n, std::int64_t& previous, std::string& out)
{
    auto gap = static_cast<std::uint64_t>(static_cast<std::int64_t>(n) - previous - 1);
    previous = n;
    while (gap >= 0x80) {
        out += static_cast<char>(0x80 | (gap & 0x7F));
        gap >>= 7;
    }
    out += static_cast<char>(gap);
}

std::string DeltaCode(const std::vector<std::uint32_t>& ascending)
{
    std::string out;
    std::int64_t previous = -1;
    for (const std::uint32_t n : ascending) {
        AppendDelta(n, previous, out);
    }
    return out;
}

std::string PostingsText(std::string_view deltaCoded, std::uint32_t largest)
{
    const std::size_t bitmapBytes = largest / 8 + 1;
    const auto base64Size = [](std::size_t bytes) { return (bytes + 2) / 3 * 4; };
    if (base64Size(bitmapBytes) + 1 >= base64Size(deltaCoded.size())) {
        return Base64(deltaCoded);
    }
    std::string bitmap(bitmapBytes, '\0');
    std::int64_t previous = -1;
    std::size_t i = 0;
    while (i < deltaCoded.size()) {
        std::uint64_t gap = 0;
        int shift = 0;
        unsigned char b = 0;
        do {
            b = static_cast<unsigned char>(deltaCoded[i++]);
            gap |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            shift += 7;
        } while ((b & 0x80) != 0 && i < deltaCoded.size());
        previous += static_cast<std::int64_t>(gap) + 1;
        bitmap[static_cast<std::size_t>(previous) / 8] |= static_cast<char>(1 << (previous % 8));
    }
    return "!" + Base64(bitmap);
}

void AppendStringLiteral(std::string_view utf8, std::string& out)
{
    out += '"';
    for (const char32_t c : text::Utf8ToUtf32(utf8)) {
        switch (c) {
        case U'"': out += "\\\""; break;
        case U'\\': out += "\\\\"; break;
        case U'\n': out += "\\n"; break;
        case U'\r': out += "\\r"; break;
        case U'\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x2028 || c == 0x2029) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4) {
                    out += kHex[(c >> shift) & 0xF];
                }
            } else {
                text::AppendUtf8(c, out);
            }
        }
    }
    out += '"';
}

}  // namespace postloom::search
