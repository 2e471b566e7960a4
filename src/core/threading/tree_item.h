#pragma once

#include <cstdint>

namespace postloom {

// Handle of an item of a ThreadTree. Stays valid until its item is deleted;
// 0 is never a valid handle.
using TreeItem = std::uint32_t;
inline constexpr TreeItem kNoItem = 0;

}  // namespace postloom
