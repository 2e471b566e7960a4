#include "core/import/imported_bytes.h"

namespace postloom {

namespace {

constexpr std::string_view kFrom = "From ";

}  // namespace

void ImportedBytes::Release(std::string& out)
{
    if (state_ == State::Quotes || state_ == State::From)
        out.append(1, '>').append(kFrom.substr(0, matched_));
    state_ = State::Text;
    matched_ = 0;
}

void ImportedBytes::TakeStart(char c, std::string& out)
{
    switch (state_) {
    case State::LineStart:
        if (quoting_ && c == '>') {
            state_ = State::Quotes;
            return;
        }
        break;
    case State::Quotes:
        // Every ">" is the same byte, so the one that waits may stand for
        // the first of the run while the others go out.
        if (c == '>' && quoting_ == MboxVariant::Mboxrd) {
            out.push_back('>');
            return;
        }
        if (c == kFrom.front()) {
            state_ = State::From;
            matched_ = 1;
            return;
        }
        break;
    case State::From:
        if (c == kFrom[matched_]) {
            if (++matched_ == kFrom.size()) {
                ++unquoted_;
                out.append(kFrom);
                state_ = State::Text;
                matched_ = 0;
            }
            return;
        }
        break;
    case State::Text:
        break;
    }
    Release(out);
    out.push_back(c);
}

void ImportedBytes::Feed(std::string_view piece, std::string& out)
{
    std::size_t at = 0;
    while (at < piece.size()) {
        const char c = piece[at];
        if (waitingCr_) {
            waitingCr_ = false;
            if (c == '\n') {
                out.append("\r\n");
                state_ = State::LineStart;
                ++at;
                continue;
            }
            out.push_back('\r');
        }
        if (c == '\n' || c == '\r') {
            Release(out);
            if (c == '\r') {
                waitingCr_ = true;
            } else {
                out.append("\r\n");
                state_ = State::LineStart;
            }
            ++at;
            continue;
        }
        if (state_ != State::Text) {
            TakeStart(c, out);
            ++at;
            continue;
        }
        std::size_t end = piece.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = piece.size();
        out.append(piece.substr(at, end - at));
        at = end;
    }
}

void ImportedBytes::Finish(std::string& out)
{
    if (waitingCr_) {
        waitingCr_ = false;
        out.append("\r\n");
    } else if (state_ != State::LineStart) {
        Release(out);
        out.append("\r\n");
    }
    state_ = State::LineStart;
}

std::string ImportedMailBytes(std::string_view raw, std::optional<MboxVariant> quoting)
{
    std::string out;
    out.reserve(raw.size() + raw.size() / 16 + 2);
    ImportedBytes bytes(quoting);
    bytes.Feed(raw, out);
    bytes.Finish(out);
    return out;
}

}  // namespace postloom
