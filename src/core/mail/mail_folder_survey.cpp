#include "core/mail/mail_folder_survey.h"

#include "core/mail/folder_reader.h"
#include "core/mail/mail_parser.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/text/cp932.h"

#include <unistd.h>

#include <map>
#include <optional>
#include <vector>

namespace postloom {

namespace {

constexpr std::string_view kMboxStart = "From ";

// The first bytes of the file; empty when it cannot be read.
std::string FirstBytes(const std::string& path, std::size_t count)
{
    platform::FileError error;
    const std::optional<platform::ReadableFile> file = platform::OpenReadable(path, error);
    if (!file)
        return {};
    std::string bytes(count, '\0');
    const ssize_t got = ::read(file->fd.get(), bytes.data(), count);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

bool LooksLikeMail(const std::string& path, const std::string& name)
{
    MailRecord record;
    if (ParseMailFile(record, path, name) != MailFileRead::Mail)
        return false;
    return !record.from.empty() || !record.messageId.empty() || record.date != 0;
}

// The extension as a pattern takes it: lower case, without the dot; empty
// for a name without one (a leading dot starts a hidden name, not an
// extension) and for one that holds a wildcard character.
std::string ExtensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return {};
    const std::string_view extension = name.substr(dot + 1);
    if (extension.find_first_of("*?") != std::string_view::npos)
        return {};
    return text::ToLowerAscii(extension);
}

struct ExtensionCount {
    std::size_t files = 0;
    std::size_t firstSeen = 0;
};

}  // namespace

MailFolderSurvey SurveyMailFolder(std::string_view cp932Folder)
{
    MailFolderSurvey survey;
    std::optional<std::vector<platform::DirectoryEntry>> listing;
    if (platform::IsDirectory(cp932Folder))
        listing = platform::ListDirectory(cp932Folder);
    if (!listing) {
        survey.kind = MailFolderKind::Unreadable;
        return survey;
    }
    std::string folder(cp932Folder);
    if (folder.empty() || folder.back() != '/')
        folder += '/';

    std::map<std::string, ExtensionCount> extensions;
    for (std::size_t k = 0; k < listing->size(); ++k) {
        const platform::DirectoryEntry& entry = (*listing)[k];
        if (entry.type == platform::EntryType::Directory) {
            if (entry.name == "cur" || entry.name == "new") {
                survey.kind = MailFolderKind::Maildir;
                return survey;
            }
            continue;
        }
        if (entry.type != platform::EntryType::RegularFile || entry.name.starts_with('.'))
            continue;
        const std::string path = folder + entry.name;
        if (FirstBytes(path, kMboxStart.size()) == kMboxStart) {
            if (survey.mboxPath.empty())
                survey.mboxPath = path;
            continue;
        }
        if (!LooksLikeMail(path, entry.name))
            continue;
        ExtensionCount& count = extensions.try_emplace(ExtensionOf(entry.name), ExtensionCount{0, k}).first->second;
        ++count.files;
    }

    if (extensions.empty()) {
        survey.kind = survey.mboxPath.empty() ? MailFolderKind::NoMail : MailFolderKind::Mbox;
        return survey;
    }
    const auto wins = [](const ExtensionCount& a, const ExtensionCount& b) {
        return a.files != b.files ? a.files > b.files : a.firstSeen < b.firstSeen;
    };
    auto best = extensions.begin();
    for (auto it = extensions.begin(); it != extensions.end(); ++it) {
        if (wins(it->second, best->second))
            best = it;
    }
    survey.kind = MailFolderKind::MailFiles;
    survey.mboxPath.clear();
    survey.pattern = best->first.empty() ? std::string("*") : "*." + best->first;
    survey.matching = CountMailFiles(cp932Folder, survey.pattern).value_or(0);
    return survey;
}

}  // namespace postloom
