#pragma once

// The frame every modern page shares: the HTML5 head (character set
// first, viewport, title, stylesheet) and the body's start and end with the
// user's header and footer includes.

#include <optional>
#include <string>
#include <string_view>

namespace postloom::modern {

// Everything up to and including the body's start tag and the header
// include. title is escaped UTF-8; stylesheetHref is in URL form (CP932),
// none when the page cannot reach the stylesheet. headLinks are further
// elements of the head, complete.
void AppendPageStart(std::string& page, std::string_view title, const std::optional<std::string>& stylesheetHref,
                     std::string_view bodyClass, std::string_view headerInclude, std::string_view headLinks = {});
// A search box that sends its query to the search page at searchHref (URL
// form, CP932) with no script; the "/" key focuses it.
void AppendSearchBox(std::string& page, std::string_view searchHref);
// The link to a file beside the index page from a page whose link to the
// stylesheet (also beside the index page) is stylesheetHref.
std::string BesideStylesheet(std::string_view stylesheetHref, std::string_view name);
// The footer include and the end tags.
void AppendPageEnd(std::string& page, std::string_view footerInclude);

// An include file's lines (as ReadIncludeLines gives them) as the block
// the page holds, UTF-8; empty for none.
std::string IncludeBlockUtf8(std::string_view part, const std::optional<std::string>& lines);

}  // namespace postloom::modern
