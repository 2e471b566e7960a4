#include "core/html/mail_body.h"

#include "core/html/text_helpers.h"

#include <array>

namespace postloom {

namespace {

constexpr char kEndOfFileMark = 0x1A;

using ByteSet = std::array<bool, 256>;

constexpr ByteSet MakeSet(std::string_view bytes)
{
    ByteSet set{};
    for (const char c : bytes)
        set[static_cast<unsigned char>(c)] = true;
    return set;
}

// The bytes that text mode or the escaping changes in the body, and the
// bytes that can end a header line or the text.
constexpr ByteSet kBodySpecial = MakeSet({"\r\n\x1a\"&<>", 7});
constexpr ByteSet kHeaderSpecial = MakeSet({"\r\n\x1a", 3});

// The first byte at or after from that set holds; raw.size() when none.
// A table lookup per byte: find_first_of searches the set for every byte.
std::size_t FindIn(std::string_view raw, std::size_t from, const ByteSet& set)
{
    while (from < raw.size() && !set[static_cast<unsigned char>(raw[from])])
        ++from;
    return from;
}

// Escapes text and ends every line with "<BR>\n".
void AppendBodyLines(std::string_view text, std::string& out)
{
    static constexpr ByteSet kLineSpecial = MakeSet("\n\"&<>");
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = FindIn(text, i, kLineSpecial);
        out.append(text.substr(i, end - i));
        if (end == text.size())
            return;
        if (text[end] == '\n')
            out += "<BR>\n";
        else
            AppendEscapedHtml(text.substr(end, 1), out);
        i = end + 1;
    }
}

}  // namespace

MailBodyEscaper::MailBodyEscaper(AddressHiding hiding)
{
    if (hiding != AddressHiding::Shown)
        hider_.emplace(hiding, TextEncoding::Cp932);
}

void MailBodyEscaper::EmitHidden(std::string_view text, std::string& out)
{
    hidden_.clear();
    hider_->Feed(text, hidden_);
    AppendBodyLines(hidden_, out);
}

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
        if (hider_) {
            EmitHidden(std::string_view(&c, 1), out);
            lineOpen_ = c != '\n';
        } else if (c == '\n') {
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
            const std::size_t end = FindIn(raw, i, kBodySpecial);
            if (end > i) {
                if (hider_)
                    EmitHidden(raw.substr(i, end - i), out);
                else
                    out.append(raw.substr(i, end - i));
                lineOpen_ = true;
                i = end;
                if (i == raw.size())
                    return;
            }
        } else if (place_ != Place::Body && !pendingCr_) {
            // Header text is skipped: any run of bytes that ends no line
            // leaves the reader inside a header line.
            const std::size_t end = FindIn(raw, i, kHeaderSpecial);
            if (end > i) {
                place_ = Place::Header;
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
    if (hider_) {
        hidden_.clear();
        hider_->Finish(hidden_);
        AppendBodyLines(hidden_, out);
    }
    if (lineOpen_)
        out += "<BR>\n";
    lineOpen_ = false;
}

}  // namespace postloom
