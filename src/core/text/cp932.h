#pragma once

// Byte-string helpers for text in code page 932 (Shift-JIS).
//
// Every search steps over double-byte characters, so the trail byte of a
// double-byte character (which may be 0x5B "[", 0x5C "\" or 0x5D "]") is
// never taken for the character searched for. A lead byte at the very end of
// a text counts as one character.

#include <cstddef>
#include <string>
#include <string_view>

namespace postloom::text {

inline constexpr std::size_t npos = std::string_view::npos;

constexpr bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Number of bytes (1 or 2) of the character that starts at pos.
std::size_t CharLength(std::string_view s, std::size_t pos);

// Position of the first character c at or after from; npos when none.
// from must lie on a character boundary.
std::size_t FindChar(std::string_view s, char c, std::size_t from = 0);

// Position of the last character c; npos when none.
std::size_t FindLastChar(std::string_view s, char c);

// Position of the first character that is one of chars; npos when none.
std::size_t FindFirstOf(std::string_view s, std::string_view chars, std::size_t from = 0);

// Blank, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool IsWhiteSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text without its leading white space; the end is never touched.
std::string_view TrimLeadingWhiteSpace(std::string_view s);

// The text after position pos: empty when pos is npos or at or beyond the end.
std::string_view TextAfter(std::string_view s, std::size_t pos);

// The text before position pos: empty when pos is npos (nothing was found).
std::string_view TextBefore(std::string_view s, std::size_t pos);

// ASCII letters compare without case; every other byte exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix);

// Lower-cases the single-byte letters A-Z; double-byte characters stay.
std::string ToLowerAscii(std::string_view s);

// The longest prefix of s of at most maxBytes bytes that does not end
// inside a double-byte character.
std::string_view TruncateToCharBoundary(std::string_view s, std::size_t maxBytes);

// Number of characters, a double-byte character counting as one.
std::size_t CharCount(std::string_view s);

}  // namespace postloom::text
