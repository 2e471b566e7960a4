#pragma once

// The project file (".plp"): a version line, one "Key=value" line per
// setting in table order, the line "MailData", then the mail list as a
// 16-bit count followed by the records. Lines end in LF alone.

#include "core/project/project_settings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace postloom {

// The version Save writes. Version 0 (or no version line) selects the old
// record encoding on reading.
inline constexpr std::int32_t kProjectFileVersion = 100;

// The most mails a project file holds: the count is 16 bits.
inline constexpr std::size_t kMaxStoredMails = 0xFFFF;

// What tells one version of a project file on disk from another.
struct ProjectFileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const ProjectFileStamp&) const = default;
};

// The stamp of the file at cp932Path as it is now; nullopt when there is none.
std::optional<ProjectFileStamp> StampProjectFile(std::string_view cp932Path);

// Why a project file was not taken.
enum class LoadFailure {
    None,
    Missing,      // no file of that name
    NotAFile,     // a folder or a special file (device, FIFO, socket)
    Unreadable,   // it could not be opened or read: systemError says why
    NotAProject,  // it was read but holds nothing of a project
};

struct LoadResult {
    bool opened = false;  // false: the file could not be opened or read; nothing was changed
    LoadFailure failure = LoadFailure::None;
    std::string systemError;  // the system's reason for Unreadable (CP932)
    std::int32_t version = 0;  // 0 also when the file has no version line
    std::size_t mailsRead = 0;
    // The mail list does not hold its count of whole records and nothing
    // else: it ended early, data follows the records, or records were
    // dropped.
    bool mailBlockDamaged = false;
    // Records of the mail list that were not kept: cut by the end of the
    // data, naming no file a folder listing gives (empty, ".", "..", with a
    // separator or a NUL), or broken inside. Their mail files are new mails
    // to the next reading of the folder.
    std::size_t recordsDropped = 0;
    // The file has settings but no MailData marker: it was most likely cut
    // short, and whatever settings were lost took their defaults. An empty
    // file is a new project, not this.
    bool noMailData = false;
    // The file is empty or holds at least a version line, a setting key or
    // the MailData marker. False for any other file: it is no project, and
    // showing it as an empty one would let Save overwrite it.
    bool looksLikeProject = false;
    // The file as it was read (LoadProject only).
    std::optional<ProjectFileStamp> stamp = std::nullopt;

    // It loaded, but part of it was lost: the first save over it should
    // keep the old file (SaveOptions::keepBackup).
    bool damaged() const { return noMailData || mailBlockDamaged; }
    // Why the file was not taken, in plain English ("the file does not
    // exist", "Permission denied", ...); empty when it was.
    std::string failureReason() const;
    // What was lost in a file that was taken; empty when it is whole.
    std::string damageReason() const;
};

// Fills settings from the file at path and appends its mails to
// settings.mailList. The caller resets settings first; the insert tags are
// set to their defaults here, so a file without them has the defaults. A
// file that cannot be opened, or is no regular file, leaves settings as
// they are. A file that is no project (failure NotAProject) may have set
// the insert tags; the caller discards settings then.
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
    // CP932 path of the copy of the old file made by keepBackup; empty when
    // none was made (no old file, or no backup asked for).
    std::string backupPath;
};

struct SaveOptions {
    // Keep the file being replaced beside it as "NAME.bak" (replacing an
    // older one) before the new one takes its place. When that copy cannot
    // be made, nothing is saved.
    bool keepBackup = false;
    // Replace the file only while it is the version read (a file that is
    // gone holds nothing to lose): another program, a window, may have
    // saved its work there meanwhile.
    std::optional<ProjectFileStamp> unchangedSince = std::nullopt;
};

// The bytes Save writes, handed to sink in order, piece by piece.
void SerializeProject(const ProjectSettings& settings, const std::function<void(std::string_view)>& sink);
// The same bytes as one string.
std::string SerializeProject(const ProjectSettings& settings);

// Writes the project to a temporary file beside path and renames it over
// path only when every byte reached the disk, so a failed save leaves the
// previous file as it was. The temporary file is named after the project
// (".NAME.postloom-save-DIGITS"); a successful save removes such files of
// the same project, and those of the older unnamed pattern
// (".postloom-save-DIGITS"), that a save killed before this process started
// left behind.
SaveResult SaveProject(const ProjectSettings& settings, std::string_view cp932Path, SaveOptions options = {});

}  // namespace postloom
