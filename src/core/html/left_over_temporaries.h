#pragma once

// After a run that wrote the site to its end: what killed runs left in the
// folders the site is written to goes (see platform/stale_temporaries.h).

#include "core/project/project_settings.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace postloom {

// Removes the program's stale temporary files from the index folder, the
// mail page folder and the attachment folders in it, and the two graphic
// folders, each folder once. runStart: when the run began; a temporary file
// written since then stays. Relative settings paths resolve against
// projectFolder. Returns how many files were removed.
std::size_t RemoveLeftOverTemporaries(const ProjectSettings& settings, const std::string& projectFolder,
                                      std::chrono::system_clock::time_point runStart);

}  // namespace postloom
