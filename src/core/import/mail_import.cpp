#include "core/import/mail_import.h"

#include "core/html/output_paths.h"
#include "core/mime/mbox_reader.h"
#include "core/platform/file_system.h"
#include "core/platform/file_times.h"
#include "core/platform/files.h"
#include "core/platform/new_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace postloom {

namespace {

constexpr std::string_view kMailExtension = ".alm";

// Names with more digits than this are not taken as numbers.
constexpr std::size_t kMaxNumberDigits = 18;

// Consecutive names found taken by others while writing one mail before
// the import gives up.
constexpr int kMaxTakenNames = 1000;

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number of a name of digits only before the extension, if any.
std::optional<std::uint64_t> NumberOf(std::string_view name)
{
    if (!EndsWithIgnoringCase(name, kMailExtension))
        return std::nullopt;
    const std::string_view digits = name.substr(0, name.size() - kMailExtension.size());
    if (digits.empty() || digits.size() > kMaxNumberDigits || !std::all_of(digits.begin(), digits.end(), IsDigit))
        return std::nullopt;
    std::uint64_t number = 0;
    for (const char c : digits)
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    return number;
}

std::string MailFileName(std::uint64_t number)
{
    char name[32];
    std::snprintf(name, sizeof name, "%05llu", static_cast<unsigned long long>(number));
    return std::string(name).append(kMailExtension);
}

// The line is a quoted "From " line of the variant: mboxrd quotes ">From "
// at any depth, mboxo only at depth one.
bool IsQuotedFrom(std::string_view line, MboxVariant variant)
{
    const std::size_t quotes = line.find_first_not_of('>');
    if (quotes == 0 || quotes == std::string_view::npos)
        return false;
    if (variant == MboxVariant::Mboxo && quotes != 1)
        return false;
    return line.substr(quotes).starts_with("From ");
}

std::string Reason(int error)
{
    return platform::ReasonText(platform::FileError{error, false});
}

// The mails already in the folder, by a hash of their bytes, and the next
// free number.
class MailFolder {
public:
    explicit MailFolder(std::string folder) : folder_(std::move(folder)) {}

    // Reads every *.alm file; a file that cannot be read is a problem, as
    // the mail it holds could be imported once more.
    bool Open(std::vector<platform::FileProblem>& problems, std::optional<platform::FileProblem>& failure)
    {
        const auto entries = platform::ListDirectory(folder_);
        if (!entries) {
            failure = platform::FileProblem{folder_, Reason(errno)};
            return false;
        }
        for (const platform::DirectoryEntry& entry : *entries) {
            // Every name counts for the numbering, whatever it names: none
            // of them can be given to a new file.
            if (const auto number = NumberOf(entry.name))
                next_ = std::max(next_, *number + 1);
            if (entry.type != platform::EntryType::RegularFile || !EndsWithIgnoringCase(entry.name, kMailExtension))
                continue;
            const std::string path = JoinPath(folder_, entry.name);
            platform::FileError error;
            const auto bytes = platform::ReadWholeFile(path, error);
            if (!bytes) {
                problems.push_back({path, "cannot be read to compare with the imported mails: " +
                                              platform::ReasonText(error)});
                continue;
            }
            Add(*bytes, path);
        }
        return true;
    }

    // The file that holds exactly these bytes, if one does.
    std::optional<std::string> Find(std::string_view bytes) const
    {
        const auto [first, last] = known_.equal_range(std::hash<std::string_view>{}(bytes));
        for (auto it = first; it != last; ++it) {
            if (it->second.size != bytes.size())
                continue;
            const auto held = platform::ReadWholeFile(it->second.path);
            if (held && *held == bytes)
                return it->second.path;
        }
        return std::nullopt;
    }

    void Add(std::string_view bytes, const std::string& path)
    {
        known_.emplace(std::hash<std::string_view>{}(bytes), Known{bytes.size(), path});
    }

    // Writes a new mail file under the next free number. The path, or
    // nullopt with problem set.
    std::optional<std::string> Write(std::string_view bytes, platform::FileProblem& problem)
    {
        platform::NewFile file(folder_);
        file.Write(bytes);
        for (int taken = 0; taken < kMaxTakenNames; ++taken) {
            const std::string name = MailFileName(next_);
            const platform::NewFile::Outcome outcome = file.Commit(name);
            if (outcome == platform::NewFile::Outcome::NameTaken) {
                ++next_;
                continue;
            }
            const std::string path = JoinPath(folder_, name);
            if (outcome == platform::NewFile::Outcome::Failed) {
                problem = {path, "cannot be written: " + file.Error() + "; the import stopped there"};
                return std::nullopt;
            }
            ++next_;
            return path;
        }
        problem = {JoinPath(folder_, MailFileName(next_)), "cannot be written: " + Reason(EEXIST) +
                                                               "; the import stopped there"};
        return std::nullopt;
    }

private:
    struct Known {
        std::size_t size = 0;
        std::string path;
    };

    std::string folder_;
    std::unordered_multimap<std::size_t, Known> known_;
    std::uint64_t next_ = 1;
};

// One mail taken from the source.
struct SourceMail {
    std::string raw;
    std::optional<MboxVariant> quoting;  // set for the mails of an mbox
};

// The run of one import: the folder, the counts, the problems.
class Importer {
public:
    Importer(MailFolder& folder, ImportResult& result) : folder_(folder), result_(result) {}

    // Takes one mail; origin names it in a problem. The file written or
    // found for it, or nullopt when there is none; ended turns true when
    // the import must end.
    std::optional<std::string> Take(const SourceMail& mail, std::string_view origin, bool& ended)
    {
        const std::string bytes = ImportedMailBytes(mail.raw, mail.quoting);
        if (bytes.empty()) {
            result_.problems.push_back({std::string(origin), "an empty mail; nothing to import"});
            return std::nullopt;
        }
        if (auto there = folder_.Find(bytes)) {
            ++result_.alreadyThere;
            return there;
        }
        platform::FileProblem problem;
        auto path = folder_.Write(bytes, problem);
        if (!path) {
            result_.problems.push_back(std::move(problem));
            ended = true;
            return std::nullopt;
        }
        folder_.Add(bytes, *path);
        ++result_.imported;
        result_.written.push_back(*path);
        return path;
    }

private:
    MailFolder& folder_;
    ImportResult& result_;
};

int ToProgress(std::uint64_t bytes)
{
    return static_cast<int>(std::min<std::uint64_t>(bytes / 1024, std::numeric_limits<int>::max()));
}

// Opens the mbox and reads its first mail, so that a file that is no mbox
// fails before anything is made. False with the failure set.
bool OpenMbox(std::string_view source, mime::MboxReader& reader, std::optional<mime::MboxMail>& first,
              ImportResult& result)
{
    if (reader.Ok())
        first = reader.Next();
    if (!reader.Ok()) {
        result.failure = platform::FileProblem{std::string(source), platform::ReasonText(reader.Error())};
        return false;
    }
    if (!first && reader.Size() > 0) {
        result.failure = platform::FileProblem{std::string(source), "no line starts with \"From \": not an mbox"};
        return false;
    }
    return true;
}

void ImportMbox(std::string_view source, mime::MboxReader& reader, std::optional<mime::MboxMail> mail,
                const ImportOptions& options, Importer& importer, ImportResult& result, JobProgress& progress,
                const StopFlag& stop)
{
    progress.SetRange(0, ToProgress(reader.Size()));
    if (mail && reader.FirstMailOffset() > 0)
        result.problems.push_back(
            {std::string(source), "the text before the first \"From \" line is no mail and was not imported"});
    for (bool ended = false; mail && !ended; mail = reader.Next()) {
        if (stop) {
            result.stopped = true;
            return;
        }
        progress.Report(ToProgress(mail->offset));
        const std::string at = std::string(source) + ": the mail at byte " + std::to_string(mail->offset);
        if (!mail->cut) {
            importer.Take({std::move(mail->bytes), options.mboxVariant}, at, ended);
            continue;
        }
        const std::string cut = "the last mail (from byte " + std::to_string(mail->offset) +
                                ") is cut off: the file ends inside its header or an unclosed part";
        if (mail->bytes.empty()) {
            result.problems.push_back({std::string(source), cut + "; nothing of it to import"});
        } else if (const auto file = importer.Take({std::move(mail->bytes), options.mboxVariant}, at, ended)) {
            result.problems.push_back({std::string(source), cut + "; imported as it stands as " + *file});
        }
    }
    if (!reader.Ok())
        result.problems.push_back({std::string(source), platform::ReasonText(reader.Error())});
}

// A file of a source folder.
struct FolderEntry {
    std::int64_t time = 0;  // Maildir: the delivery time
    std::string name;
    std::string path;
};

bool IsHidden(std::string_view name)
{
    return name.starts_with(".");
}

// The delivery time a Maildir name starts with: "1700000000.M12P34.host".
std::optional<std::int64_t> DeliveryTime(std::string_view name)
{
    const std::size_t dot = name.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > kMaxNumberDigits)
        return std::nullopt;
    std::int64_t time = 0;
    for (const char c : name.substr(0, dot)) {
        if (!IsDigit(c))
            return std::nullopt;
        time = time * 10 + (c - '0');
    }
    return time;
}

// The mails of cur/ and new/ by delivery time, then name; a name without a
// time is placed by the file's modification time.
bool ListMaildir(std::string_view source, std::vector<FolderEntry>& files, ImportResult& result)
{
    for (const std::string_view sub : {"cur", "new"}) {
        const std::string folder = JoinPath(source, sub);
        if (!platform::IsDirectory(folder))
            continue;
        const auto entries = platform::ListDirectory(folder);
        if (!entries) {
            result.failure = platform::FileProblem{folder, Reason(errno)};
            return false;
        }
        for (const platform::DirectoryEntry& entry : *entries) {
            if (entry.type != platform::EntryType::RegularFile || IsHidden(entry.name))
                continue;
            FolderEntry file{0, entry.name, JoinPath(folder, entry.name)};
            if (const auto time = DeliveryTime(entry.name))
                file.time = *time;
            else
                file.time = platform::ModificationTime(file.path).value_or(0);
            files.push_back(std::move(file));
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return std::tie(a.time, a.name) < std::tie(b.time, b.name);
    });
    return true;
}

bool ListEmlFolder(std::string_view source, std::vector<FolderEntry>& files, ImportResult& result)
{
    const auto entries = platform::ListDirectory(source);
    if (!entries) {
        result.failure = platform::FileProblem{std::string(source), Reason(errno)};
        return false;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        if (entry.type == platform::EntryType::RegularFile && !IsHidden(entry.name) &&
            EndsWithIgnoringCase(entry.name, ".eml"))
            files.push_back({0, entry.name, JoinPath(source, entry.name)});
    }
    if (files.empty()) {
        result.failure = platform::FileProblem{std::string(source),
                                               "neither a Maildir (cur/, new/) nor a folder with .eml files"};
        return false;
    }
    return true;
}

void ImportFiles(const std::vector<FolderEntry>& files, Importer& importer, ImportResult& result,
                 JobProgress& progress, const StopFlag& stop)
{
    progress.SetRange(0, static_cast<int>(std::min<std::size_t>(files.size(), std::numeric_limits<int>::max())));
    bool ended = false;
    for (std::size_t k = 0; k < files.size() && !ended; ++k) {
        if (stop) {
            result.stopped = true;
            return;
        }
        progress.Report(static_cast<int>(std::min<std::size_t>(k, std::numeric_limits<int>::max())));
        platform::FileError error;
        std::optional<std::string> raw = platform::ReadWholeFile(files[k].path, error);
        if (!raw) {
            result.problems.push_back({files[k].path, platform::ReasonText(error)});
            continue;
        }
        importer.Take({std::move(*raw), std::nullopt}, files[k].path, ended);
    }
}

// Makes the mail folder with its parents; false with the failure set.
bool MakeMailFolder(std::string_view folder, ImportResult& result)
{
    const platform::EntryType type = platform::TypeOf(folder);
    if (type == platform::EntryType::Directory)
        return true;
    int error = ENOTDIR;
    if (type == platform::EntryType::Missing) {
        errno = 0;
        if (CreateFolderPath(folder, platform::CurrentDirectory()))
            return true;
        error = errno != 0 ? errno : EIO;
    }
    result.failure = platform::FileProblem{std::string(folder), "cannot be made: " + Reason(error)};
    return false;
}

}  // namespace

std::string ImportedMailBytes(std::string_view raw, std::optional<MboxVariant> quoting)
{
    std::string out;
    out.reserve(raw.size() + raw.size() / 16 + 2);
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t lf = raw.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? raw.size() : lf;
        std::string_view line = raw.substr(start, end - start);
        // The CR of a CR LF, or one at the very end, whose LF is missing.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (quoting && !line.empty() && line.front() == '>' && IsQuotedFrom(line, *quoting))
            line.remove_prefix(1);
        out.append(line).append("\r\n");
        start = end + 1;
    }
    return out;
}

ImportResult ImportMails(std::string_view source, std::string_view folder, const ImportOptions& options,
                         JobProgress& progress, const StopFlag& stop)
{
    ImportResult result;
    const platform::EntryType type = platform::TypeOf(source);
    if (type == platform::EntryType::Missing) {
        result.failure = platform::FileProblem{std::string(source), Reason(errno != 0 ? errno : ENOENT)};
        return result;
    }
    if (type == platform::EntryType::Other) {
        result.failure = platform::FileProblem{std::string(source), "is a special file, not a mailbox"};
        return result;
    }
    const bool mbox = type == platform::EntryType::RegularFile;
    std::optional<mime::MboxReader> reader;
    std::optional<mime::MboxMail> first;
    std::vector<FolderEntry> files;
    if (mbox) {
        result.source = ImportSource::Mbox;
        reader.emplace(source);
        if (!OpenMbox(source, *reader, first, result))
            return result;
    } else {
        const bool maildir =
            platform::IsDirectory(JoinPath(source, "cur")) || platform::IsDirectory(JoinPath(source, "new"));
        result.source = maildir ? ImportSource::Maildir : ImportSource::EmlFolder;
        if (!(maildir ? ListMaildir(source, files, result) : ListEmlFolder(source, files, result)))
            return result;
    }

    if (!MakeMailFolder(folder, result))
        return result;
    MailFolder mailFolder{std::string(folder)};
    if (!mailFolder.Open(result.problems, result.failure))
        return result;
    Importer importer(mailFolder, result);
    if (mbox)
        ImportMbox(source, *reader, std::move(first), options, importer, result, progress, stop);
    else
        ImportFiles(files, importer, result, progress, stop);
    return result;
}

}  // namespace postloom
