#include "core/project/project_file.h"

#include "core/html/output_paths.h"
#include "core/mail/mail_record_codec.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/text/codec.h"
#include "core/text/cp932.h"
#include "core/text/number.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

namespace postloom {

namespace {

constexpr std::string_view kVersionKey = "PostloomVer";
constexpr std::string_view kMailDataMarker = "MailData";

// The insert tags are the only settings whose reset value is not empty or
// zero; a file that lacks one of them gets its default.
void SetDefaultInsertTags(ProjectSettings& settings)
{
    for (const SettingDefinition& def : SettingTable()) {
        if (def.kind == SettingKind::Text && !def.resetText.empty())
            settings.*std::get<std::string ProjectSettings::*>(def.member) = std::string(def.resetText);
    }
}

void StoreValue(ProjectSettings& settings, const SettingDefinition& def, std::string_view value)
{
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, std::string>)
                settings.*member = std::string(value);
            else if constexpr (std::is_same_v<T, std::uint32_t>)
                settings.*member = text::ParseHex(value);
            else
                settings.*member = text::ParseDecimal(value);
        },
        def.member);
}

// A "Key=value" line; false when its key is neither the version nor a
// setting. The key is everything before the first "=", compared with ASCII
// case ignored; nothing is trimmed.
bool ApplySettingLine(ProjectSettings& settings, std::string_view line, LoadResult& result)
{
    const std::size_t eq = text::FindChar(line, '=');
    if (eq == text::npos)
        return false;
    const std::string_view key = line.substr(0, eq);
    const std::string_view value = line.substr(eq + 1);
    if (text::EqualsIgnoreCase(key, kVersionKey)) {
        result.version = text::ParseDecimal(value);
        return true;
    }
    const SettingDefinition* def = FindSetting(key);
    if (!def)
        return false;
    StoreValue(settings, *def, value);
    return true;
}

// A record is kept only when it is whole and could be a mail of the folder:
// a record cut by the end of the data, one whose stored name no folder
// listing gives, and a tagged record that is not in the shape every save
// writes (a broken tag or length turned text into fields) are dropped, so
// that reading the folder takes their mail files again as new mails.
void ReadMailBlock(ProjectSettings& settings, std::string_view block, LoadResult& result)
{
    ByteReader in(block);
    std::uint16_t count = 0;
    if (!in.ReadU16(count)) {
        result.mailBlockDamaged = true;
        return;
    }
    const bool oldEncoding = result.version == 0;
    std::size_t records = 0;
    // Nothing follows the records. Tagged records left over after the count
    // (a broken count, or a record split in two by a broken tag) are read on:
    // every whole one keeps its mail's order and output choice.
    while (!in.AtEnd() && (records < count || (!oldEncoding && records < kMaxStoredMails))) {
        const std::size_t start = in.Position();
        auto record = std::make_unique<MailRecord>();
        if (oldEncoding)
            ReadOldMailRecord(*record, in);
        else
            ReadMailRecord(*record, in);
        ++records;
        const bool whole = !in.FellShort() && IsUsableFileName(record->fileName) &&
                           (oldEncoding || HasWrittenShape(block.substr(start, in.Position() - start)));
        if (!whole) {
            ++result.recordsDropped;
            continue;
        }
        settings.mailList.push_back(std::move(record));
        ++result.mailsRead;
    }
    result.mailBlockDamaged = records != count || !in.AtEnd() || result.recordsDropped > 0;
}

void AppendU16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

template <typename Number>
void AppendNumber(std::string& out, Number value, int base)
{
    char buffer[16];
    const char* const end = std::to_chars(buffer, buffer + sizeof buffer, value, base).ptr;
    for (const char* p = buffer; p != end; ++p)
        out.push_back(*p >= 'a' && *p <= 'f' ? static_cast<char>(*p - 'a' + 'A') : *p);
}

void AppendSettingLine(std::string& out, const ProjectSettings& settings, const SettingDefinition& def)
{
    out.append(def.key);
    out.push_back('=');
    std::visit(
        [&](auto member) {
            const auto& value = settings.*member;
            using T = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::string>) {
                // A text is one line: a line break inside it would end the
                // value there on reading and turn the rest into a line of
                // its own (even a false "MailData" marker).
                out.append(std::string_view(value).substr(0, value.find_first_of("\r\n")));
            } else if constexpr (std::is_same_v<T, std::uint32_t>) {
                AppendNumber(out, value, 16);
            } else {
                AppendNumber(out, value, 10);
            }
        },
        def.member);
    out.push_back('\n');
}

std::string ErrorText(std::string_view what, int error)
{
    return std::string(what) + ": " + std::error_code(error, std::generic_category()).message();
}


LoadResult NotOpened(LoadFailure failure)
{
    LoadResult result;
    result.failure = failure;
    return result;
}

LoadResult NotOpened(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return NotOpened(LoadFailure::Missing);
    LoadResult result = NotOpened(LoadFailure::Unreadable);
    result.systemError = platform::ReasonText({error, false});
    return result;
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string ResolveTarget(const std::string& nativePath)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(nativePath.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : nativePath;
}

// ---------------------------------------------------------------------------
// Temporary files of a save

constexpr std::string_view kTemporaryTag = ".postloom-save-";
// The longest file name of the common Linux file systems.
constexpr std::size_t kMaxNameLength = 255;
// The random part of a temporary name: the decimal digits of a 32-bit value.
constexpr std::size_t kMaxRandomDigits = 10;

// The start of the names of the temporary files that a save of the project
// named projectName makes beside it: ".NAME.postloom-save-". The digits that
// follow are random. A name too long for that keeps its start and ends in
// a hash of the whole name, so the names still belong to this project only.
std::string TemporaryPrefix(std::string_view projectName)
{
    std::string prefix = "." + std::string(projectName) + std::string(kTemporaryTag);
    if (prefix.size() + kMaxRandomDigits <= kMaxNameLength)
        return prefix;
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (const char c : projectName)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char digits[16];
    const char* const end = std::to_chars(digits, digits + sizeof digits, hash, 16).ptr;
    const std::string hashText = "~" + std::string(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    const std::size_t kept = kMaxNameLength - kMaxRandomDigits - kTemporaryTag.size() - hashText.size() - 1;
    return "." + std::string(projectName.substr(0, kept)) + hashText + std::string(kTemporaryTag);
}

// name is prefix followed by nothing but one or more digits.
bool HasTemporaryPattern(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return false;
    const std::string_view digits = name.substr(prefix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// When this process started, near enough: the library's static
// initialisation runs before main. A temporary file last written before
// then belongs to no save of this process; one of another process that is
// still running is being written to, so its time is recent. The margin
// covers file times that lag behind the clock.
const std::chrono::system_clock::time_point kProcessStart = std::chrono::system_clock::now();
constexpr std::chrono::seconds kStaleMargin{2};

bool LastWrittenBeforeThisProcess(const struct stat& st)
{
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    return written + kStaleMargin < kProcessStart;
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};

// Removes what killed saves of this project left in folder: regular files
// named by the project's pattern, or by the unnamed pattern of older
// versions (".postloom-save-DIGITS"), last written before this process
// started. Nothing is reported: the save itself has succeeded.
void RemoveStaleTemporaries(const std::string& folder, std::string_view projectPrefix)
{
    std::vector<std::string> stale;
    {
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (HasTemporaryPattern(name, projectPrefix) || HasTemporaryPattern(name, kTemporaryTag))
                stale.push_back(folder + std::string(name));
        }
    }
    for (const std::string& path : stale) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && LastWrittenBeforeThisProcess(st))
            ::unlink(path.c_str());
    }
}

struct Created {
    std::string path;  // empty when nothing was created
    int error = 0;
};

// Calls create(path) with prefix and random digits until a name is free.
template <typename Create>
Created CreateUniquelyNamed(const std::string& prefix, Create create)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix + std::to_string(random());
        if (create(path))
            return {std::move(path), 0};
        if (errno != EEXIST)
            break;
    }
    return {{}, errno};
}

struct WriteFailure {
    std::string_view step;
    int error = 0;
};

// Writes a file's bytes into fd; false with errno set when a write failed.
using ContentWriter = std::function<bool(int fd)>;

// The writer of bytes held in memory.
ContentWriter WriterOf(std::string_view bytes)
{
    return [bytes](int fd) { return platform::WriteAll(fd, bytes); };
}

// Replaces target with what writeContent writes: a new file named prefix
// and digits, written, synced and renamed over it; mode, when given, is the new file's
// permissions. On any failure the new file is removed and target is left
// untouched.
std::optional<WriteFailure> WriteReplacing(const std::string& target, const std::string& prefix,
                                           const ContentWriter& writeContent, std::optional<mode_t> mode)
{
    int fd = -1;
    const Created temporary = CreateUniquelyNamed(prefix, [&](const std::string& path) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    });
    if (temporary.path.empty())
        return WriteFailure{"cannot create a temporary file beside the project file", temporary.error};
    platform::FileDescriptor file(fd);

    const auto fail = [&](std::string_view step) {
        const int error = errno;
        if (file.valid())
            file.close();
        ::unlink(temporary.path.c_str());
        return WriteFailure{step, error};
    };
    if (mode && ::fchmod(file.get(), *mode) != 0)
        return fail("cannot give the new project file the permissions of the old one");
    if (!writeContent(file.get()))
        return fail("cannot write the project file");
    if (::fsync(file.get()) != 0)
        return fail("cannot write the project file to disk");
    if (file.close() != 0)
        return fail("cannot write the project file to disk");
    if (::rename(temporary.path.c_str(), target.c_str()) != 0)
        return fail("cannot replace the project file");
    return std::nullopt;
}

// Keeps the file at target as backup before target is replaced: a hard
// link under a temporary name renamed over any older backup, so target is
// never touched and the backup is either whole or the older one. Where the
// file system has no hard links, a copy written the same way. Returns the
// error, or nothing when the backup is in place.
std::optional<std::string> KeepBackup(const std::string& target, const std::string& backup,
                                      const std::string& prefix, mode_t mode)
{
    const std::string what = "cannot keep the old project file as " + text::Utf8ToCp932(backup);
    const Created linked = CreateUniquelyNamed(
        prefix, [&](const std::string& path) { return ::link(target.c_str(), path.c_str()) == 0; });
    if (!linked.path.empty()) {
        if (::rename(linked.path.c_str(), backup.c_str()) == 0)
            return std::nullopt;
        const int error = errno;
        ::unlink(linked.path.c_str());
        return ErrorText(what, error);
    }
    platform::FileError error;
    const std::optional<std::string> old = platform::ReadWholeFile(text::Utf8ToCp932(target), error);
    if (!old)
        return ErrorText(what, error.code);
    if (const std::optional<WriteFailure> failed = WriteReplacing(backup, prefix, WriterOf(*old), mode))
        return ErrorText(what, failed->error);
    return std::nullopt;
}

ProjectFileStamp StampOf(const struct stat& st)
{
    return {.device = static_cast<std::uint64_t>(st.st_dev),
            .inode = static_cast<std::uint64_t>(st.st_ino),
            .size = static_cast<std::int64_t>(st.st_size),
            .modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec),
            .modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

// Saves what writeContent writes over target, first keeping the old file when asked to (its
// path goes to backupWritten). Returns the error, or nothing on success.
std::optional<std::string> ReplaceFile(const std::string& target, const ContentWriter& writeContent, SaveOptions options,
                                       std::string& backupWritten)
{
    // A folder or a device named as the project is refused before anything
    // is created beside it: a rename would replace a device node.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return "the project file name is a folder or a special file";
    if (exists && options.unchangedSince && StampOf(existing) != *options.unchangedSince)
        return "the project file changed on disk since it was read; it was not overwritten";

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string namePrefix = TemporaryPrefix(std::string_view(target).substr(folder.size()));
    const std::string prefix = folder + namePrefix;
    const std::optional<mode_t> mode =
        exists ? std::optional<mode_t>(existing.st_mode & 07777) : std::optional<mode_t>();

    if (options.keepBackup && exists) {
        const std::string backup = target + ".bak";
        if (std::optional<std::string> error = KeepBackup(target, backup, prefix, *mode))
            return error;
        backupWritten = backup;
    }
    if (const std::optional<WriteFailure> failed = WriteReplacing(target, prefix, writeContent, mode))
        return ErrorText(failed->step, failed->error);
    RemoveStaleTemporaries(folder, namePrefix);
    return std::nullopt;
}

}  // namespace

std::string LoadResult::failureReason() const
{
    switch (failure) {
    case LoadFailure::None:
        break;
    case LoadFailure::Missing:
        return "the file does not exist";
    case LoadFailure::NotAFile:
        return "it is a folder or a special file";
    case LoadFailure::Unreadable:
        return systemError;
    case LoadFailure::NotAProject:
        return "it is not a Postloom project file";
    }
    return {};
}

std::string LoadResult::damageReason() const
{
    if (noMailData)
        return "the project file has no mail list; it may have been cut short";
    if (mailBlockDamaged)
        return "the mail list of the project file is damaged; the readable mails were kept";
    return {};
}

LoadResult LoadProject(ProjectSettings& settings, std::string_view cp932Path)
{
    // Taken where a save looks (the file a symbolic link points to), and
    // before the bytes: a change while they are read makes the stamp older,
    // never newer, than what was read.
    const std::optional<ProjectFileStamp> stamp = StampProjectFile(cp932Path);
    platform::FileError error;
    const std::optional<std::string> bytes = platform::ReadWholeFile(cp932Path, error);
    if (!bytes)
        return error.notAFile ? NotOpened(LoadFailure::NotAFile) : NotOpened(error.code);
    LoadResult result = LoadProjectFromBytes(settings, *bytes);
    result.stamp = stamp;
    return result;
}

std::optional<ProjectFileStamp> StampProjectFile(std::string_view cp932Path)
{
    struct stat st {};
    if (::stat(platform::NativePath(cp932Path).c_str(), &st) != 0)
        return std::nullopt;
    return StampOf(st);
}

LoadResult LoadProjectFromBytes(ProjectSettings& settings, std::string_view bytes)
{
    LoadResult result;
    result.opened = true;
    result.looksLikeProject = bytes.empty();
    SetDefaultInsertTags(settings);
    bool markerFound = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        const std::size_t next = lf == std::string_view::npos ? bytes.size() : lf + 1;
        std::string_view line = bytes.substr(pos, next - pos);
        pos = next;
        line = line.substr(0, line.find_first_of("\r\n"));
        if (ApplySettingLine(settings, line, result)) {
            result.looksLikeProject = true;
            continue;
        }
        if (text::EqualsIgnoreCase(line, kMailDataMarker)) {
            result.looksLikeProject = true;
            markerFound = true;
            // Nothing after the mail list is read, settings lines included.
            ReadMailBlock(settings, bytes.substr(pos), result);
            break;
        }
    }
    result.noMailData = result.looksLikeProject && !bytes.empty() && !markerFound;
    if (!result.looksLikeProject)
        result.failure = LoadFailure::NotAProject;
    return result;
}

void SerializeProject(const ProjectSettings& settings, const std::function<void(std::string_view)>& sink)
{
    // The mail list of a large archive runs to megabytes: it goes out in
    // pieces, so a save never holds a second copy of the whole list.
    constexpr std::size_t kPiece = 64 * 1024;
    std::string out;
    out.reserve(kPiece + 4096);
    out.append(kVersionKey);
    out.push_back('=');
    AppendNumber(out, kProjectFileVersion, 10);
    out.push_back('\n');
    for (const SettingDefinition& def : SettingTable())
        AppendSettingLine(out, settings, def);
    for (const SettingDefinition& def : LaterSettingTable()) {
        if (settings.*std::get<std::int32_t ProjectSettings::*>(def.member) != 0)
            AppendSettingLine(out, settings, def);
    }
    out.append(kMailDataMarker);
    out.push_back('\n');
    const std::size_t stored = std::min(settings.mailList.size(), kMaxStoredMails);
    AppendU16(out, static_cast<std::uint16_t>(stored));
    for (std::size_t i = 0; i < stored; ++i) {
        WriteMailRecord(*settings.mailList[i], out);
        if (out.size() >= kPiece) {
            sink(out);
            out.clear();
        }
    }
    sink(out);
}

std::string SerializeProject(const ProjectSettings& settings)
{
    std::string bytes;
    SerializeProject(settings, [&](std::string_view piece) { bytes.append(piece); });
    return bytes;
}

SaveResult SaveProject(const ProjectSettings& settings, std::string_view cp932Path, SaveOptions options)
{
    SaveResult result;
    if (cp932Path.empty()) {
        result.error = "no project file name";
        return result;
    }
    if (cp932Path.find('\0') != std::string_view::npos) {
        result.error = "the project file name holds a NUL byte";
        return result;
    }
    const std::string target = ResolveTarget(platform::NativePath(cp932Path));
    std::string backup;
    const ContentWriter writeProject = [&settings](int fd) {
        int error = 0;
        SerializeProject(settings, [&](std::string_view piece) {
            if (error == 0 && !platform::WriteAll(fd, piece))
                error = errno;
        });
        errno = error;
        return error == 0;
    };
    if (std::optional<std::string> error = ReplaceFile(target, writeProject, options, backup)) {
        result.error = std::move(*error);
        return result;
    }
    result.ok = true;
    if (!backup.empty())
        result.backupPath = text::Utf8ToCp932(backup);
    result.mailsStored = std::min(settings.mailList.size(), kMaxStoredMails);
    result.mailsLeftOut = settings.mailList.size() - result.mailsStored;
    return result;
}

}  // namespace postloom
