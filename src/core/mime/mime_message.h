#pragma once

// MIME mail as mail programs show it: encoded header words, transfer
// encodings, charsets, alternatives, HTML-only text and attachments. The one
// place that knows the MIME library; everything it returns is plain bytes.

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

// Decodes a whole mail file (its bytes as read, header section included).
// Never throws on damaged input: what the library recovers is returned, and
// a multipart whose boundary never comes gives its body as text. A mail
// without MIME headers gives one text, its body read as undeclared text.
// Multiparts nested more than 32 deep are not opened: each is kept whole,
// with its header, as one attachment of its own type. Safe to call from
// several threads at once.
DecodedMail DecodeMail(std::string_view fileBytes);

}  // namespace postloom::mime
