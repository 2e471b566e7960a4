#pragma once

// The terms of the index, from text already folded (search_text.h): each run
// of kana and kanji gives its overlapping pairs of characters (a run of one
// character gives that character), each run of letters and digits gives the
// word, unless it is longer than kMaxWordLength (encoded data, not words).
// Everything else separates. search_tokens.js does the same in the browser.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::search {

inline constexpr std::size_t kMaxWordLength = 32;

// UTF-8 terms in the order of the text, repeats included. A query's word
// is looked up by these.
std::vector<std::string> SearchTokens(std::u32string_view folded);

// What the index holds of a text: its tokens and each kana and kanji on its
// own as well, so that a query of one character finds it inside a run.
std::vector<std::string> IndexTerms(std::u32string_view folded);

}  // namespace postloom::search
