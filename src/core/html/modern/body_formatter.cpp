#include "core/html/modern/body_formatter.h"

#include "core/html/modern/url_links.h"

namespace postloom::modern {

namespace {

constexpr std::string_view kIdeographicSpace = "\u3000";
constexpr std::string_view kFullWidthGreaterThan = "\uFF1E";

}  // namespace

bool IsQuotedLine(std::string_view line)
{
    for (;;) {
        if (line.starts_with(' ') || line.starts_with('\t'))
            line.remove_prefix(1);
        else if (line.starts_with(kIdeographicSpace))
            line.remove_prefix(kIdeographicSpace.size());
        else
            break;
    }
    return line.starts_with('>') || line.starts_with('|') || line.starts_with(kFullWidthGreaterThan);
}

void BodyFormatter::AppendLine(std::string_view line, std::string& out)
{
    // Lines are joined, not ended, by a line feed: a line feed after the
    // last one would show as an empty line at the end of the block.
    if (!first_)
        out.push_back('\n');
    first_ = false;
    if (IsQuotedLine(line)) {
        out.append("<span class=\"quote\">");
        AppendLinkedText(line, out);
        out.append("</span>");
    } else {
        AppendLinkedText(line, out);
    }
}

}  // namespace postloom::modern
