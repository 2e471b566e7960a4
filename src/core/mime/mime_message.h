#pragma once

// MIME mail as mail programs show it: encoded header words, transfer
// encodings, charsets, alternatives, HTML-only text and attachments. The one
// place that knows the MIME library; everything it returns is plain bytes.

#include "core/mime/text_decoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::mime {

// The text of a Subject or From header as it stands in the file: the value
// after the colon, continuation lines joined by "\n" with their leading
// blanks kept. Unfolded (the line breaks go, the folding blanks stay except
// between two encoded words), encoded words decoded (B and Q, RFC 2231
// continuations) and returned in CP932, a character CP932 cannot hold as
// "〓". Raw 8-bit bytes that are not valid UTF-8 are kept as they are. The
// result is one line: a line break that an encoded word holds becomes a
// blank.
std::string DecodeHeaderText(std::string_view folded);

// True when the header section (text-mode lines, LF separated, up to the
// first empty line) declares MIME: a MIME-Version, Content-Type or
// Content-Transfer-Encoding header. A mail without one is written as it is.
bool DeclaresMime(std::string_view headerSection);

// True when the page of a mail with this header section must be decoded:
// it declares MIME, and is not a single Shift-JIS text part without a
// transfer encoding (whose decoded text is the body as it stands in the
// file, so it is written as a mail without MIME is).
bool NeedsDecoding(std::string_view headerSection);

// One inline text of the body, in reading order.
struct TextBlock {
    // UTF-8 when utf8 is set, else CP932 bytes kept exactly as the mail holds
    // them (Shift-JIS under any label, or undeclared 8-bit text that is not
    // UTF-8). LF line ends; no CR.
    std::string text;
    bool utf8 = true;
};

// A part that is not shown inline.
struct Attachment {
    // The name the part gives (RFC 2231 or RFC 2047 decoded, in UTF-8; raw
    // bytes that are not UTF-8 are converted from CP932). Not yet safe as a
    // file name; empty when the part names none.
    std::string name;
    // "type/subtype" in lower case, parameters left out.
    std::string contentType;
    // Transfer-decoded bytes; for message/rfc822 the message as it stands.
    std::string data;
};

struct DecodedMail {
    // False when nothing could be decoded: the page shows the raw body, as
    // for a mail without MIME.
    bool decoded = false;
    std::vector<TextBlock> texts;
    std::vector<Attachment> attachments;
};

// A mail's MIME structure, parsed from the bytes of its file or from the
// file itself. The contents of its parts stay where they are and are
// decoded each time they are written, in pieces, so that with a file a mail
// of any size takes a fixed amount of memory. Held whole are only an HTML
// text that is laid out, the body of a multipart whose boundary never comes
// (the library keeps it as the prologue) and the header lines of inner
// parts. What a part becomes, and the texts and
// attachments it gives, are what DecodeMail returns. A header line longer
// than 64 KB or a header section over 1 MB is not held: the parser is given
// only the section's Content- and MIME-Version fields, each line cut there
// (the page shows the header values of the mail's record, never these).
// Used by one thread at a time.
class MimeMail {
public:
    struct AttachmentInfo {
        std::string name;         // as Attachment::name
        std::string contentType;  // as Attachment::contentType
    };

    // The mail in bytes, header section included; nullptr when nothing of
    // it can be decoded, and, with onlyWhenNeeded, when its page needs no
    // decoding (see NeedsDecoding).
    static std::unique_ptr<MimeMail> FromBytes(std::string_view fileBytes, bool onlyWhenNeeded);
    // The same for a file open for reading at fd, which is not taken over
    // (the mail keeps a descriptor of its own). The file is read once
    // through to learn the structure.
    static std::unique_ptr<MimeMail> FromFile(int fd, bool onlyWhenNeeded);

    ~MimeMail();
    MimeMail(const MimeMail&) = delete;
    MimeMail& operator=(const MimeMail&) = delete;

    std::size_t textCount() const;
    // True: text i is UTF-8; false: CP932 bytes as the mail holds them.
    bool textIsUtf8(std::size_t i) const;
    // Hands text i to out in pieces that end between two characters, with
    // LF line ends. False when the file could not be read.
    bool WriteText(std::size_t i, const TextSink& out) const;

    const std::vector<AttachmentInfo>& attachments() const;
    // Hands the bytes of attachment i to out in pieces. False when the
    // file could not be read.
    bool WriteAttachment(std::size_t i, const TextSink& out) const;

    // The parse, known to the source file only.
    struct Parsed;

private:
    explicit MimeMail(std::unique_ptr<Parsed> parsed);

    std::unique_ptr<Parsed> parsed_;
};

// Decodes a whole mail file (its bytes as read, header section included).
// Never throws on damaged input: what the library recovers is returned, and
// a multipart whose boundary never comes gives its body as text. A mail
// without MIME headers gives one text, its body read as undeclared text.
// Multiparts nested more than 32 deep are not opened: each is kept whole,
// with its header, as one attachment of its own type. Safe to call from
// several threads at once.
DecodedMail DecodeMail(std::string_view fileBytes);

}  // namespace postloom::mime
