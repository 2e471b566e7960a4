#include "core/text/cp932_decoder.h"

#include "core/text/codec.h"
#include "core/text/cp932.h"

#include <array>
#include <cstring>
#include <cstdint>
#include <memory>

namespace postloom::text {

namespace {

// One character's UTF-8 bytes; length 0 for a sequence that is none.
struct Utf8Char {
    std::array<char, 4> bytes{};
    std::uint8_t length = 0;
};

constexpr std::string_view kReplacement = "\uFFFD";
constexpr unsigned kFirstTrail = 0x40;
constexpr unsigned kTrails = 0xFD - kFirstTrail;

// Characters of more than three bytes never come out of CP932; a table
// entry that would need them stays "none" and reads as U+FFFD.
Utf8Char CharOf(std::string_view utf8)
{
    Utf8Char c;
    if (utf8.size() <= 3) {
        std::copy(utf8.begin(), utf8.end(), c.bytes.begin());
        c.length = static_cast<std::uint8_t>(utf8.size());
    }
    return c;
}

constexpr Utf8Char kNone{};
constexpr Utf8Char kReplacementChar{{'\xEF', '\xBF', '\xBD', 0}, 3};

class Table {
public:
    Table()
    {
        std::string out;
        for (unsigned b = 0x80; b < 0x100; ++b) {
            if (IsLeadByte(static_cast<unsigned char>(b)))
                continue;
            ConvertToUtf8(std::string(1, static_cast<char>(b)), "CP932", out);
            single_[b] = CharOf(out);
        }
        for (unsigned lead = 0x81; lead < 0x100; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned trail = kFirstTrail; trail < kFirstTrail + kTrails; ++trail) {
                const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
                ConvertToUtf8(std::string_view(pair, 2), "CP932", out);
                // A pair that is no character gives U+FFFD for its lead byte
                // and the trail byte on its own.
                if (!out.starts_with(kReplacement))
                    pairs_[(lead - 0x80) * kTrails + trail - kFirstTrail] = CharOf(out);
            }
        }
    }

    void Append(std::string_view in, std::string& out) const
    {
        // No byte gives more than three: the room is made once and the
        // characters are written straight into it, four bytes at a time
        // (hence one more).
        const std::size_t start = out.size();
        out.resize(start + in.size() * 3 + 1);
        char* to = out.data() + start;
        for (std::size_t i = 0; i < in.size();) {
            const auto b = static_cast<unsigned char>(in[i]);
            if (b < 0x80) {
                *to++ = static_cast<char>(b);
                ++i;
                continue;
            }
            const Utf8Char* c = &kNone;
            std::size_t length = 1;
            if (!IsLeadByte(b)) {
                c = &single_[b];
            } else if (i + 1 < in.size()) {
                const auto trail = static_cast<unsigned char>(in[i + 1]);
                if (trail >= kFirstTrail && trail < kFirstTrail + kTrails) {
                    c = &pairs_[(b - 0x80u) * kTrails + trail - kFirstTrail];
                    length = 2;
                }
            }
            if (c->length == 0) {
                c = &kReplacementChar;
                length = 1;
            }
            std::memcpy(to, c->bytes.data(), c->bytes.size());
            to += c->length;
            i += length;
        }
        out.resize(static_cast<std::size_t>(to - out.data()));
    }

private:
    std::array<Utf8Char, 256> single_{};
    std::array<Utf8Char, 0x80 * kTrails> pairs_{};
};

}  // namespace

void AppendUtf8OfCp932(std::string_view cp932, std::string& out)
{
    static const std::unique_ptr<const Table> table = std::make_unique<const Table>();
    table->Append(cp932, out);
}

}  // namespace postloom::text
