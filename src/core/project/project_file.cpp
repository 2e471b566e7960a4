#include "core/project/project_file.h"

#include "core/mail/mail_record_codec.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/text/cp932.h"
#include "core/text/number.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <system_error>

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

void ReadMailBlock(ProjectSettings& settings, std::string_view block, LoadResult& result)
{
    ByteReader in(block);
    std::uint16_t count = 0;
    if (!in.ReadU16(count)) {
        result.mailBlockDamaged = true;
        return;
    }
    const bool oldEncoding = result.version == 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        auto record = std::make_unique<MailRecord>();
        const bool read = oldEncoding ? ReadOldMailRecord(*record, in) : ReadMailRecord(*record, in);
        // No byte left: a count larger than the data adds no empty records.
        if (!read)
            break;
        settings.mailList.push_back(std::move(record));
        ++result.mailsRead;
    }
    result.mailBlockDamaged = in.FellShort() || result.mailsRead < count;
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

// Saving through a symbolic link replaces the file it points to, not the link.
std::string ResolveTarget(const std::string& nativePath)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(nativePath.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : nativePath;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces target with bytes: a new file beside it, written, synced and
// renamed over it. On any failure the temporary file is removed and target
// is left untouched. Returns the error, or nothing on success.
std::optional<std::string> ReplaceFile(const std::string& target, std::string_view bytes)
{
    // A folder or a device named as the project is refused before anything
    // is created beside it: a rename would replace a device node.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return "the project file name is a folder or a special file";

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);

    std::random_device seed;
    std::mt19937 random(seed());
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + ".postloom-save-" + std::to_string(random());
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return ErrorText("cannot create a temporary file beside the project file", errno);

    const auto fail = [&](std::string_view what) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.c_str());
        return ErrorText(what, error);
    };

    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return fail("cannot give the new project file the permissions of the old one");
    if (!WriteAll(fd, bytes))
        return fail("cannot write the project file");
    if (::fsync(fd) != 0)
        return fail("cannot write the project file to disk");
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail("cannot write the project file to disk");
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail("cannot replace the project file");
    return std::nullopt;
}

}  // namespace

LoadResult LoadProject(ProjectSettings& settings, std::string_view cp932Path)
{
    const std::optional<std::string> bytes = platform::ReadWholeFile(cp932Path);
    if (!bytes)
        return {};
    return LoadProjectFromBytes(settings, *bytes);
}

LoadResult LoadProjectFromBytes(ProjectSettings& settings, std::string_view bytes)
{
    LoadResult result;
    result.opened = true;
    result.looksLikeProject = bytes.empty();
    SetDefaultInsertTags(settings);
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
            // Nothing after the mail list is read, settings lines included.
            ReadMailBlock(settings, bytes.substr(pos), result);
            break;
        }
    }
    return result;
}

std::string SerializeProject(const ProjectSettings& settings)
{
    std::string out;
    out.append(kVersionKey);
    out.push_back('=');
    AppendNumber(out, kProjectFileVersion, 10);
    out.push_back('\n');
    for (const SettingDefinition& def : SettingTable())
        AppendSettingLine(out, settings, def);
    out.append(kMailDataMarker);
    out.push_back('\n');
    const std::size_t stored = std::min(settings.mailList.size(), kMaxStoredMails);
    AppendU16(out, static_cast<std::uint16_t>(stored));
    for (std::size_t i = 0; i < stored; ++i)
        WriteMailRecord(*settings.mailList[i], out);
    return out;
}

SaveResult SaveProject(const ProjectSettings& settings, std::string_view cp932Path)
{
    SaveResult result;
    if (cp932Path.empty()) {
        result.error = "no project file name";
        return result;
    }
    const std::string target = ResolveTarget(platform::NativePath(cp932Path));
    if (std::optional<std::string> error = ReplaceFile(target, SerializeProject(settings))) {
        result.error = std::move(*error);
        return result;
    }
    result.ok = true;
    result.mailsStored = std::min(settings.mailList.size(), kMaxStoredMails);
    result.mailsLeftOut = settings.mailList.size() - result.mailsStored;
    return result;
}

}  // namespace postloom
