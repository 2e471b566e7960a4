#pragma once

// The mails of an mbox file, split where the MIME library's mbox parser
// finds the "From " lines that start them. The file is read as it is when
// it is opened, so a mailbox that grows meanwhile is read up to that size.
//
// Every line that starts with "From " starts a mail, as both mboxo and
// mboxrd have it; a Content-Length header is not trusted over those lines.
// A "From " line at the start of the file or after an empty line always
// starts one, even when no header follows it (the mail then stands as it
// is). Elsewhere, a "From " line that is followed by no header (what the
// library refuses as the start of a message) is body text of the mail before
// it, written by a program that did not quote it. The ">From " quoting is
// left in place: how to undo it depends on the variant, which the file does
// not tell.
//
// A mail is handed out as its place in the file, not as its bytes, so that
// a mail of any size is read in pieces of a size the reader chooses.

#include "core/platform/files.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace postloom::mime {

struct MboxMail {
    // Where the mail's "From " line starts in the file.
    std::uint64_t offset = 0;
    // The mail's bytes are [begin, end) of the file: what lies between its
    // "From " line and the next one, without the empty line that closes
    // each mail of an mbox (a mail that is one empty line keeps it, as its
    // empty header's end): the header section and the body as the mailbox
    // holds them, line ends unchanged.
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    // The file ends inside the mail: in its header section, or before the
    // closing boundary of a multipart. Only the last mail can be cut.
    bool cut = false;
};

class MboxReader {
public:
    // Opens the file; see Ok and Error.
    explicit MboxReader(std::string_view cp932Path);
    ~MboxReader();
    MboxReader(const MboxReader&) = delete;
    MboxReader& operator=(const MboxReader&) = delete;

    // False when the file cannot be opened or read, or is no file at all.
    bool Ok() const { return error_ == platform::FileError{}; }
    const platform::FileError& Error() const { return error_; }

    // The next mail in the order of the file; nullopt after the last one, or
    // when reading failed (Ok turns false).
    std::optional<MboxMail> Next();

    // Reads [begin, end) of the file into out; false when that fails (Ok
    // turns false).
    bool ReadRange(std::uint64_t begin, std::uint64_t end, std::string& out);

    // The size of the file as opened.
    std::uint64_t Size() const { return size_; }
    // Where the first mail's "From " line starts: the bytes before it belong
    // to no mail. Size() when no mail was found; known once Next() was called.
    std::uint64_t FirstMailOffset() const { return firstMail_; }

private:
    struct Parser;
    struct Step;

    Step Advance();
    void Restart(std::uint64_t offset);
    // The offset of the line after the one at offset (the file's size when
    // that line has no end).
    bool LineAfter(std::uint64_t offset, std::uint64_t& next);
    // Whether the line before offset is empty, or offset starts the file.
    bool AfterEmptyLine(std::uint64_t offset, bool& empty);
    // The end of a mail whose bytes run up to end, without its closing
    // empty line.
    bool WithoutClosingEmptyLine(std::uint64_t begin, std::uint64_t& end);

    platform::FileHandle file_;
    platform::FileError error_;
    std::uint64_t size_ = 0;
    std::uint64_t firstMail_ = 0;
    std::unique_ptr<Parser> parser_;

    // The mail found last, whose end is not known yet.
    struct Pending {
        std::uint64_t offset = 0;
        std::uint64_t contentBegin = 0;
        bool cut = false;
    };
    std::optional<Pending> pending_;
    bool started_ = false;
};

}  // namespace postloom::mime
