#include "core/html/modern/body_formatter.h"

#include "core/html/modern/page_text.h"
#include "core/html/modern/url_links.h"

namespace postloom::modern {

namespace {

constexpr std::string_view kIdeographicSpace = "\u3000";
constexpr std::string_view kFullWidthGreaterThan = "\uFF1E";
constexpr std::string_view kQuoteStart = "<span class=\"quote\">";
constexpr std::string_view kQuoteEnd = "</span>";

// Whether a line starting with head quotes; nullopt when that takes more
// of the line than head, unless head is the whole line.
std::optional<bool> QuoteMark(std::string_view head, bool whole)
{
    for (std::size_t at = 0; at <= kQuoteIndentLimit;) {
        const std::string_view rest = head.substr(at);
        if (rest.starts_with(' ') || rest.starts_with('\t')) {
            ++at;
        } else if (rest.starts_with(kIdeographicSpace)) {
            at += kIdeographicSpace.size();
        } else {
            if (rest.starts_with('>') || rest.starts_with('|') || rest.starts_with(kFullWidthGreaterThan))
                return true;
            if (!whole && (kIdeographicSpace.starts_with(rest) || kFullWidthGreaterThan.starts_with(rest)))
                return std::nullopt;
            return false;
        }
    }
    return false;
}

}  // namespace

bool IsQuotedLine(std::string_view line)
{
    return *QuoteMark(line, true);
}

BodyFormatter::BodyFormatter(AddressHiding hiding, std::size_t longestLinkedRun) : longest_(longestLinkedRun)
{
    // Addresses go before links are made: an address never becomes half a
    // link.
    if (hiding != AddressHiding::Shown)
        hider_.emplace(hiding, TextEncoding::Utf8);
}

void BodyFormatter::Feed(std::string_view utf8, std::string& out)
{
    if (!hider_) {
        FeedHidden(utf8, out);
        return;
    }
    hidden_.clear();
    hider_->Feed(utf8, hidden_);
    FeedHidden(hidden_, out);
}

void BodyFormatter::Finish(std::string& out)
{
    if (hider_) {
        hidden_.clear();
        hider_->Finish(hidden_);
        FeedHidden(hidden_, out);
    }
    if (lineOpen_)
        TakeLinePart({}, true, out);
    newlineDue_ = false;
}

void BodyFormatter::FeedHidden(std::string_view text, std::string& out)
{
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        TakeLinePart(text.substr(0, lf), lf != std::string_view::npos, out);
        if (lf == std::string_view::npos)
            return;
        text.remove_prefix(lf + 1);
    }
}

void BodyFormatter::TakeLinePart(std::string_view part, bool lineEnds, std::string& out)
{
    if (!lineOpen_) {
        // The line feed that joins the last line to this one.
        if (newlineDue_)
            out.push_back('\n');
        newlineDue_ = false;
        lineOpen_ = true;
    }
    if (quoted_) {
        WriteRuns(part, lineEnds, out);
    } else {
        std::string_view head = part;
        if (!pending_.empty()) {
            pending_.append(part);
            head = pending_;
        }
        quoted_ = QuoteMark(head, lineEnds);
        if (!quoted_) {
            // Blanks so far: held until the line shows what it is.
            if (pending_.empty())
                pending_.assign(part);
            return;
        }
        if (*quoted_)
            out.append(kQuoteStart);
        if (pending_.empty()) {
            WriteRuns(part, lineEnds, out);
        } else {
            const std::string held = std::move(pending_);
            pending_.clear();
            WriteRuns(held, lineEnds, out);
        }
    }
    if (!lineEnds)
        return;
    if (*quoted_)
        out.append(kQuoteEnd);
    quoted_.reset();
    pending_.clear();
    inLongRun_ = false;
    lineOpen_ = false;
    newlineDue_ = true;
}

void BodyFormatter::WriteRuns(std::string_view text, bool lineEnds, std::string& out)
{
    if (inLongRun_) {
        const std::size_t boundary = FirstLinkBoundary(text);
        AppendEscapedText(text.substr(0, boundary), out);
        if (boundary == std::string_view::npos)
            return;
        inLongRun_ = false;
        text.remove_prefix(boundary);
    }
    std::string_view all = text;
    if (!pending_.empty()) {
        pending_.append(text);
        all = pending_;
    }
    if (all.size() <= longest_) {
        // No run can be too long: the common case, a line written whole.
        if (lineEnds)
            AppendLinkedText(all, out);
        else if (pending_.empty())
            pending_.assign(all);
        if (lineEnds)
            pending_.clear();
        return;
    }
    // Run by run; consecutive short runs are linked together, which gives
    // what linking them one by one would.
    std::size_t spanStart = 0;
    std::size_t runStart = 0;
    for (std::size_t i = 1; i <= all.size(); ++i) {
        if (i < all.size() && !IsLinkBoundary(all[i]))
            continue;
        if (i == all.size() && !lineEnds)
            break;
        if (i - runStart > longest_) {
            AppendLinkedText(all.substr(spanStart, runStart - spanStart), out);
            AppendEscapedText(all.substr(runStart, i - runStart), out);
            spanStart = i;
        }
        runStart = i;
    }
    AppendLinkedText(all.substr(spanStart, runStart - spanStart), out);
    std::string_view rest = all.substr(runStart);
    if (rest.size() > longest_) {
        AppendEscapedText(rest, out);
        inLongRun_ = true;
        rest = {};
    }
    std::string kept(rest);
    pending_ = std::move(kept);
}

}  // namespace postloom::modern
