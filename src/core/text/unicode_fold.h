#pragma once

// ICU behind one small module: compatibility normalisation (NFKC) and the
// simple lowercase mapping of a character. Nothing else in the core includes
// ICU's headers.

#include <string>
#include <string_view>

namespace postloom::text {

// NFKC of the text. Every code point that is not a scalar value (a surrogate,
// anything above U+10FFFF) must have been replaced before.
std::u32string Nfkc(std::u32string_view text);

// The one-character lowercase of c (UnicodeData's simple mapping), c itself
// when it has none.
char32_t SimpleLowercase(char32_t c);

}  // namespace postloom::text
