#pragma once

// Text as the modern pages hold it: UTF-8. The records, the archives and
// the settings hold CP932; everything passes through here on its way into
// a modern page.

#include <string>
#include <string_view>

namespace postloom::modern {

// CP932 text as UTF-8. A byte that is no CP932 character becomes U+FFFD,
// so the page is always valid UTF-8.
std::string Utf8OfCp932(std::string_view cp932);
// The same, appended to out.
void AppendUtf8OfCp932(std::string_view cp932, std::string& out);

// UTF-8 text escaped for the text or an attribute of a page: '"', '&',
// '<' and '>' as their entities, and every control character HTML does
// not allow in a page (all but tab, line feed, form feed and carriage
// return; DEL; U+0080 to U+009F) as U+FFFD. Old mails hold such bytes,
// the escape of a JIS text stored unconverted above all.
void AppendEscapedText(std::string_view utf8, std::string& out);

// CP932 text as escaped UTF-8 (as AppendEscapedText).
std::string EscapedUtf8OfCp932(std::string_view cp932);

// An include file's lines (the user's own HTML) as UTF-8: kept as they are
// when they are valid UTF-8 (plain ASCII is both), read as CP932 otherwise.
std::string IncludeAsUtf8(std::string_view bytes);

}  // namespace postloom::modern
