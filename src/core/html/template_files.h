#pragma once

// Reading the files a user gives to shape the pages (templates, header and
// footer includes).

#include <optional>
#include <string>
#include <string_view>

namespace postloom {

// Bytes as text mode reads them: CR LF becomes LF, a lone CR stays, a 0x1A
// byte ends the text.
std::string TextModeContent(std::string_view raw);

// A whole file read in text mode; nullopt when it cannot be read.
std::optional<std::string> ReadTextFile(std::string_view path);

// The lines of an include file, each ended by exactly one "\n" (so a last
// line without a line end gains one); nullopt when it cannot be read.
std::optional<std::string> ReadIncludeLines(std::string_view path);

// The included lines inside their begin and end comments; part is "Header"
// or "Footer".
std::string IncludeBlock(std::string_view part, std::string_view lines);

}  // namespace postloom
