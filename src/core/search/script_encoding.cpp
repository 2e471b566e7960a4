#include "core/search/script_encoding.h"

#include "core/text/utf32.h"

#include <numeric>

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

namespace {

// The gaps (less one) of a delta code.
std::vector<std::uint64_t> Gaps(std::string_view deltaCoded)
{
    std::vector<std::uint64_t> gaps;
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
        gaps.push_back(gap);
    }
    return gaps;
}

std::string Bitmap(const std::vector<std::uint64_t>& gaps, std::uint32_t largest)
{
    std::string bitmap(largest / 8 + 1, '\0');
    std::uint64_t n = 0;
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        n += gaps[i] + (i > 0 ? 1 : 0);
        bitmap[n / 8] |= static_cast<char>(1 << (n % 8));
    }
    return bitmap;
}

std::uint64_t RiceBits(const std::vector<std::uint64_t>& gaps, unsigned k)
{
    std::uint64_t bits = gaps.size() * (k + 1);
    for (const std::uint64_t gap : gaps) {
        bits += gap >> k;
    }
    return bits;
}

// The count (LEB128), k (one byte), then each gap as gap >> k one bits, a
// zero bit and the low k bits of the gap; bits fill each byte from its
// lowest.
std::string Rice(const std::vector<std::uint64_t>& gaps)
{
    const std::uint64_t total = std::accumulate(gaps.begin(), gaps.end(), std::uint64_t{0});
    unsigned k = 0;
    while (k < 31 && (std::uint64_t{2} << k) * gaps.size() <= total) {
        ++k;
    }
    // The mean's logarithm is close; a neighbour can be better.
    for (const unsigned other : {k > 0 ? k - 1 : k, k + 1}) {
        k = RiceBits(gaps, other) < RiceBits(gaps, k) ? other : k;
    }
    std::string out;
    std::int64_t previous = -1;
    AppendDelta(static_cast<std::uint32_t>(gaps.size() - 1), previous, out);
    out += static_cast<char>(k);
    const std::size_t start = out.size();
    out.append((RiceBits(gaps, k) + 7) / 8, '\0');
    std::uint64_t bit = 0;
    const auto put = [&](bool one) {
        if (one) {
            out[start + bit / 8] |= static_cast<char>(1 << (bit % 8));
        }
        ++bit;
    };
    for (const std::uint64_t gap : gaps) {
        for (std::uint64_t q = gap >> k; q > 0; --q) {
            put(true);
        }
        put(false);
        for (unsigned b = 0; b < k; ++b) {
            put(((gap >> b) & 1) != 0);
        }
    }
    return out;
}

}  // namespace

std::string PostingsText(std::string_view deltaCoded, std::uint32_t largest)
{
    const std::vector<std::uint64_t> gaps = Gaps(deltaCoded);
    std::string best = Base64(deltaCoded);
    if (gaps.size() < 2) {
        return best;
    }
    for (std::string other : {"!" + Base64(Bitmap(gaps, largest)), "~" + Base64(Rice(gaps))}) {
        if (other.size() < best.size()) {
            best = std::move(other);
        }
    }
    return best;
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
