#include "core/html/modern/body_lines.h"

#include "core/html/modern/page_text.h"
#include "core/text/cp932.h"

namespace postloom::modern {

namespace {

constexpr char kEndOfFileMark = 0x1A;
constexpr unsigned char kFirstTrailByte = 0x40;

// True when the two bytes make one CP932 character (else the lead byte
// reads as U+FFFD and the next byte on its own).
bool IsCharacterPair(char lead, char trail)
{
    const char pair[] = {lead, trail};
    std::string utf8;
    AppendUtf8OfCp932(std::string_view(pair, 2), utf8);
    return utf8 != "\uFFFD" && !utf8.starts_with("\uFFFD");
}

// The length of text that ends between two characters, text starting
// between two: all of it, or all but a lead byte that ends it.
std::size_t WholeCharacters(std::string_view text)
{
    // No byte below 0x40 is ever a trail byte: a character starts after it.
    std::size_t at = 0;
    for (std::size_t i = text.size(); i > 0; --i) {
        if (static_cast<unsigned char>(text[i - 1]) < kFirstTrailByte) {
            at = i;
            break;
        }
    }
    while (at < text.size()) {
        if (!text::IsLeadByte(static_cast<unsigned char>(text[at]))) {
            ++at;
        } else if (at + 1 == text.size()) {
            return at;
        } else {
            at += IsCharacterPair(text[at], text[at + 1]) ? 2 : 1;
        }
    }
    return text.size();
}

}  // namespace

std::string_view ArchiveBodyLines::SkipHeader(std::string_view raw)
{
    while (!inBody_ && !raw.empty()) {
        const std::size_t lf = raw.find('\n');
        const std::string_view part = raw.substr(0, lf);
        if (headerLineLength_ == 0 && !part.empty())
            headerLineFirst_ = part.front();
        headerLineLength_ += part.size();
        if (lf == std::string_view::npos)
            return {};
        // Text mode: the CR of a CR LF goes.
        inBody_ = headerLineLength_ == 0 || (headerLineLength_ == 1 && headerLineFirst_ == '\r');
        headerLineLength_ = 0;
        raw.remove_prefix(lf + 1);
    }
    return raw;
}

void ArchiveBodyLines::Feed(std::string_view raw, BodyFormatter& formatter, std::string& out)
{
    if (ended_)
        return;
    if (const std::size_t mark = raw.find(kEndOfFileMark); mark != std::string_view::npos) {
        raw = raw.substr(0, mark);
        ended_ = true;
    }
    raw = SkipHeader(raw);
    if (raw.empty())
        return;
    if (held_.empty()) {
        FeedBody(raw, formatter, out);
        return;
    }
    joined_ = held_;
    joined_.append(raw);
    held_.clear();
    FeedBody(joined_, formatter, out);
}

void ArchiveBodyLines::FeedBody(std::string_view text, BodyFormatter& formatter, std::string& out)
{
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
        std::string_view line = text.substr(0, lf);
        // Text mode: the CR of a CR LF goes, a lone CR elsewhere stays.
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        Convert(line, true, formatter, out);
        text.remove_prefix(lf + 1);
    }
    // The rest of a line: a CR that ends it may start a CR LF, a lead byte
    // may start a character.
    std::size_t whole = text.ends_with('\r') ? text.size() - 1 : WholeCharacters(text);
    held_.assign(text.substr(whole));
    Convert(text.substr(0, whole), false, formatter, out);
}

void ArchiveBodyLines::Convert(std::string_view cp932, bool lineEnds, BodyFormatter& formatter, std::string& out)
{
    utf8_.clear();
    AppendUtf8OfCp932(cp932, utf8_);
    if (lineEnds)
        utf8_.push_back('\n');
    if (!utf8_.empty())
        formatter.Feed(utf8_, out);
}

void ArchiveBodyLines::Finish(BodyFormatter& formatter, std::string& out)
{
    // A CR at the very end is a lone one: it stays.
    Convert(held_, false, formatter, out);
    held_.clear();
    formatter.Finish(out);
}

}  // namespace postloom::modern
