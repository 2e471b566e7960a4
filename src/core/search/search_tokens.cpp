#include "core/search/search_tokens.h"

#include "core/search/search_text.h"
#include "core/text/utf32.h"

namespace postloom::search {

std::vector<std::string> SearchTokens(std::u32string_view folded)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < folded.size()) {
        std::size_t end = i + 1;
        if (IsIdeographic(folded[i])) {
            while (end < folded.size() && IsIdeographic(folded[end])) {
                ++end;
            }
            if (end - i == 1) {
                tokens.push_back(text::Utf32ToUtf8(folded.substr(i, 1)));
            }
            for (std::size_t k = i; k + 1 < end; ++k) {
                tokens.push_back(text::Utf32ToUtf8(folded.substr(k, 2)));
            }
        } else if (IsWordCharacter(folded[i])) {
            while (end < folded.size() && IsWordCharacter(folded[end])) {
                ++end;
            }
            if (end - i <= kMaxWordLength) {
                tokens.push_back(text::Utf32ToUtf8(folded.substr(i, end - i)));
            }
        }
        i = end;
    }
    return tokens;
}

std::vector<std::string> IndexTerms(std::u32string_view folded)
{
    std::vector<std::string> terms = SearchTokens(folded);
    for (const char32_t c : folded) {
        if (IsIdeographic(c)) {
            terms.push_back(text::Utf32ToUtf8(std::u32string_view(&c, 1)));
        }
    }
    return terms;
}

}  // namespace postloom::search
