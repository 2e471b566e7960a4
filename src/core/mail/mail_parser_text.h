#pragma once

// Text steps shared by the header and Date parsers.

#include "core/text/cp932.h"

#include <cstddef>
#include <string_view>

namespace postloom::mail_text {

// The text after pos, or the whole text when the search found nothing
// (pos is npos): a header line without ":" gives its whole line as the
// value, and an id without "<" is looked for in the whole text.
inline std::string_view AfterOrWhole(std::string_view s, std::size_t pos)
{
    return pos == text::npos ? s : text::TextAfter(s, pos);
}

// The value of a header line: after its first ":", without leading white
// space.
inline std::string_view HeaderValue(std::string_view line)
{
    return text::TrimLeadingWhiteSpace(AfterOrWhole(line, text::FindChar(line, ':')));
}

}  // namespace postloom::mail_text
