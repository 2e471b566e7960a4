#pragma once

// The body of a mail on a modern page: its lines as they stand inside a
// block that keeps line breaks and blanks (white-space: pre-wrap), quoted
// lines marked so they show muted, web addresses made links.

#include <string>
#include <string_view>

namespace postloom::modern {

// A line that quotes another mail: it starts, after any blanks, with '>',
// '＞' or '|'.
bool IsQuotedLine(std::string_view utf8Line);

class BodyFormatter {
public:
    // Appends one line of the body (UTF-8, without its line end). This is
    // where every line of every mail body passes on its way into a modern
    // page.
    void AppendLine(std::string_view utf8Line, std::string& out);

private:
    bool first_ = true;
};

// The opening and closing tags of the block that holds the body lines.
inline constexpr std::string_view kBodyStart = "<div class=\"mail-body\">";
inline constexpr std::string_view kBodyEnd = "</div>\n";

}  // namespace postloom::modern
