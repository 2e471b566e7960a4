#include "core/text/codec.h"

#include <iconv.h>

#include <cerrno>
#include <optional>

namespace postloom::text {

namespace {

bool IsAscii(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Converts the whole text or nothing.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 3 + 8, '\0');
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                const std::size_t used = out.size() - outLeft;
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            ok = false;
            break;
        }
    }
    if (ok && iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        ok = false;
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    if (IsAscii(cp932))
        return std::string(cp932);
    if (auto converted = Convert("UTF-8", "CP932", cp932))
        return *std::move(converted);
    return std::string(cp932);
}

std::string Utf8ToCp932(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    if (auto converted = Convert("CP932", "UTF-8", utf8))
        return *std::move(converted);
    return std::string(utf8);
}

}  // namespace postloom::text
