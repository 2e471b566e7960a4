#pragma once

// The pieces the search files are written in: each file is a classic script
// (a page opened from file:// may load scripts but not fetch data), whose
// data are JavaScript literals.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::search {

// Standard base64 with padding.
std::string Base64(std::string_view bytes);

// A list of ascending numbers as the gaps between them (the first counted
// from -1, so each gap is at least 1, stored less one), each gap in LEB128:
// seven bits a byte, low bits first, the high bit set on all but the last.
std::string DeltaCode(const std::vector<std::uint32_t>& ascending);
// Appends one number of such a list; previous starts at -1 and n must be
// larger than it.
void AppendDelta(std::uint32_t n, std::int64_t& previous, std::string& out);

// The posting list of a term as a shard holds it, whichever is shortest:
//   base64 of the delta code;
//   "!" and base64 of a bitmap of the numbers up to the largest (number n is
//   bit n % 8 of byte n / 8): a term in most mails takes a bit a mail;
//   "~" and base64 of a Golomb-Rice code of the gaps (less one): the count
//   less one in LEB128, the parameter k in a byte, then per gap its high
//   part in unary (gap >> k one bits and a zero) and its k low bits, the
//   bits filling each byte from its lowest: a few bits a mail for terms
//   in some of the mails.
std::string PostingsText(std::string_view deltaCoded, std::uint32_t largest);

// A JavaScript (and JSON) string literal of UTF-8 text, quotes included.
// Bytes that are not UTF-8 become U+FFFD; the line separators U+2028 and
// U+2029 are escaped, so the literal is valid in every version of the
// language.
void AppendStringLiteral(std::string_view utf8, std::string& out);

}  // namespace postloom::search
