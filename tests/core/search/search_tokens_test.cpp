#include "core/search/search_text.h"
#include "core/search/search_tokens.h"
#include "core/text/utf32.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

namespace postloom::search {
namespace {

// The table the browser's tokenizer is tested with as well.
TEST(SearchTokensTest, AgreesWithTheSharedVectors)
{
    std::ifstream in(SEARCH_VECTORS);
    ASSERT_TRUE(in) << SEARCH_VECTORS;
    const auto vectors = nlohmann::json::parse(in);
    ASSERT_GT(vectors.size(), 20u);
    for (const auto& v : vectors) {
        const std::string text = v.at("text");
        SCOPED_TRACE(v.at("note").get<std::string>());
        const std::string folded = FoldForSearch(std::string_view(text));
        EXPECT_EQ(folded, v.at("folded").get<std::string>());
        EXPECT_EQ(SearchTokens(text::Utf8ToUtf32(folded)), v.at("tokens").get<std::vector<std::string>>());
    }
}

// The index also holds each kana and kanji alone, so a query of one
// character finds it inside a longer run.
TEST(SearchTokensTest, IndexTermsAddEachKanaAndKanjiAlone)
{
    EXPECT_EQ(IndexTerms(U"日本語 ok"), (std::vector<std::string>{"日本", "本語", "ok", "日", "本", "語"}));
    EXPECT_EQ(IndexTerms(U"本"), (std::vector<std::string>{"本", "本"}));
}

TEST(SearchTokensTest, BytesThatAreNoUtf8BecomeReplacementCharacters)
{
    EXPECT_EQ(FoldForSearch(std::string_view("a\xFF" "b\xE3\x81")), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(FoldForSearch(std::string_view("\xED\xA0\x80")), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(SearchTokensTest, Utf16KeepsEveryCharacterAndReplacesWhatIsNone)
{
    EXPECT_EQ(text::Utf32ToUtf16Le(U"a\u3042\U00020BB7"), std::string("a\0\x42\x30\x42\xD8\xB7\xDF", 8));
    EXPECT_EQ(text::Utf32ToUtf16Le(std::u32string(1, char32_t{0xD800})), "\xFD\xFF");
}

// Folding twice changes nothing, so a query may be folded again where the
// text it came from was folded already.
TEST(SearchTokensTest, FoldingIsIdempotentOnTheVectors)
{
    std::ifstream in(SEARCH_VECTORS);
    for (const auto& v : nlohmann::json::parse(in)) {
        const std::string folded = v.at("folded");
        EXPECT_EQ(FoldForSearch(std::string_view(folded)), folded) << v.at("note");
    }
}

}  // namespace
}  // namespace postloom::search
