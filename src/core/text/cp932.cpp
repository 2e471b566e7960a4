#include "core/text/cp932.h"

namespace postloom::text {

namespace {

constexpr unsigned char LowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

std::size_t CharLength(std::string_view s, std::size_t pos)
{
    if (pos + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[pos])))
        return 2;
    return 1;
}

std::size_t FindChar(std::string_view s, char c, std::size_t from)
{
    for (std::size_t i = from; i < s.size(); i += CharLength(s, i)) {
        if (s[i] == c)
            return i;
    }
    return npos;
}

std::size_t FindLastChar(std::string_view s, char c)
{
    std::size_t found = npos;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (s[i] == c)
            found = i;
    }
    return found;
}

std::size_t FindFirstOf(std::string_view s, std::string_view chars, std::size_t from)
{
    for (std::size_t i = from; i < s.size(); i += CharLength(s, i)) {
        if (chars.find(s[i]) != std::string_view::npos)
            return i;
    }
    return npos;
}

std::string_view TrimLeadingWhiteSpace(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsWhiteSpace(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

std::string_view TextAfter(std::string_view s, std::size_t pos)
{
    if (pos == npos || pos + 1 >= s.size())
        return {};
    return s.substr(pos + 1);
}

std::string_view TextBefore(std::string_view s, std::size_t pos)
{
    if (pos == npos)
        return {};
    return s.substr(0, pos);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(static_cast<unsigned char>(a[i])) != LowerAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

std::string ToLowerAscii(std::string_view s)
{
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); i += CharLength(out, i))
        out[i] = static_cast<char>(LowerAscii(static_cast<unsigned char>(out[i])));
    return out;
}

std::string_view TruncateToCharBoundary(std::string_view s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t end = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = CharLength(s, i);
        if (i + len > maxBytes)
            break;
        i += len;
        end = i;
    }
    return s.substr(0, end);
}

std::size_t CharCount(std::string_view s)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i))
        ++count;
    return count;
}

}  // namespace postloom::text
