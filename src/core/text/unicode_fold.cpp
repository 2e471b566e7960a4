#include "core/text/unicode_fold.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

namespace postloom::text {

std::u32string Nfkc(std::u32string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status) || nfkc == nullptr) {
        return std::u32string(text);
    }
    icu::UnicodeString source;
    for (const char32_t c : text) {
        source.append(static_cast<UChar32>(c));
    }
    const icu::UnicodeString normal = nfkc->normalize(source, status);
    if (U_FAILURE(status)) {
        return std::u32string(text);
    }
    std::u32string out;
    out.reserve(static_cast<std::size_t>(normal.length()));
    for (int32_t i = 0; i < normal.length();) {
        const UChar32 c = normal.char32At(i);
        out.push_back(static_cast<char32_t>(c));
        i += U16_LENGTH(c);
    }
    return out;
}

char32_t SimpleLowercase(char32_t c)
{
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

}  // namespace postloom::text
