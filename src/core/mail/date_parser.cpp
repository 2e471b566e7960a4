// The Date header: "[Day-of-week, ]Day Month Year hh:mm:ss Zone", read by
// fixed rules that never fail. A missing or odd field reads as 0 (or as
// January), so every mail gets a value.

#include "core/mail/date_tables.h"
#include "core/mail/mail_parser.h"
#include "core/mail/mail_parser_text.h"
#include "core/platform/local_time.h"
#include "core/text/cp932.h"
#include "core/text/number.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace postloom {

namespace {

bool IsFieldSeparator(char c)
{
    return c == ' ' || c == '\t';
}

// Takes the text up to the next blank or tab as a field and leaves v after
// the whole run of blanks and tabs that follows it, as mail programs write
// "Thu,  5 Sep 2002" with two blanks before a one-digit day. With no
// separator left the field is empty and v stays whole: in
// "1 Jan 1998 10:00:00" the time is the zone text, not the time field.
std::string_view TakeField(std::string_view& v)
{
    const std::size_t blank = text::FindFirstOf(v, " \t");
    const std::string_view field = text::TextBefore(v, blank);
    if (blank != text::npos) {
        std::size_t next = blank + 1;
        while (next < v.size() && IsFieldSeparator(v[next]))
            ++next;
        v = v.substr(next);
    }
    return field;
}

// 1 to 12; January when the name is none of the months.
int MonthNumber(std::string_view field)
{
    for (std::size_t i = 0; i < MonthTable.size(); ++i) {
        if (text::EqualsIgnoreCase(field, MonthTable[i]))
            return static_cast<int>(i) + 1;
    }
    return 1;
}

// Two-digit years: 00-69 are 2000-2069, 70-99 are 1970-1999.
std::int64_t FullYear(std::int32_t year)
{
    if (year < 70)
        return std::int64_t{year} + 2000;
    if (year < 100)
        return std::int64_t{year} + 1900;
    return year;
}

std::string_view FromByte(std::string_view field, std::size_t pos)
{
    return pos < field.size() ? field.substr(pos) : std::string_view{};
}

// +hhmm (as a decimal number) of the zone text: a number when it starts
// with a sign or digit ("+0900 (JST)" gives 900), otherwise the first table
// name that the text starts with, otherwise 0.
std::int32_t ZoneOffset(std::string_view zone)
{
    if (!zone.empty() && (zone.front() == '+' || zone.front() == '-' || (zone.front() >= '0' && zone.front() <= '9')))
        return text::ParseDecimal(zone);
    for (const ZoneEntry& entry : ZoneTable) {
        if (text::StartsWithIgnoreCase(zone, entry.name))
            return entry.offset;
    }
    return 0;
}

// The offset in seconds, always positive; the sign of the offset decides the
// direction. 64 bits hold it for every 32-bit offset.
std::int64_t OffsetSeconds(std::int32_t offset)
{
    const std::int64_t n = offset;
    const std::int64_t minutes = n % 100 < 0 ? -(n % 100) : n % 100;
    const std::int64_t hours = n / 100 < 0 ? -(n / 100) : n / 100;
    return (minutes + hours * 60) * 60;
}

}  // namespace

std::int32_t ParseDateLine(std::string_view line)
{
    std::string_view v = mail_text::HeaderValue(line);

    const bool hasDayOfWeek = v.size() > 3 && v[3] == ',';
    std::string_view field = TakeField(v);
    if (hasDayOfWeek)
        field = TakeField(v);
    const std::int32_t day = text::ParseDecimal(field);
    const int month = MonthNumber(TakeField(v));
    const std::int64_t year = FullYear(text::ParseDecimal(TakeField(v)));
    const std::string_view time = TakeField(v);
    const std::int32_t hour = text::ParseDecimal(time);
    const std::int32_t minute = text::ParseDecimal(FromByte(time, 3));
    const std::int32_t second = text::ParseDecimal(FromByte(time, 6));

    const std::int64_t local = platform::MakeLocalTime(year, month, day, hour, minute, second);
    const std::int32_t offset = ZoneOffset(v);
    const std::int64_t seconds = OffsetSeconds(offset);
    const std::int64_t greenwich = offset >= 0 ? local - seconds : local + seconds;
    // date is a 32-bit value: a result beyond its range wraps around modulo
    // 2^32, as the 32-bit sum did where this format was first read.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(greenwich));
}

std::optional<std::tm> ShownTime(std::int32_t date)
{
    const std::int64_t shifted = static_cast<std::int64_t>(date) + 32400;
    if (shifted < 0)
        return std::nullopt;
    return platform::BreakDownLocal(shifted);
}

}  // namespace postloom
