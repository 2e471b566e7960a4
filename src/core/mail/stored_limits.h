#pragma once

// What a stored mail record keeps of a mail. A mail is cut to these limits
// as it is read, so that the run that first reads it builds the same pages
// and threads as every later run that loads the stored record.

#include "core/text/cp932.h"

#include <cstddef>
#include <string_view>

namespace postloom {

// The longest text a stored record keeps: it was read through a buffer of
// 1,024 bytes with room for a terminator.
inline constexpr std::size_t kMaxStoredTextLength = 1023;

// The most references a stored record keeps (the first ones): older readers
// kept their number in 16 bits.
inline constexpr std::size_t kMaxStoredReferences = 0xFFFF;

// A text as a stored record keeps it: its first kMaxStoredTextLength bytes,
// never cut inside a double-byte character.
inline std::string_view StoredText(std::string_view s)
{
    return text::TruncateToCharBoundary(s, kMaxStoredTextLength);
}

}  // namespace postloom
