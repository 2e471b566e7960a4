#pragma once

// The bytes an imported mail is written with, made from its bytes in the
// source piece by piece, so that a mail of any size passes through a buffer
// of a fixed size: every line ends in CR LF (a LF alone becomes CR LF, a CR
// LF stays, a CR alone is kept, a last line without an end gets one, a CR at
// the very end counts as that end), and for a mail of an mbox one ">" of a
// quoted "From " line is taken away as its variant quotes them.

#include "core/import/mail_import.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace postloom {

class ImportedBytes {
public:
    // quoting: the variant of the mbox the mail comes from; nullopt for a
    // mail that had a file of its own.
    explicit ImportedBytes(std::optional<MboxVariant> quoting) : quoting_(quoting) {}

    // Appends to out what piece turns into. A few bytes of the start of a
    // line (a ">", "From" and a CR) may wait for the next piece.
    void Feed(std::string_view piece, std::string& out);
    // The end of the mail: appends what was waiting and the last line's end.
    void Finish(std::string& out);

    // The quoted "From " lines that lost a ">" so far.
    std::size_t UnquotedLines() const { return unquoted_; }

private:
    enum class State {
        LineStart,
        Quotes,  // after the first ">" of the line, which waits
        From,    // after the ">"s, matching "From "
        Text,    // the rest of the line
    };

    void TakeStart(char c, std::string& out);
    // The waiting ">" and the part of "From " matched, as they stand.
    void Release(std::string& out);

    std::optional<MboxVariant> quoting_;
    State state_ = State::LineStart;
    std::size_t matched_ = 0;  // bytes of "From " matched
    bool waitingCr_ = false;
    std::size_t unquoted_ = 0;
};

// The bytes of a whole mail as they are written. Empty stays empty.
std::string ImportedMailBytes(std::string_view raw, std::optional<MboxVariant> quoting);

}  // namespace postloom
