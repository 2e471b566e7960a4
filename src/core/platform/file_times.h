#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace postloom::platform {

// When the file or folder at the path was last modified, in seconds since
// 1970-01-01 UTC (symbolic links followed); nullopt when it cannot be found.
std::optional<std::int64_t> ModificationTime(std::string_view cp932Path);

}  // namespace postloom::platform
