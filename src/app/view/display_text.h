#pragma once

#include <QString>

#include <string_view>

namespace postloom {

// A CP932 text as the user interface shows it. A character that does not
// convert (a lone lead byte, an unassigned code) shows as U+FFFD and the
// rest of the text still shows, so a damaged subject stays readable.
QString DisplayText(std::string_view cp932);

}  // namespace postloom
