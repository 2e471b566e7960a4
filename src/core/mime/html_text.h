#pragma once

// The readable text of an HTML document, for a mail whose only text is HTML:
// scripts, styles and comments dropped, block elements and <BR> end lines,
// entities decoded. Kept apart so that only this file knows the HTML parser.

#include <string>
#include <string_view>

namespace postloom::mime {

// html in UTF-8 in, text in UTF-8 out, lines ended by LF; runs of blank
// lines collapse to one, leading and trailing blank lines go.
std::string HtmlToText(std::string_view html);

}  // namespace postloom::mime
