#include "core/mime/text_decoder.h"

#include "core/text/codec.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace postloom::mime {
namespace {

using test::Sjis;

std::string WithoutCrBeforeLf(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))
            out.push_back(s[i]);
    }
    return out;
}

// The text as the decoder gives it when the bytes come in pieces of the
// given size; every piece it hands on must end between two characters.
struct Decoded {
    std::string text;
    bool utf8 = false;
};
Decoded InPieces(std::string_view charset, std::string_view bytes, std::size_t piece)
{
    TextTraitsScan scan;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        scan.Feed(bytes.substr(at, piece));
    TextDecoder decoder(charset, scan.Finish());
    Decoded decoded{{}, decoder.utf8()};
    const TextSink out = [&](std::string_view text) {
        if (decoded.utf8) {
            EXPECT_EQ(IncompleteUtf8Tail(text), 0u) << "a piece ends inside a character";
        }
        decoded.text.append(text);
    };
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        decoder.Feed(bytes.substr(at, piece), out);
    decoder.Finish(out);
    return decoded;
}

// The bytes converted at once, as a text of a few lines is.
std::string ConvertedWhole(std::string_view charset, std::string_view bytes)
{
    std::string utf8;
    EXPECT_TRUE(text::ConvertToUtf8(bytes, charset, utf8));
    return WithoutCrBeforeLf(utf8);
}

std::string Repeated(std::string_view unit, std::size_t atLeast)
{
    std::string text;
    while (text.size() < atLeast)
        text.append(unit);
    return text;
}

// Texts of a few megabytes, cut into pieces of every kind of size: what
// comes out is the text converted at once, whatever the charset's state
// at the cuts.
TEST(TextDecoderTest, TextInPiecesIsTheTextReadWhole)
{
    const std::size_t size = 700 * 1024;
    // ISO-2022-JP with lines that end in the kanji state, JIS-Roman lines
    // and NEC characters inside ESC $ B (the Windows programs' extension).
    // The reader keeps the kanji or JIS-Roman state across a line end, so
    // most line ends here are no place to cut.
    const std::string jis = Repeated("\x1b$B" + Repeated("$\"$$-!\r\n", 20000) + "\x1b(B ascii <a>\r\n" +
                                         "\x1b(J" + Repeated("roman \\~\r\n", 5000) + "\x1b(B\r\n",
                                     size);
    // A line far longer than a piece, then lines again.
    const std::string longLine = Repeated(Sjis("長い行"), size) + "\r\n" + Repeated("a\r\n", 1000);
    const std::string utf8 = Repeated("\xe3\x81\x93\xf0\x9f\x98\x80 text\r\n", size);
    const std::string brokenUtf8 = Repeated("ok \xe3\x81\r\n\xff ok\r\n", size);
    const std::string eucJp = Repeated("\xa4\xa2\xa4\xa4 euc\r\n\x8f\xb0\xa1\n", size);
    const std::string utf16 = Repeated(std::string("a\0\n\0\x42\x30\r\0\n\0", 10), size);

    for (const std::size_t piece : {std::size_t{1}, std::size_t{4093}, std::size_t{65536}, std::size_t{1} << 30}) {
        SCOPED_TRACE(piece);
        const std::size_t slowPiece = std::max<std::size_t>(piece, 64);  // keeps the run short
        Decoded got = InPieces("ISO-2022-JP", jis, slowPiece);
        EXPECT_TRUE(got.utf8);
        EXPECT_TRUE(got.text == ConvertedWhole("ISO-2022-JP", jis));
        got = InPieces("EUC-JP", eucJp, slowPiece);
        EXPECT_TRUE(got.text == ConvertedWhole("EUC-JP", eucJp));
        got = InPieces("UTF-16LE", utf16, slowPiece);
        EXPECT_TRUE(got.text == ConvertedWhole("UTF-16LE", utf16));
        got = InPieces("utf-8", brokenUtf8, slowPiece);
        EXPECT_TRUE(got.utf8);
        EXPECT_TRUE(got.text == ConvertedWhole("UTF-8", brokenUtf8));

        // Kept as they stand, but for CR LF, cut anywhere.
        got = InPieces({}, utf8, piece);
        EXPECT_TRUE(got.utf8);
        EXPECT_TRUE(got.text == WithoutCrBeforeLf(utf8));
        got = InPieces("Shift_JIS", longLine, slowPiece);
        EXPECT_FALSE(got.utf8);
        EXPECT_TRUE(got.text == WithoutCrBeforeLf(longLine));
    }
}

TEST(TextDecoderTest, TraitsOfPiecesAreTheTraitsOfTheWhole)
{
    const auto traits = [](std::vector<std::string_view> pieces) {
        TextTraitsScan scan;
        for (const std::string_view piece : pieces)
            scan.Feed(piece);
        const TextTraits got = scan.Finish();
        return std::vector<bool>{got.eightBit, got.iso2022Escape, got.validUtf8};
    };
    using Traits = std::vector<bool>;
    EXPECT_EQ(traits({"abc", "def"}), (Traits{false, false, true}));
    // An escape cut from its designation still counts; one at the very end
    // does not.
    EXPECT_EQ(traits({"ab\x1b", "$B"}), (Traits{false, true, true}));
    EXPECT_EQ(traits({"ab\x1b", "x"}), (Traits{false, false, true}));
    EXPECT_EQ(traits({"ab", "\x1b"}), (Traits{false, false, true}));
    // A character cut by a piece's end is valid once complete, and not when
    // the text ends inside it or the next piece does not complete it.
    EXPECT_EQ(traits({"\xe3", "\x81", "\x93"}), (Traits{true, false, true}));
    EXPECT_EQ(traits({"a\xe3\x81"}), (Traits{true, false, false}));
    EXPECT_EQ(traits({"a\xe3\x81", "a"}), (Traits{true, false, false}));
    EXPECT_EQ(traits({"\xff", "a"}), (Traits{true, false, false}));
}

TEST(TextDecoderTest, IncompleteUtf8TailCountsOnlyACharacterStillToBeCompleted)
{
    EXPECT_EQ(IncompleteUtf8Tail(""), 0u);
    EXPECT_EQ(IncompleteUtf8Tail("abc"), 0u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xe3\x81\x93"), 0u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xe3"), 1u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xe3\x81"), 2u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xf0\x9f\x98"), 3u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xc3"), 1u);
    EXPECT_EQ(IncompleteUtf8Tail("a\xc3\xa9"), 0u);
    // Bytes no continuation can make valid are not held back.
    EXPECT_EQ(IncompleteUtf8Tail("a\xff"), 0u);
    EXPECT_EQ(IncompleteUtf8Tail("a\x80\x80\x80"), 0u);
}

}  // namespace
}  // namespace postloom::mime
