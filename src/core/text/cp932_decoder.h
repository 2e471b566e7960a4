#pragma once

// CP932 to UTF-8 by table, for the bulk of page text: the very result of
// ConvertToUtf8(bytes, "CP932", out) (codec.h), every byte that is not
// part of a CP932 character a U+FFFD, at a fraction of its cost on many
// short texts. The table is filled from the codec once, on first use.

#include <string>
#include <string_view>

namespace postloom::text {

void AppendUtf8OfCp932(std::string_view cp932, std::string& out);

}  // namespace postloom::text
