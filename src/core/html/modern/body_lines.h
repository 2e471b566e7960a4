#pragma once

// A mail file's body for the modern page, fed in pieces of any size so
// that a mail of any size, and a line of any length, passes through a
// fixed amount of memory.

#include "core/html/modern/body_formatter.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace postloom::modern {

// The bytes of a mail file (CP932) as they are read: the header block up
// to the first empty line is passed over, the file is read in text mode
// (CR LF reads as LF, a lone CR stays, a 0x1A byte ends the text), and the
// lines after it go to the formatter as UTF-8. A last line without its
// line end is a line.
class ArchiveBodyLines {
public:
    void Feed(std::string_view raw, BodyFormatter& formatter, std::string& out);
    void Finish(BodyFormatter& formatter, std::string& out);
    // A 0x1A byte was seen: nothing after it belongs to the text.
    bool Ended() const { return ended_; }

private:
    // Passes over header bytes; returns the rest once the header ended.
    std::string_view SkipHeader(std::string_view raw);
    void FeedBody(std::string_view text, BodyFormatter& formatter, std::string& out);
    void Convert(std::string_view cp932, bool lineEnds, BodyFormatter& formatter, std::string& out);

    bool inBody_ = false;
    bool ended_ = false;
    // The header line read so far: its length and its first byte.
    std::size_t headerLineLength_ = 0;
    char headerLineFirst_ = 0;
    // A CR or a CP932 lead byte that ended the last piece, waiting for the
    // byte after it.
    std::string held_;
    std::string joined_;
    std::string utf8_;
};

}  // namespace postloom::modern
