#include "core/import/mail_import.h"

#include "core/html/output_paths.h"
#include "core/import/imported_bytes.h"
#include "core/import/source_folder.h"
#include "core/mime/mbox_reader.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/new_file.h"

#include <unistd.h>

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

std::string Reason(int error)
{
    return platform::ReasonText(platform::FileError{error, false});
}

// A mail is read, compared and written in pieces of this size, so that the
// memory an import takes does not grow with the size of its mails.
constexpr std::uint64_t kPiece = 1 << 20;

// The key under which the mails of the folder are looked up: FNV-1a over
// the bytes and their count. Equal keys are only candidates; the bytes
// themselves decide.
class ContentKey {
public:
    void Add(std::string_view bytes)
    {
        for (const char c : bytes) {
            hash_ ^= static_cast<unsigned char>(c);
            hash_ *= 0x100000001b3ULL;
        }
        size_ += bytes.size();
    }
    std::uint64_t hash() const { return hash_; }
    std::uint64_t size() const { return size_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
    std::uint64_t size_ = 0;
};

// Reads [begin, end) of an open file; false with reason set.
bool ReadAt(int fd, std::uint64_t begin, std::uint64_t end, std::string& out, std::string& reason)
{
    out.resize(static_cast<std::size_t>(end - begin));
    if (platform::ReadExactly(fd, begin, out.data(), out.size()))
        return true;
    reason = Reason(errno);
    return false;
}

// One mail of the source: where its bytes are, and how they are quoted.
struct SourceMail {
    // Reads [begin, end) of the source into out; false with reason set.
    std::function<bool(std::uint64_t, std::uint64_t, std::string&, std::string&)> read;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::optional<MboxVariant> quoting;  // set for the mails of an mbox
};

// Hands the bytes the mail is written with to sink, piece by piece. False
// when the source cannot be read (reason set) or sink returned false.
bool PassMail(const SourceMail& mail, const std::function<bool(std::string_view)>& sink, std::string& reason,
              std::size_t* unquoted = nullptr)
{
    ImportedBytes bytes(mail.quoting);
    std::string in;
    std::string out;
    for (std::uint64_t at = mail.begin; at < mail.end; at += in.size()) {
        if (!mail.read(at, std::min(mail.end, at + kPiece), in, reason))
            return false;
        out.clear();
        bytes.Feed(in, out);
        if (!out.empty() && !sink(out))
            return false;
    }
    out.clear();
    bytes.Finish(out);
    if (!out.empty() && !sink(out))
        return false;
    if (unquoted != nullptr)
        *unquoted = bytes.UnquotedLines();
    return true;
}

// Hands the bytes a mail is written with to a sink again, piece by piece;
// false when the source cannot be read (reason set) or the sink said no.
using Replay = std::function<bool(const std::function<bool(std::string_view)>&, std::string&)>;

// Whether the file at path holds exactly the bytes the mail is written
// with; any failure to read counts as no.
bool HoldsMail(const std::string& path, std::uint64_t size, const Replay& mail)
{
    platform::FileError error;
    const std::optional<platform::ReadableFile> file = platform::OpenReadable(path, error);
    if (!file || file->size != size)
        return false;
    std::uint64_t at = 0;
    std::string held;
    std::string reason;
    const bool same = mail(
        [&](std::string_view piece) {
            if (at + piece.size() > size || !ReadAt(file->fd.get(), at, at + piece.size(), held, reason) ||
                held != piece)
                return false;
            at += piece.size();
            return true;
        },
        reason);
    return same && at == size;
}

// The mails already in the folder, by a key of their bytes, and the next
// free number.
class MailFolder {
public:
    explicit MailFolder(std::string folder) : folder_(std::move(folder)) {}

    const std::string& path() const { return folder_; }

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
            std::string reason;
            if (const auto key = KeyOf(path, reason))
                Add(*key, path);
            else
                problems.push_back({path, "cannot be read to compare with the imported mails: " + reason});
        }
        return true;
    }

    // The file that holds exactly the bytes of the mail, if one does.
    std::optional<std::string> Find(const ContentKey& key, const Replay& mail) const
    {
        const auto [first, last] = known_.equal_range(key.hash());
        for (auto it = first; it != last; ++it) {
            if (it->second.size == key.size() && HoldsMail(it->second.path, key.size(), mail))
                return it->second.path;
        }
        return std::nullopt;
    }

    void Add(const ContentKey& key, const std::string& path)
    {
        known_.emplace(key.hash(), Known{key.size(), path});
    }

    // Gives the complete file the next free number. The path, or nullopt
    // with problem set.
    std::optional<std::string> Commit(platform::NewFile& file, platform::FileProblem& problem)
    {
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
        std::uint64_t size = 0;
        std::string path;
    };

    static std::optional<ContentKey> KeyOf(const std::string& path, std::string& reason)
    {
        platform::FileError error;
        const std::optional<platform::ReadableFile> file = platform::OpenReadable(path, error);
        if (!file) {
            reason = platform::ReasonText(error);
            return std::nullopt;
        }
        ContentKey key;
        std::string piece;
        for (std::uint64_t at = 0; at < file->size; at += piece.size()) {
            if (!ReadAt(file->fd.get(), at, std::min(file->size, at + kPiece), piece, reason))
                return std::nullopt;
            key.Add(piece);
        }
        return key;
    }

    std::string folder_;
    std::unordered_multimap<std::uint64_t, Known> known_;
    std::uint64_t next_ = 1;
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
        // The first pass keys the mail; a mail of at most one piece is kept
        // from it for the comparisons and the writing, a larger one is read
        // again for each.
        ContentKey key;
        std::string kept;
        bool whole = true;
        std::size_t unquoted = 0;
        std::string reason;
        const auto keyed = [&](std::string_view piece) {
            key.Add(piece);
            whole = whole && kept.size() + piece.size() <= kPiece;
            if (whole)
                kept.append(piece);
            else
                std::string().swap(kept);
            return true;
        };
        if (!PassMail(mail, keyed, reason, &unquoted)) {
            result_.problems.push_back({std::string(origin), reason});
            return std::nullopt;
        }
        if (key.size() == 0) {
            result_.problems.push_back({std::string(origin), "an empty mail; nothing to import"});
            return std::nullopt;
        }
        const Replay replay = [&](const std::function<bool(std::string_view)>& sink, std::string& why) {
            return whole ? sink(kept) : PassMail(mail, sink, why);
        };
        if (auto there = folder_.Find(key, replay)) {
            ++result_.alreadyThere;
            return there;
        }
        platform::NewFile file(folder_.path());
        const bool passed = replay(
            [&file](std::string_view piece) {
                file.Write(piece);
                return file.Ok();
            },
            reason);
        if (!passed && !reason.empty()) {
            result_.problems.push_back({std::string(origin), reason});
            return std::nullopt;
        }
        // A failed write is told by the commit.
        platform::FileProblem problem;
        auto path = folder_.Commit(file, problem);
        if (!path) {
            result_.problems.push_back(std::move(problem));
            ended = true;
            return std::nullopt;
        }
        folder_.Add(key, *path);
        ++result_.imported;
        result_.unquotedLines += unquoted;
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
    const auto read = [&reader](std::uint64_t begin, std::uint64_t end, std::string& out, std::string& reason) {
        if (reader.ReadRange(begin, end, out))
            return true;
        reason = platform::ReasonText(reader.Error());
        return false;
    };
    for (bool ended = false; mail && !ended; mail = reader.Next()) {
        if (stop) {
            result.stopped = true;
            return;
        }
        progress.Report(ToProgress(mail->offset));
        const std::string at = std::string(source) + ": the mail at byte " + std::to_string(mail->offset);
        const SourceMail taken{read, mail->begin, mail->end, options.mboxVariant};
        if (!mail->cut) {
            importer.Take(taken, at, ended);
        } else {
            const std::string cut = "the last mail (from byte " + std::to_string(mail->offset) +
                                    ") is cut off: the file ends inside its header or an unclosed part";
            if (mail->begin == mail->end) {
                result.problems.push_back({std::string(source), cut + "; nothing of it to import"});
            } else if (const auto file = importer.Take(taken, at, ended)) {
                result.problems.push_back({std::string(source), cut + "; imported as it stands as " + *file});
            }
        }
        // A mail that could not be read was reported with its place.
        if (!reader.Ok())
            return;
    }
    if (!reader.Ok())
        result.problems.push_back({std::string(source), platform::ReasonText(reader.Error())});
}

// A file of a source folder.
struct FolderEntry {
    std::int64_t time = 0;  // Maildir: the delivery time
    const SourceFolder* folder = nullptr;
    SourceFolder::Entry entry;
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

void PassOverLink(const SourceFolder& folder, const SourceFolder::Entry& entry, ImportResult& result)
{
    result.passedLinks.push_back(folder.PathOf(entry));
}

// The folders of a source: the source itself, and for a Maildir its cur/
// and new/ (each may be missing).
struct SourceFolders {
    std::optional<SourceFolder> top;
    std::vector<SourceFolder> maildir;
};

// Whether the source is a Maildir: it has a folder cur/ or new/ (not a link
// to one, which is passed over). Opens those folders.
bool OpenMaildir(SourceFolders& folders, ImportResult& result)
{
    bool maildir = false;
    for (const std::string_view sub : {"cur", "new"}) {
        const SourceFolder::Entry entry{std::string(sub), std::string(sub), SourceFolder::Kind::Other};
        const std::optional<SourceFolder::Kind> kind = folders.top->KindOf(sub);
        if (kind == SourceFolder::Kind::Link) {
            PassOverLink(*folders.top, entry, result);
            continue;
        }
        if (kind != SourceFolder::Kind::Folder)
            continue;
        maildir = true;
        auto folder = folders.top->OpenFolder(entry);
        if (!folder) {
            result.failure = platform::FileProblem{folders.top->PathOf(entry), Reason(errno)};
            return true;
        }
        folders.maildir.push_back(std::move(*folder));
    }
    return maildir;
}

// The mails of cur/ and new/ by delivery time, then name; a name without a
// time is placed by the file's modification time.
bool ListMaildir(const SourceFolders& folders, std::vector<FolderEntry>& files, ImportResult& result)
{
    for (const SourceFolder& folder : folders.maildir) {
        const auto entries = folder.List();
        if (!entries) {
            result.failure = platform::FileProblem{folder.path(), Reason(errno)};
            return false;
        }
        for (const SourceFolder::Entry& entry : *entries) {
            if (IsHidden(entry.name))
                continue;
            if (entry.kind == SourceFolder::Kind::Link)
                PassOverLink(folder, entry, result);
            if (entry.kind != SourceFolder::Kind::File)
                continue;
            FolderEntry file{0, &folder, entry};
            if (const auto time = DeliveryTime(entry.name))
                file.time = *time;
            else
                file.time = folder.ModificationTime(entry).value_or(0);
            files.push_back(std::move(file));
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return std::tie(a.time, a.entry.name) < std::tie(b.time, b.entry.name);
    });
    return true;
}

bool ListEmlFolder(const SourceFolder& folder, std::vector<FolderEntry>& files, ImportResult& result)
{
    const auto entries = folder.List();
    if (!entries) {
        result.failure = platform::FileProblem{folder.path(), Reason(errno)};
        return false;
    }
    for (const SourceFolder::Entry& entry : *entries) {
        if (IsHidden(entry.name) || !EndsWithIgnoringCase(entry.name, ".eml"))
            continue;
        if (entry.kind == SourceFolder::Kind::Link)
            PassOverLink(folder, entry, result);
        if (entry.kind == SourceFolder::Kind::File)
            files.push_back({0, &folder, entry});
    }
    if (files.empty()) {
        result.failure = platform::FileProblem{folder.path(),
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
        const FolderEntry& file = files[k];
        const std::string path = file.folder->PathOf(file.entry);
        platform::FileError error;
        const std::optional<platform::ReadableFile> opened = file.folder->OpenFile(file.entry, error);
        if (!opened && error.code == ELOOP) {
            // A link put in the file's place since the listing.
            PassOverLink(*file.folder, file.entry, result);
            continue;
        }
        if (!opened) {
            result.problems.push_back({path, platform::ReasonText(error)});
            continue;
        }
        const int fd = opened->fd.get();
        const auto read = [fd](std::uint64_t begin, std::uint64_t end, std::string& out, std::string& reason) {
            return ReadAt(fd, begin, end, out, reason);
        };
        importer.Take({read, 0, opened->size, std::nullopt}, path, ended);
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
    SourceFolders folders;
    std::vector<FolderEntry> files;
    if (mbox) {
        result.source = ImportSource::Mbox;
        result.mboxVariant = options.mboxVariant;
        reader.emplace(source);
        if (!OpenMbox(source, *reader, first, result))
            return result;
    } else {
        folders.top = SourceFolder::Open(source);
        if (!folders.top) {
            result.failure = platform::FileProblem{std::string(source), Reason(errno)};
            return result;
        }
        const bool maildir = OpenMaildir(folders, result);
        if (result.failure)
            return result;
        result.source = maildir ? ImportSource::Maildir : ImportSource::EmlFolder;
        if (!(maildir ? ListMaildir(folders, files, result) : ListEmlFolder(*folders.top, files, result)))
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
