#include "core/mail/folder_reader.h"

#include "core/mail/mail_parser.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/project/project_file.h"
#include "core/text/cp932.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <unordered_set>

namespace postloom {

namespace {

// The characters of a CP932 text, a double-byte character as one.
std::vector<std::string_view> Characters(std::string_view s)
{
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = text::CharLength(s, i);
        chars.push_back(s.substr(i, length));
        i += length;
    }
    return chars;
}

bool SameCharacter(std::string_view patternChar, std::string_view nameChar)
{
    if (patternChar.size() == 1 && nameChar.size() == 1)
        return text::EqualsIgnoreCase(patternChar, nameChar);
    return patternChar == nameChar;
}

// Parses one new mail file into a record at the end of the list. A file that
// cannot be opened is not appended, so it is tried again at the next reading.
bool AppendMail(ProjectSettings& settings, const std::string& path, const std::string& name, FolderReadResult& result)
{
    auto record = std::make_unique<MailRecord>();
    platform::FileError error;
    const HeaderDecoding decoding = settings.MimeDecode != 0 ? HeaderDecoding::Mime : HeaderDecoding::Raw;
    if (!ParseMailFile(*record, path, name, error, decoding)) {
        result.unreadable.push_back({name, platform::ReasonText(error)});
        return false;
    }
    record->orderKey = record->date;
    settings.mailList.push_back(std::move(record));
    settings.mailListChanged = 1;
    ++result.appended;
    return true;
}

int ProgressValue(std::size_t n)
{
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

}  // namespace

bool MatchesMailPattern(std::string_view name, std::string_view pattern)
{
    if (pattern == "*.*")
        return true;
    const std::vector<std::string_view> p = Characters(pattern);
    const std::vector<std::string_view> n = Characters(name);
    // Greedy matching that backs up to the last "*" on a mismatch.
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::optional<std::size_t> star;
    std::size_t starName = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == "*") {
            star = pi++;
            starName = ni;
        } else if (pi < p.size() && (p[pi] == "?" || SameCharacter(p[pi], n[ni]))) {
            ++pi;
            ++ni;
        } else if (star) {
            pi = *star + 1;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == "*")
        ++pi;
    return pi == p.size();
}

// The listing is taken once, so the count and the second pass see the same
// entries. The count includes the entries that are passed over
// (directories, also behind symbolic links, and special files such as a
// FIFO, which would block the reader), and so does the second pass: one
// report per matching entry. Entries of any other kind, a dangling symbolic
// link included, are read as mails.
FolderReadResult ReadMailFolder(ProjectSettings& settings, std::string_view mailFolder, JobProgress& progress,
                                const StopFlag& stop)
{
    FolderReadResult result;
    std::optional<std::vector<platform::DirectoryEntry>> listing;
    if (platform::IsDirectory(mailFolder))
        listing = platform::ListDirectory(mailFolder);
    if (!listing) {
        // Never fall back on another folder: no folder, no mails.
        result.folderFound = false;
        progress.SetRange(0, 0);
        return result;
    }

    std::vector<const platform::DirectoryEntry*> matching;
    for (const platform::DirectoryEntry& entry : *listing) {
        if (MatchesMailPattern(entry.name, settings.MailExt))
            matching.push_back(&entry);
    }
    result.matched = matching.size();
    progress.SetRange(0, ProgressValue(result.matched));

    // File names compare exactly: on Linux "A.alm" and "a.alm" are two files.
    std::unordered_set<std::string_view> known;
    known.reserve(settings.mailList.size());
    for (const auto& mail : settings.mailList)
        known.insert(mail->fileName);

    std::string folder(mailFolder);
    if (folder.back() != '/')
        folder += '/';
    for (std::size_t k = 0; k < matching.size(); ++k) {
        // The first entry is handled even when a stop is already requested.
        if (k > 0 && stop) {
            result.stopped = true;
            break;
        }
        const platform::DirectoryEntry& entry = *matching[k];
        const bool passedOver =
            entry.type == platform::EntryType::Directory || entry.type == platform::EntryType::Other;
        if (!passedOver && !known.contains(entry.name)) {
            if (settings.mailList.size() >= kMaxStoredMails) {
                ++result.leftOut;
            } else if (AppendMail(settings, folder + entry.name, entry.name, result)) {
                // Two listed names can stand for one stored name (a UTF-8
                // name and a CP932 one of the same text): one mail.
                known.insert(entry.name);
            }
        }
        progress.Report(ProgressValue(k));
    }
    return result;
}

}  // namespace postloom
