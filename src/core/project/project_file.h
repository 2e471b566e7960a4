#pragma once

// The project file (".plp"): a version line, one "Key=value" line per
// setting in table order, the line "MailData", then the mail list as a
// 16-bit count followed by the records. Lines end in LF alone.

#include "core/project/project_settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace postloom {

// The version Save writes. Version 0 (or no version line) selects the old
// record encoding on reading.
inline constexpr std::int32_t kProjectFileVersion = 100;

// The most mails a project file holds: the count is 16 bits.
inline constexpr std::size_t kMaxStoredMails = 0xFFFF;

struct LoadResult {
    bool opened = false;  // false: the file could not be opened or read; nothing was changed
    std::int32_t version = 0;  // 0 also when the file has no version line
    std::size_t mailsRead = 0;
    // The mail list ended before its count of records was complete (a
    // record cut in the middle is kept with what was read).
    bool mailBlockDamaged = false;
    // The file is empty or holds at least a version line, a setting key or
    // the MailData marker. False for any other file: it is no project, and
    // showing it as an empty one would let Save overwrite it.
    bool looksLikeProject = false;
};

// Fills settings from the file at path and appends its mails to
// settings.mailList. The caller resets settings first; the insert tags are
// set to their defaults here, so a file without them has the defaults. A
// file that cannot be opened (or a folder) leaves settings as they are.
LoadResult LoadProject(ProjectSettings& settings, std::string_view cp932Path);

// The same from the bytes of a project file.
LoadResult LoadProjectFromBytes(ProjectSettings& settings, std::string_view bytes);

struct SaveResult {
    bool ok = false;
    std::size_t mailsStored = 0;
    // Mails beyond kMaxStoredMails are not stored; they are read again from
    // their files the next time the project is opened.
    std::size_t mailsLeftOut = 0;
    std::string error;  // what went wrong when !ok
};

// The bytes Save writes.
std::string SerializeProject(const ProjectSettings& settings);

// Writes the project to a temporary file beside path and renames it over
// path only when every byte reached the disk, so a failed save leaves the
// previous file as it was.
SaveResult SaveProject(const ProjectSettings& settings, std::string_view cp932Path);

}  // namespace postloom
