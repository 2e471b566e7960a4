#include "core/html/modern/body_lines.h"

#include "core/html/modern/page_text.h"

namespace postloom::modern {

namespace {

constexpr char kEndOfFileMark = 0x1A;

// Hands every complete line of pending + piece to take, keeping the
// unfinished rest in pending.
template <class Take>
void SplitLines(std::string_view piece, std::string& pending, const Take& take)
{
    while (!piece.empty()) {
        const std::size_t lf = piece.find('\n');
        if (lf == std::string_view::npos) {
            pending.append(piece);
            return;
        }
        if (pending.empty()) {
            take(piece.substr(0, lf));
        } else {
            pending.append(piece.substr(0, lf));
            take(std::string_view(pending));
            pending.clear();
        }
        piece.remove_prefix(lf + 1);
    }
}

}  // namespace

void ArchiveBodyLines::TakeLine(std::string_view line, BodyFormatter& formatter, std::string& out)
{
    // Text mode: the CR of a CR LF goes, a lone CR elsewhere stays.
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    if (!inBody_) {
        inBody_ = line.empty();
        return;
    }
    utf8_.clear();
    AppendUtf8OfCp932(line, utf8_);
    formatter.AppendLine(utf8_, out);
}

void ArchiveBodyLines::Feed(std::string_view raw, BodyFormatter& formatter, std::string& out)
{
    if (ended_)
        return;
    if (const std::size_t mark = raw.find(kEndOfFileMark); mark != std::string_view::npos) {
        raw = raw.substr(0, mark);
        ended_ = true;
    }
    SplitLines(raw, pending_, [&](std::string_view line) { TakeLine(line, formatter, out); });
}

void ArchiveBodyLines::Finish(BodyFormatter& formatter, std::string& out)
{
    // A CR at the very end is a lone one: it stays.
    if (!pending_.empty() && inBody_) {
        utf8_.clear();
        AppendUtf8OfCp932(pending_, utf8_);
        formatter.AppendLine(utf8_, out);
    }
    pending_.clear();
}

void TextBodyLines::Feed(std::string_view utf8, BodyFormatter& formatter, std::string& out)
{
    SplitLines(utf8, pending_, [&](std::string_view line) { formatter.AppendLine(line, out); });
}

void TextBodyLines::Finish(BodyFormatter& formatter, std::string& out)
{
    if (!pending_.empty())
        formatter.AppendLine(pending_, out);
    pending_.clear();
}

}  // namespace postloom::modern
