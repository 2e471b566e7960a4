#include "core/mail/folder_reader.h"

#include "core/mail/mail_parser.h"
#include "core/platform/core_share.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/work_ahead.h"
#include "core/project/project_file.h"
#include "core/text/cp932.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <unordered_set>

namespace postloom {

namespace {

// The CP932 character that starts at byte i, a double-byte character as one.
std::string_view CharacterAt(std::string_view s, std::size_t i)
{
    return s.substr(i, text::CharLength(s, i));
}

bool SameCharacter(std::string_view patternChar, std::string_view nameChar)
{
    if (patternChar.size() == 1 && nameChar.size() == 1)
        return text::EqualsIgnoreCase(patternChar, nameChar);
    return patternChar == nameChar;
}

// A new mail file, parsed ahead of its turn.
struct ParsedMail {
    std::unique_ptr<MailRecord> record;  // none when the file is no mail that could be read
    MailFileRead read = MailFileRead::Mail;
    platform::FileError error;
};

ParsedMail ParseNewMail(const std::string& path, const std::string& name, HeaderDecoding decoding)
{
    ParsedMail parsed{std::make_unique<MailRecord>(), {}, {}};
    parsed.read = ParseMailFile(*parsed.record, path, name, parsed.error, decoding);
    if (parsed.read != MailFileRead::Mail)
        parsed.record.reset();
    else
        parsed.record->orderKey = parsed.record->date;
    return parsed;
}

// Appends a parsed mail to the list. A file that could not be opened, or
// that is not a mail, is not appended, so it is tried again at the next
// reading.
bool AppendMail(ProjectSettings& settings, ParsedMail parsed, const std::string& name, FolderReadResult& result)
{
    if (parsed.read == MailFileRead::Unopenable) {
        result.unreadable.push_back({name, platform::ReasonText(parsed.error)});
        return false;
    }
    if (parsed.read == MailFileRead::NotMail) {
        result.notMail.push_back(name);
        return false;
    }
    settings.mailList.push_back(std::move(parsed.record));
    settings.mailListChanged = 1;
    ++result.appended;
    return true;
}

// Below this many new files, parsing them on other threads costs more
// than it saves.
constexpr std::size_t kParseAheadFrom = 64;

int ProgressValue(std::size_t n)
{
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

}  // namespace

bool MatchesMailPattern(std::string_view name, std::string_view pattern)
{
    if (pattern == "*.*")
        return true;
    // Greedy matching that backs up to the last "*" on a mismatch, walking
    // both texts character by character by their byte offsets: it runs for
    // every file of the folder on every run. "*" and "?" are never a
    // trail byte where a character starts.
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::optional<std::size_t> star;
    std::size_t starName = 0;
    while (ni < name.size()) {
        const std::string_view nameChar = CharacterAt(name, ni);
        if (pi < pattern.size() && pattern[pi] == '*') {
            star = pi++;
            starName = ni;
        } else if (const std::string_view patternChar = pi < pattern.size() ? CharacterAt(pattern, pi) : "";
                   !patternChar.empty() && (patternChar == "?" || SameCharacter(patternChar, nameChar))) {
            pi += patternChar.size();
            ni += nameChar.size();
        } else if (star) {
            pi = *star + 1;
            starName += CharacterAt(name, starName).size();
            ni = starName;
        } else {
            return false;
        }
    }
    while (pi < pattern.size() && pattern[pi] == '*')
        ++pi;
    return pi == pattern.size();
}

namespace {

// The mail folder may be a folder that runs write into: the hidden files
// the program keeps there (".postloom-out-" temporaries of an interrupted
// run, the ".postloom-site" record) are its own and never mails.
bool IsProgramsOwnFile(std::string_view name)
{
    return name.starts_with(".postloom-");
}

bool PassedOver(const platform::DirectoryEntry& entry)
{
    return entry.type == platform::EntryType::Directory || entry.type == platform::EntryType::Other;
}

}  // namespace

std::optional<std::size_t> CountMailFiles(std::string_view mailFolder, std::string_view pattern)
{
    if (!platform::IsDirectory(mailFolder))
        return std::nullopt;
    const std::optional<std::vector<platform::DirectoryEntry>> listing = platform::ListDirectory(mailFolder);
    if (!listing)
        return std::nullopt;
    return static_cast<std::size_t>(std::ranges::count_if(*listing, [pattern](const platform::DirectoryEntry& entry) {
        return !IsProgramsOwnFile(entry.name) && !PassedOver(entry) && MatchesMailPattern(entry.name, pattern);
    }));
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
        if (!IsProgramsOwnFile(entry.name) && MatchesMailPattern(entry.name, settings.MailExt))
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
    // The new files are parsed ahead on other threads, in the listing's
    // order; the list takes them in that order on this one.
    std::vector<std::size_t> newEntries;
    for (std::size_t k = 0; k < matching.size(); ++k) {
        if (!PassedOver(*matching[k]) && !known.contains(matching[k]->name))
            newEntries.push_back(k);
    }
    const HeaderDecoding decoding = settings.MimeDecode != 0 ? HeaderDecoding::Mime : HeaderDecoding::Raw;
    const auto parse = [&](std::size_t n) {
        const std::string& name = matching[newEntries[n]]->name;
        return ParseNewMail(folder + name, name, decoding);
    };
    // Files past the room left in the list are only counted, never parsed
    // ahead: a folder larger than the list would otherwise parse them all
    // again at every reading.
    const std::size_t room = kMaxStoredMails - std::min(settings.mailList.size(), kMaxStoredMails);
    const std::size_t aheadCount = std::min(newEntries.size(), room);
    std::optional<platform::WorkAhead<ParsedMail>> ahead;
    if (aheadCount >= kParseAheadFrom)
        ahead.emplace(aheadCount, platform::CoreCount(), parse);

    for (std::size_t k = 0, n = 0; k < matching.size(); ++k) {
        // The first entry is handled even when a stop is already requested.
        if (k > 0 && stop) {
            result.stopped = true;
            break;
        }
        const platform::DirectoryEntry& entry = *matching[k];
        if (n < newEntries.size() && newEntries[n] == k) {
            const std::size_t mine = n++;
            // Taken whether needed or not, so that the next one is in turn.
            std::optional<ParsedMail> parsed;
            if (ahead && mine < aheadCount)
                parsed = ahead->Take(mine);
            if (known.contains(entry.name)) {
                // Another listed name already stood for this stored name.
            } else if (settings.mailList.size() >= kMaxStoredMails) {
                ++result.leftOut;
            } else if (AppendMail(settings, parsed ? std::move(*parsed) : parse(mine), entry.name, result)) {
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
