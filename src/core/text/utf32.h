#pragma once

// UTF-8 to code points and back, for code that works on characters.

#include <string>
#include <string_view>

namespace postloom::text {

// Each byte that does not belong to a well-formed character (overlong forms,
// surrogates and values above U+10FFFF included) becomes one U+FFFD.
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string Utf32ToUtf8(std::u32string_view text);
void AppendUtf8(char32_t c, std::string& out);
// UTF-16, little-endian, as bytes.
std::string Utf32ToUtf16Le(std::u32string_view text);

}  // namespace postloom::text
