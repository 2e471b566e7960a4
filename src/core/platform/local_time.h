#pragma once

// Local time as the TZ environment gives it.

#include <cstdint>
#include <ctime>
#include <optional>

namespace postloom::platform {

// mktime of the fields with daylight saving left to the library (out-of-range
// fields are normalised). -1 when the time cannot be represented as a 32-bit
// seconds value.
std::int32_t MakeLocalTime(std::int64_t year, int month, int day, int hour, int minute, int second);

// localtime of a seconds value; nullopt when it cannot be broken down.
std::optional<std::tm> BreakDownLocal(std::int64_t seconds);

// Without TZ the C library looks at the system's zone file again at every
// mktime, one stat call per mail read. Called once at start-up, before any
// thread exists, this names that same file in TZ so that it is read once.
void PinLocalTimeZone();

}  // namespace postloom::platform
