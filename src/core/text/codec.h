#pragma once

// The one place where text changes encoding: CP932 (the encoding of every
// text in the system) to and from UTF-8 (the GUI and the Linux file system).
// A text that does not convert as a whole is passed on as its bytes.

#include <string>
#include <string_view>

namespace postloom::text {

std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// What a character CP932 cannot hold (or a byte that is not UTF-8) becomes.
enum class Unmappable {
    Geta,                // "〓" (U+3013), for texts shown in lists and titles
    CharacterReference,  // "&#x1F600;", for page text a browser shows
};
// Converts every character that CP932 holds and replaces the others; each
// byte that is not part of a UTF-8 character counts as one U+FFFD. Other
// tables' code points for CP932's characters (U+301C wave dash, U+2016,
// U+2212, U+00A2, U+00A6, U+00B7, ...) become those characters.
std::string Utf8ToCp932(std::string_view utf8, Unmappable unmappable);

// Converts bytes in charset (any name iconv knows) to UTF-8; bytes that do
// not convert become U+FFFD and the rest goes on. Names are read as mail
// programs read them: Shift_JIS and its aliases as CP932, EUC-JP with the
// same NEC and IBM characters, ISO-2022-JP also with half-width kana and
// CP932's characters inside ESC $ B, ISO-8859-1 as windows-1252. False, with
// out untouched, for a charset iconv does not know or a name with characters
// other than [A-Za-z0-9._:+-].
bool ConvertToUtf8(std::string_view bytes, std::string_view charset, std::string& out);

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

}  // namespace postloom::text
