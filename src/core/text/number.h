#pragma once

// Number conversions with the exact leniency of the project file and the
// header parser: leading white space, an optional sign, digits up to the
// first other character, and 0 when there are no digits.

#include <cstdint>
#include <string_view>

namespace postloom::text {

// Signed decimal. A number too large for 32 bits wraps around (modulo 2^32).
std::int32_t ParseDecimal(std::string_view s);

// Unsigned hexadecimal with an optional "0x" or "0X" after the sign. A
// number that does not fit in 32 bits gives 0xFFFFFFFF; a "-" then negates
// the result modulo 2^32.
std::uint32_t ParseHex(std::string_view s);

}  // namespace postloom::text
