#pragma once

// A mail body cut into lines for the modern page, fed in pieces of any
// size so that a mail of any size passes through a fixed amount of memory
// (beyond its longest line).

#include "core/html/modern/body_formatter.h"

#include <string>
#include <string_view>

namespace postloom::modern {

// The bytes of a mail file (CP932) as they are read: the header block up
// to the first empty line is passed over, the file is read in text mode
// (CR LF reads as LF, a lone CR stays, a 0x1A byte ends the text), and
// each line after it goes to the formatter as UTF-8. A last line without
// its line end is a line.
class ArchiveBodyLines {
public:
    void Feed(std::string_view raw, BodyFormatter& formatter, std::string& out);
    void Finish(BodyFormatter& formatter, std::string& out);
    // A 0x1A byte was seen: nothing after it belongs to the text.
    bool Ended() const { return ended_; }

private:
    void TakeLine(std::string_view line, BodyFormatter& formatter, std::string& out);

    bool inBody_ = false;
    bool ended_ = false;
    std::string pending_;  // the start of a line cut by the end of a piece
    std::string utf8_;
};

// Decoded text (UTF-8, LF line ends) in pieces: each line goes to the
// formatter. A last line without its line end is a line.
class TextBodyLines {
public:
    void Feed(std::string_view utf8, BodyFormatter& formatter, std::string& out);
    void Finish(BodyFormatter& formatter, std::string& out);

private:
    std::string pending_;
};

}  // namespace postloom::modern
