#pragma once

#include <string>

namespace postloom::platform {

// A file that a job could not read or write, and the system's reason
// ("Permission denied"); paths are CP932.
struct FileProblem {
    std::string path;
    std::string reason;
    bool operator==(const FileProblem&) const = default;
};

}  // namespace postloom::platform
