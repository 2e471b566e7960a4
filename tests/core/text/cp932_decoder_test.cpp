// The table decoder gives exactly what the codec gives for CP932, whatever
// the bytes.

#include "core/text/codec.h"
#include "core/text/cp932_decoder.h"

#include <gtest/gtest.h>

#include <random>

namespace postloom::text {
namespace {

std::string Decoded(std::string_view bytes)
{
    std::string out = "kept ";
    AppendUtf8OfCp932(bytes, out);
    return out.substr(5);
}

std::string Reference(std::string_view bytes)
{
    std::string out;
    EXPECT_TRUE(ConvertToUtf8(bytes, "CP932", out));
    return out;
}

TEST(Cp932Decoder, EveryCharacterAndEveryBrokenSequenceAsTheCodecHasIt)
{
    // Every pair of bytes from a lead byte on, and every single byte.
    for (unsigned first = 0; first < 0x100; ++first) {
        const std::string single(1, static_cast<char>(first));
        ASSERT_EQ(Decoded(single), Reference(single)) << first;
        if (first < 0x80)
            continue;
        for (unsigned second = 0; second < 0x100; ++second) {
            const std::string pair = {static_cast<char>(first), static_cast<char>(second)};
            ASSERT_EQ(Decoded(pair), Reference(pair)) << first << " " << second;
        }
    }
}

TEST(Cp932Decoder, RandomTextsAsTheCodecHasThem)
{
    std::mt19937 random(932);
    // Mostly Japanese text, with ASCII and stray bytes among it.
    const auto byte = [&]() -> char {
        const unsigned kind = random() % 10;
        if (kind < 3)
            return static_cast<char>(0x20 + random() % 0x60);
        if (kind < 8)
            return static_cast<char>(0x81 + random() % 0x1F);
        return static_cast<char>(random() % 0x100);
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 40, '\0');
        for (char& c : text)
            c = byte();
        ASSERT_EQ(Decoded(text), Reference(text)) << ::testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace postloom::text
