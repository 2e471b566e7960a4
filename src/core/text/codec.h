#pragma once

// The one place where text changes encoding: CP932 (the encoding of every
// text in the system) to and from UTF-8 (the GUI and the Linux file system).
// A text that does not convert as a whole is passed on as its bytes.

#include <string>
#include <string_view>

namespace postloom::text {

std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace postloom::text
