#include "core/html/mail_body.h"

#include "core/html/text_helpers.h"

namespace postloom {

namespace {

constexpr char kEndOfFileMark = 0x1A;
// The bytes that text mode or the escaping changes.
constexpr std::string_view kSpecial{"\r\n\x1a\"&<>", 7};

}  // namespace

void MailBodyEscaper::Take(char c, std::string& out)
{
    switch (place_) {
    case Place::Start:
        place_ = c == '\n' ? Place::Body : Place::Header;
        return;
    case Place::Header:
        if (c == '\n')
            place_ = Place::HeaderLineEnd;
        return;
    case Place::HeaderLineEnd:
        place_ = c == '\n' ? Place::Body : Place::Header;
        return;
    case Place::Body:
        if (c == '\n') {
            out += "<BR>\n";
            lineOpen_ = false;
        } else {
            // Escaping goes byte by byte, so a character cut between two
            // pieces comes out the same.
            AppendEscapedHtml(std::string_view(&c, 1), out);
            lineOpen_ = true;
        }
        return;
    }
}

void MailBodyEscaper::Feed(std::string_view raw, std::string& out)
{
    for (std::size_t i = 0; i < raw.size() && !ended_; ++i) {
        // The bulk of a body: runs of bytes that pass unchanged.
        if (place_ == Place::Body && !pendingCr_) {
            const std::size_t run = raw.find_first_of(kSpecial, i);
            const std::size_t end = run == std::string_view::npos ? raw.size() : run;
            if (end > i) {
                out.append(raw.substr(i, end - i));
                lineOpen_ = true;
                i = end;
                if (i == raw.size())
                    return;
            }
        }
        const char c = raw[i];
        if (pendingCr_) {
            pendingCr_ = false;
            if (c == '\n') {
                Take('\n', out);
                continue;
            }
            Take('\r', out);
        }
        if (c == kEndOfFileMark)
            ended_ = true;
        else if (c == '\r')
            pendingCr_ = true;
        else
            Take(c, out);
    }
}

void MailBodyEscaper::Finish(std::string& out)
{
    if (pendingCr_ && !ended_)
        Take('\r', out);
    pendingCr_ = false;
    if (lineOpen_)
        out += "<BR>\n";
    lineOpen_ = false;
}

}  // namespace postloom
