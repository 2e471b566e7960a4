#pragma once

// Writes the search index of the mails that have pages into a folder of
// classic scripts that a page opened from file:// can load:
//   manifest.js       PostloomSearch.manifest({format, mailBlock, textBlock,
//                     segments: [{id, mails, shards, gone}]}), gone being the
//                     removed mails' numbers, base64(DeltaCode)
//   s<id>/            one segment each (search_segment.h)
//   .postloom-search  the state for the next run (search_state.h)
//   search_*.js       the browser's code that reads them (embedded_file.h)
// A run whose mails are mostly indexed already writes a segment of the new
// and changed mails only and lists the removed ones as gone; when the
// segments grow past the limits, all mails are written anew into one base.
// The manifest is written last (after the state), as a whole file put in
// place, so a page never sees a manifest naming files not yet there; the
// folders of segments it no longer names are removed after it.

#include "core/platform/file_problem.h"
#include "core/search/search_mail.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace postloom::search {

inline constexpr std::string_view kManifestName = "manifest.js";
inline constexpr std::string_view kStateName = ".postloom-search";

struct SearchIndexLimits {
    std::size_t maxSegments = 8;
    // More mails than this share of all outside the base, or more removed
    // ones still stored, make the run merge.
    double maxShare = 0.10;
};

struct SearchIndexRun {
    bool rebuilt = false;         // all mails written into a new base
    std::size_t mailsWritten = 0;
    std::size_t mailsGone = 0;    // removed from the results by this run
    std::uint64_t bytesWritten = 0;
    std::vector<platform::FileProblem> problems;
    bool Ok() const { return problems.empty(); }
};

// entries: every mail that has a page, each key once (a repeated key counts
// at its first place). source reads the mails this run writes.
SearchIndexRun WriteSearchIndex(std::string_view cp932Folder, const std::vector<SearchEntry>& entries,
                                const SearchMailSource& source, const SearchIndexLimits& limits = {});

// Takes away a search index this program wrote in the folder (its state
// file is there): the manifest first, so a page never loads half an index,
// then the segments, the scripts and the state. Other files stay, and so
// does the folder. The paths that could not be removed, with why.
std::vector<platform::FileProblem> RemoveSearchIndex(std::string_view cp932Folder);

}  // namespace postloom::search
