#include "core/search/search_index_writer.h"

#include "core/platform/file_system.h"
#include "core/search/embedded_file.h"
#include "core/platform/output_file.h"
#include "core/search/script_encoding.h"
#include "core/search/search_segment.h"
#include "core/search/search_state.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace postloom::search {

namespace {

std::string Join(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    path += '/';
    path += name;
    return path;
}

std::string SegmentName(std::uint32_t id) { return "s" + std::to_string(id); }

// The id of a segment folder's name ("s12"), nullopt for other names.
std::optional<std::uint32_t> SegmentIdOf(std::string_view name)
{
    if (name.size() < 2 || name.front() != 's') {
        return std::nullopt;
    }
    std::uint32_t id = 0;
    const auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), id);
    if (error != std::errc() || end != name.data() + name.size() || SegmentName(id) != name) {
        return std::nullopt;
    }
    return id;
}

// The state, when the files it describes are there.
std::optional<SearchState> UsableState(std::string_view folder)
{
    std::optional<SearchState> state = ReadSearchState(Join(folder, kStateName));
    if (!state || !platform::IsRegularFile(Join(folder, kManifestName))) {
        return std::nullopt;
    }
    for (const StateSegment& segment : state->segments) {
        if (!platform::IsDirectory(Join(folder, SegmentName(segment.id)))) {
            return std::nullopt;
        }
    }
    return state;
}

// Above the state's next id and every segment folder there, so a new
// segment never takes the name of files a page may still be reading.
std::uint32_t FreeId(std::string_view folder, const std::optional<SearchState>& state)
{
    std::uint32_t next = state ? state->nextId : 1;
    if (const auto entries = platform::ListDirectory(folder)) {
        for (const platform::DirectoryEntry& entry : *entries) {
            if (const auto id = SegmentIdOf(entry.name)) {
                next = std::max(next, *id + 1);
            }
        }
    }
    return next;
}

struct Change {
    std::vector<std::size_t> kept;   // entries the state holds as they are
    std::vector<std::size_t> added;  // entries to write
    std::size_t gone = 0;
};

// Sorts out the entries against the state, and marks in it the mails that
// have no entry any more (or a changed one) as gone.
Change Compare(const std::vector<std::size_t>& unique, const std::vector<SearchEntry>& entries, SearchState& state)
{
    Change change;
    std::unordered_map<std::string_view, std::size_t> byKey;
    for (std::size_t i = 0; i < state.mails.size(); ++i) {
        byKey.emplace(state.mails[i].key, i);
    }
    std::vector<bool> stays(state.mails.size(), false);
    for (const std::size_t i : unique) {
        const auto found = byKey.find(entries[i].key);
        if (found != byKey.end() && state.mails[found->second].fingerprint == entries[i].fingerprint) {
            stays[found->second] = true;
            change.kept.push_back(i);
        } else {
            change.added.push_back(i);
        }
    }
    std::vector<StateMail> staying;
    for (std::size_t i = 0; i < state.mails.size(); ++i) {
        if (stays[i]) {
            staying.push_back(std::move(state.mails[i]));
            continue;
        }
        for (StateSegment& segment : state.segments) {
            if (segment.id == state.mails[i].segment) {
                segment.gone.insert(std::upper_bound(segment.gone.begin(), segment.gone.end(), state.mails[i].number),
                                    state.mails[i].number);
            }
        }
        ++change.gone;
    }
    state.mails = std::move(staying);
    return change;
}

bool PastLimits(const SearchState& state, const Change& change, const SearchIndexLimits& limits)
{
    const std::size_t live = change.kept.size() + change.added.size();
    const std::size_t segments = state.segments.size() + (change.added.empty() ? 0 : 1);
    std::size_t outside = change.added.size();
    std::size_t stored = change.added.size();
    std::size_t gone = 0;
    for (std::size_t i = 0; i < state.segments.size(); ++i) {
        const StateSegment& segment = state.segments[i];
        stored += segment.mails;
        gone += segment.gone.size();
        if (i > 0) {
            outside += segment.mails - segment.gone.size();
        }
    }
    return segments > limits.maxSegments || static_cast<double>(outside) > limits.maxShare * static_cast<double>(live) ||
           static_cast<double>(gone) > limits.maxShare * static_cast<double>(stored);
}

// Writes the mails of indexes (newest first) as segment id; the new mails
// go into the state.
WrittenSegment WriteSegment(std::string_view folder, std::uint32_t id, std::vector<std::size_t> indexes,
                            const std::vector<SearchEntry>& entries, const SearchMailSource& source,
                            SearchState& state)
{
    std::sort(indexes.begin(), indexes.end(), [&](std::size_t a, std::size_t b) {
        if (entries[a].sortKey != entries[b].sortKey) {
            return entries[a].sortKey > entries[b].sortKey;
        }
        return entries[a].key < entries[b].key;
    });
    const std::string path = Join(folder, SegmentName(id));
    if (const int error = platform::MakeOwnFolder(path); error != 0) {
        WrittenSegment failed;
        failed.problems.push_back({path, std::strerror(error)});
        return failed;
    }
    SegmentWriter writer(path, SegmentName(id));
    for (std::uint32_t number = 0; number < indexes.size(); ++number) {
        const SearchEntry& entry = entries[indexes[number]];
        writer.Add(source(indexes[number]), entry.sortKey);
        state.mails.push_back({entry.key, entry.fingerprint, id, number});
    }
    WrittenSegment written = writer.Finish();
    state.segments.push_back({id, written.mails, written.shards, {}});
    state.nextId = id + 1;
    return written;
}

// Puts bytes at path whole; the bytes written count in the run.
bool PutFile(const std::string& path, std::string_view bytes, SearchIndexRun& run)
{
    platform::OutputFile file(path, platform::OutputFile::Mode::Binary);
    file.Write(bytes);
    switch (file.Commit()) {
    case platform::OutputFile::Outcome::Failed:
        run.problems.push_back({path, file.Error()});
        return false;
    case platform::OutputFile::Outcome::Written:
        run.bytesWritten += bytes.size();
        break;
    case platform::OutputFile::Outcome::Unchanged:
        break;
    }
    return true;
}

std::string Manifest(const SearchState& state)
{
    std::string out = "PostloomSearch.manifest({\"format\":1,\"mailBlock\":" + std::to_string(kMailsPerBlock) +
                      ",\"textBlock\":" + std::to_string(kTextsPerBlock) + ",\"segments\":[";
    for (std::size_t i = 0; i < state.segments.size(); ++i) {
        const StateSegment& segment = state.segments[i];
        out += i == 0 ? "{" : ",{";
        out += "\"id\":\"" + SegmentName(segment.id) + "\",\"mails\":" + std::to_string(segment.mails) +
               ",\"shards\":" + std::to_string(segment.shards) + ",\"gone\":\"" + Base64(DeltaCode(segment.gone)) +
               "\"}";
    }
    out += "]});\n";
    return out;
}

// Removes the folders of segments the manifest no longer names, with the
// files the program wrote in them.
void RemoveOldSegments(std::string_view folder, const SearchState& state)
{
    const auto entries = platform::ListDirectory(folder);
    if (!entries) {
        return;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        const auto id = SegmentIdOf(entry.name);
        if (!id || entry.type != platform::EntryType::Directory ||
            std::any_of(state.segments.begin(), state.segments.end(),
                        [&](const StateSegment& s) { return s.id == *id; })) {
            continue;
        }
        const std::string path = Join(folder, entry.name);
        // A symbolic link named like a segment is left alone, and so is
        // whatever it points to.
        if (platform::MakeOwnFolder(path) != 0) {
            continue;
        }
        if (const auto files = platform::ListDirectory(path)) {
            for (const platform::DirectoryEntry& file : *files) {
                if (file.type == platform::EntryType::RegularFile) {
                    platform::RemoveFile(Join(path, file.name));
                }
            }
        }
        platform::RemoveFile(path);
    }
}

// Removes the file at path when it is there; a problem when it stays.
void RemoveIfThere(const std::string& path, std::vector<platform::FileProblem>& problems)
{
    if (platform::IsRegularFile(path) && !platform::RemoveFile(path)) {
        problems.push_back({path, std::strerror(errno)});
    }
}

}  // namespace

SearchIndexRun WriteSearchIndex(std::string_view cp932Folder, const std::vector<SearchEntry>& entries,
                                const SearchMailSource& source, const SearchIndexLimits& limits)
{
    SearchIndexRun run;
    if (const int error = platform::MakeOwnFolder(cp932Folder); error != 0) {
        run.problems.push_back({std::string(cp932Folder), std::strerror(error)});
        return run;
    }

    std::vector<std::size_t> unique;
    std::unordered_set<std::string_view> keys;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (keys.insert(entries[i].key).second) {
            unique.push_back(i);
        }
    }

    std::optional<SearchState> old = UsableState(cp932Folder);
    const std::uint32_t id = FreeId(cp932Folder, old);
    const bool hadState = old.has_value();
    SearchState state = hadState ? std::move(*old) : SearchState{};
    Change change = Compare(unique, entries, state);
    run.rebuilt = !hadState || PastLimits(state, change, limits);
    run.mailsGone = hadState ? change.gone : 0;
    if (run.rebuilt) {
        state = SearchState{};
        change.added = unique;
    }
    state.nextId = std::max(state.nextId, id);

    if (!change.added.empty()) {
        WrittenSegment written = WriteSegment(cp932Folder, id, change.added, entries, source, state);
        run.mailsWritten = written.mails;
        run.bytesWritten += written.bytes;
        if (!written.problems.empty()) {
            // The old manifest stays: it names only complete segments.
            run.problems = std::move(written.problems);
            return run;
        }
    }

    if (auto problem = WriteSearchState(Join(cp932Folder, kStateName), state)) {
        run.problems.push_back(std::move(*problem));
        return run;
    }
    for (const EmbeddedFile& script : SearchScripts()) {
        if (!PutFile(Join(cp932Folder, script.name), script.bytes, run)) {
            return run;
        }
    }
    if (!PutFile(Join(cp932Folder, kManifestName), Manifest(state), run)) {
        return run;
    }
    RemoveOldSegments(cp932Folder, state);
    return run;
}

std::vector<platform::FileProblem> RemoveSearchIndex(std::string_view cp932Folder)
{
    std::vector<platform::FileProblem> problems;
    // A folder reached through a symbolic link is not the one written here.
    if (!platform::IsRegularFile(Join(cp932Folder, kStateName)) || platform::MakeOwnFolder(cp932Folder) != 0) {
        return problems;
    }
    RemoveIfThere(Join(cp932Folder, kManifestName), problems);
    if (!problems.empty()) {
        return problems;
    }
    RemoveOldSegments(cp932Folder, SearchState{});
    for (const EmbeddedFile& script : SearchScripts()) {
        RemoveIfThere(Join(cp932Folder, script.name), problems);
    }
    RemoveIfThere(Join(cp932Folder, kStateName), problems);
    return problems;
}

}  // namespace postloom::search
