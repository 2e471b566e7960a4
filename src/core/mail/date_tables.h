#pragma once

// The month and zone names that a Date header may carry.

#include <array>
#include <cstdint>
#include <string_view>

namespace postloom {

struct ZoneEntry {
    std::string_view name;
    // +hhmm as a decimal number, east of Greenwich positive.
    std::int32_t offset;
};

// Searched in this order, each name compared with the first bytes of the
// zone text (ASCII case ignored), so "UTC" is taken as "UT" and "CET" as "C".
// The one-letter military zones keep the signs that RFC 822 gave them (A to
// M west, N to Y east); J and Z are not among them.
inline constexpr std::array<ZoneEntry, 35> ZoneTable{{
    {"JST", 900},  {"UT", 0},      {"GMT", 0},    {"EST", -500}, {"EDT", -400}, {"CST", -600},  {"CDT", -500},
    {"MST", -700}, {"MDT", -600},  {"PST", -800}, {"PDT", -700}, {"A", -100},   {"B", -200},    {"C", -300},
    {"D", -400},   {"E", -500},    {"F", -600},   {"G", -700},   {"H", -800},   {"I", -900},    {"K", -1000},
    {"L", -1100},  {"M", -1200},   {"N", 100},    {"O", 200},    {"P", 300},    {"Q", 400},     {"R", 500},
    {"S", 600},    {"T", 700},     {"U", 800},    {"V", 900},    {"W", 1000},   {"X", 1100},    {"Y", 1200},
}};

// Months 1 to 12.
inline constexpr std::array<std::string_view, 12> MonthTable{
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec",
};

}  // namespace postloom
