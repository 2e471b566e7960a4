#pragma once

// The body of a mail on a modern page: its lines as they stand inside a
// block that keeps line breaks and blanks (white-space: pre-wrap), quoted
// lines marked so they show muted, addresses hidden as the project says,
// web addresses made links.
//
// The text comes in pieces cut anywhere and passes through a bounded
// amount of memory, however long its lines: a line is written in runs,
// each starting at a byte that no web address can hold (a blank, a
// character beyond ASCII, '<', ...) or at the line's start, so no address
// ever spans two runs and a line reads the same whole or run by run. A run
// longer than the longest linked run is shown as plain text, links and
// all; nothing real is that long, and so the result never depends on how
// the text was cut.

#include "core/html/address_hiding.h"
#include "core/project/project_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace postloom::modern {

// A line that quotes another mail: it starts, after at most
// kQuoteIndentLimit bytes of blanks, with '>', '＞' or '|'.
bool IsQuotedLine(std::string_view utf8Line);
inline constexpr std::size_t kQuoteIndentLimit = 256;

inline constexpr std::size_t kLongestLinkedRun = 64 * 1024;

class BodyFormatter {
public:
    explicit BodyFormatter(AddressHiding hiding = AddressHiding::Shown,
                           std::size_t longestLinkedRun = kLongestLinkedRun);

    // Appends the next piece of the body (UTF-8, LF line ends, cut
    // anywhere). This is where every line of every mail body passes on its
    // way into a modern page.
    void Feed(std::string_view utf8, std::string& out);
    // Appends what the end of the body completes. A last line without its
    // line end is a line; lines are joined, not ended, by a line feed.
    void Finish(std::string& out);

private:
    void FeedHidden(std::string_view text, std::string& out);
    // A part of the open line; lineEnds when it is the rest of it.
    void TakeLinePart(std::string_view part, bool lineEnds, std::string& out);
    void WriteRuns(std::string_view text, bool lineEnds, std::string& out);

    std::optional<AddressHider> hider_;
    std::string hidden_;
    std::size_t longest_;
    bool lineOpen_ = false;
    bool newlineDue_ = false;
    // Whether the open line is quoted; unknown until its first characters
    // after the blanks are seen.
    std::optional<bool> quoted_;
    // The open line's text not yet written; it starts where a run starts.
    std::string pending_;
    // The open run grew longer than longest_: it is written as plain text
    // up to its end.
    bool inLongRun_ = false;
};

// The opening and closing tags of the block that holds the body lines.
inline constexpr std::string_view kBodyStart = "<div class=\"mail-body\">";
inline constexpr std::string_view kBodyEnd = "</div>\n";

}  // namespace postloom::modern
