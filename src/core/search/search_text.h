#pragma once

// The searchable form of a text: what the index is built from, what the
// text kept for the exact check holds, and what a query is compared with.
// The browser's search (search_tokens.js) folds a query by the same rules;
// tests/search/token_vectors.json holds both sides to the same results.
//
// 1. Zero-width characters (U+200B-U+200D, U+2060, U+FEFF) are dropped.
// 2. Within the blocks of kFoldableBlocks the text is NFKC-normalised and
//    each resulting character takes its simple lowercase; final sigma
//    becomes sigma. Characters of other blocks are kept exactly as they are:
//    the browser's normaliser comes with its own Unicode version, and those
//    blocks are where a newer version could normalise or lowercase
//    differently from ours (U+A7CB, U+1C89, U+1CCD6... do already). Each
//    foldable run is normalised on its own.
// 3. Variants are folded: tilde-like characters (U+223C, U+301C) become "~",
//    hyphen- and minus-like characters (U+2010-U+2013, U+2212) "-", and a
//    dash or rule (U+2014, U+2015, U+2500, U+2501) right after kana becomes
//    the long-vowel mark U+30FC.
// 4. Every run of white space (a line break included) becomes one space,
//    none at the ends and none beside kana or kanji, so a Japanese word cut
//    by a line break is whole again.

#include <string>
#include <string_view>

namespace postloom::search {

struct CodeRange {
    char32_t first;
    char32_t last;
};

bool IsFoldable(char32_t c);
// Hiragana, katakana (the middle dot excepted), iteration marks and kanji:
// the characters whose runs become bigrams.
bool IsIdeographic(char32_t c);
// Latin, Greek and Cyrillic letters, digits and combining marks: the
// characters whose runs become words.
bool IsWordCharacter(char32_t c);

std::u32string FoldForSearch(std::u32string_view text);
// UTF-8 in and out; bytes that are not UTF-8 become U+FFFD first.
std::string FoldForSearch(std::string_view utf8);

}  // namespace postloom::search
