#pragma once

// What the search folder holds, kept beside it for the next run (no page
// reads it): the segments with their removed mails, and for each mail its
// key, its fingerprint and where it is. A run compares the mails that now
// have pages with it to write only what changed.

#include "core/platform/file_problem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::search {

struct StateSegment {
    std::uint32_t id = 0;
    std::uint32_t mails = 0;
    std::uint32_t shards = 0;
    std::vector<std::uint32_t> gone;  // ascending numbers of removed mails
};

struct StateMail {
    std::string key;
    std::string fingerprint;
    std::uint32_t segment = 0;  // an id of a StateSegment
    std::uint32_t number = 0;
};

struct SearchState {
    std::uint32_t nextId = 1;
    std::vector<StateSegment> segments;  // the base first
    std::vector<StateMail> mails;        // the mails that are not gone
};

// nullopt when the file is missing or not exactly what WriteSearchState
// writes (a damaged state makes the next run build the index anew).
std::optional<SearchState> ReadSearchState(std::string_view cp932Path);
// nullopt on success, else what failed.
std::optional<platform::FileProblem> WriteSearchState(std::string_view cp932Path, const SearchState& state);

}  // namespace postloom::search
