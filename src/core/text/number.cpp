#include "core/text/number.h"

#include "core/text/cp932.h"

namespace postloom::text {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Skips leading white space and an optional sign; returns true for "-".
bool TakeSign(std::string_view& s)
{
    s = TrimLeadingWhiteSpace(s);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        const bool negative = s.front() == '-';
        s.remove_prefix(1);
        return negative;
    }
    return false;
}

}  // namespace

std::int32_t ParseDecimal(std::string_view s)
{
    const bool negative = TakeSign(s);
    std::uint32_t value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            break;
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::uint32_t ParseHex(std::string_view s)
{
    const bool negative = TakeSign(s);
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && HexDigit(s.size() > 2 ? s[2] : '\0') >= 0)
        s.remove_prefix(2);
    std::uint64_t value = 0;
    bool overflow = false;
    for (const char c : s) {
        const int digit = HexDigit(c);
        if (digit < 0)
            break;
        value = value * 16u + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    auto result = static_cast<std::uint32_t>(value);
    if (overflow)
        result = 0xFFFFFFFFu;
    if (negative)
        result = 0u - result;
    return result;
}

}  // namespace postloom::text
