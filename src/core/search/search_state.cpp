#include "core/search/search_state.h"

#include "core/platform/files.h"
#include "core/platform/output_file.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace postloom::search {

namespace {

constexpr std::string_view kHeader = "postloom-search-state 1\n";

// A cursor over the file: fields are separated by single spaces, records
// end in LF, keys and fingerprints are counted bytes (any bytes at all).
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    bool AtEnd() const { return rest_.empty(); }

    bool Word(std::string_view& word)
    {
        const std::size_t end = rest_.find_first_of(" \n");
        if (end == std::string_view::npos || end == 0) {
            return false;
        }
        word = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return true;
    }

    bool Number(std::uint32_t& n)
    {
        std::string_view word;
        if (!Word(word)) {
            return false;
        }
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), n);
        return error == std::errc() && end == word.data() + word.size();
    }

    bool Bytes(std::size_t count, std::string& out)
    {
        if (rest_.size() < count) {
            return false;
        }
        out.assign(rest_.substr(0, count));
        rest_.remove_prefix(count);
        return true;
    }

    bool Char(char c)
    {
        if (rest_.empty() || rest_.front() != c) {
            return false;
        }
        rest_.remove_prefix(1);
        return true;
    }

private:
    std::string_view rest_;
};

bool ReadRecord(Reader& in, SearchState& state)
{
    std::string_view kind;
    if (!in.Word(kind) || !in.Char(' ')) {
        return false;
    }
    if (kind == "next") {
        return in.Number(state.nextId) && in.Char('\n');
    }
    if (kind == "segment") {
        StateSegment segment;
        if (!in.Number(segment.id) || !in.Char(' ') || !in.Number(segment.mails) || !in.Char(' ') ||
            !in.Number(segment.shards)) {
            return false;
        }
        while (in.Char(' ')) {
            std::uint32_t number = 0;
            if (!in.Number(number)) {
                return false;
            }
            segment.gone.push_back(number);
        }
        state.segments.push_back(std::move(segment));
        return in.Char('\n');
    }
    if (kind == "mail") {
        StateMail mail;
        std::uint32_t fingerprintSize = 0;
        std::uint32_t keySize = 0;
        if (!in.Number(mail.segment) || !in.Char(' ') || !in.Number(mail.number) || !in.Char(' ') ||
            !in.Number(fingerprintSize) || !in.Char(' ') || !in.Number(keySize) || !in.Char('\n') ||
            !in.Bytes(fingerprintSize, mail.fingerprint) || !in.Bytes(keySize, mail.key) || !in.Char('\n')) {
            return false;
        }
        state.mails.push_back(std::move(mail));
        return true;
    }
    return false;
}

// Every mail in a segment of the state, within its numbers, not gone, no
// two mails with one key or one place, and no number unaccounted for.
bool Consistent(const SearchState& state)
{
    std::set<std::uint32_t> ids;
    for (const StateSegment& segment : state.segments) {
        if (segment.id >= state.nextId || !ids.insert(segment.id).second ||
            !std::is_sorted(segment.gone.begin(), segment.gone.end()) ||
            std::adjacent_find(segment.gone.begin(), segment.gone.end()) != segment.gone.end() ||
            (!segment.gone.empty() && segment.gone.back() >= segment.mails) || segment.shards == 0) {
            return false;
        }
    }
    // Which numbers of each segment a mail holds. A segment can hold no
    // more numbers than there are mails and gone ones, which bounds what a
    // damaged state makes this allocate.
    std::vector<std::vector<bool>> held;
    held.reserve(state.segments.size());
    for (const StateSegment& segment : state.segments) {
        if (segment.mails > state.mails.size() + segment.gone.size()) {
            return false;
        }
        held.emplace_back(segment.mails, false);
    }
    std::vector<std::string_view> keys;
    keys.reserve(state.mails.size());
    for (const StateMail& mail : state.mails) {
        const auto segment = std::find_if(state.segments.begin(), state.segments.end(),
                                          [&](const StateSegment& s) { return s.id == mail.segment; });
        if (segment == state.segments.end() || mail.number >= segment->mails ||
            std::binary_search(segment->gone.begin(), segment->gone.end(), mail.number)) {
            return false;
        }
        auto place = held[static_cast<std::size_t>(segment - state.segments.begin())][mail.number];
        if (place) {
            return false;
        }
        place = true;
        keys.push_back(mail.key);
    }
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) != keys.end()) {
        return false;
    }
    // Every number of every segment is a mail or gone: a mail missing here
    // would stay in the results and be written again.
    for (std::size_t i = 0; i < state.segments.size(); ++i) {
        const auto count = static_cast<std::size_t>(std::count(held[i].begin(), held[i].end(), true));
        if (count + state.segments[i].gone.size() != state.segments[i].mails) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<SearchState> ReadSearchState(std::string_view cp932Path)
{
    const std::optional<std::string> bytes = platform::ReadWholeFile(cp932Path);
    if (!bytes || !std::string_view(*bytes).starts_with(kHeader)) {
        return std::nullopt;
    }
    Reader in(std::string_view(*bytes).substr(kHeader.size()));
    SearchState state;
    while (!in.AtEnd()) {
        if (!ReadRecord(in, state)) {
            return std::nullopt;
        }
    }
    if (!Consistent(state)) {
        return std::nullopt;
    }
    return state;
}

std::optional<platform::FileProblem> WriteSearchState(std::string_view cp932Path, const SearchState& state)
{
    std::string out(kHeader);
    out += "next " + std::to_string(state.nextId) + "\n";
    for (const StateSegment& segment : state.segments) {
        out += "segment " + std::to_string(segment.id) + " " + std::to_string(segment.mails) + " " +
               std::to_string(segment.shards);
        for (const std::uint32_t number : segment.gone) {
            out += " " + std::to_string(number);
        }
        out += '\n';
    }
    for (const StateMail& mail : state.mails) {
        out += "mail " + std::to_string(mail.segment) + " " + std::to_string(mail.number) + " " +
               std::to_string(mail.fingerprint.size()) + " " + std::to_string(mail.key.size()) + "\n";
        out += mail.fingerprint;
        out += mail.key;
        out += '\n';
    }
    platform::OutputFile file(cp932Path, platform::OutputFile::Mode::Binary);
    file.WriteMoved(std::move(out));
    if (file.Commit() == platform::OutputFile::Outcome::Failed) {
        return platform::FileProblem{std::string(cp932Path), file.Error()};
    }
    return std::nullopt;
}

}  // namespace postloom::search
