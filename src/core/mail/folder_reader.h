#pragma once

// Reading the mail folder: every file of the folder that matches MailExt and
// is not yet in mailList is parsed and appended.

#include "core/platform/file_problem.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

// "*" stands for any run of characters, "?" for exactly one (a double-byte
// character counts as one), ASCII case ignored; "*.*" matches every name.
bool MatchesMailPattern(std::string_view name, std::string_view pattern);

// The files of mailFolder that ReadMailFolder takes as mails under pattern
// (folders and special files are passed over, and so are the program's own
// hidden files); nullopt when the folder is missing or cannot be listed.
std::optional<std::size_t> CountMailFiles(std::string_view mailFolder, std::string_view pattern);

struct FolderReadResult {
    bool folderFound = true;       // false: the folder is missing, not a folder or cannot be listed
    std::size_t matched = 0;       // entries that match MailExt (the progress range)
    std::size_t appended = 0;      // new records
    // Matching files that could not be opened: the bare name and the reason.
    std::vector<platform::FileProblem> unreadable;
    // Matching files whose first bytes hold no header line (an image saved
    // under a mail's name): the bare names. They get no record.
    std::vector<std::string> notMail;
    // New matching files that were not read because the list already held
    // kMaxStoredMails mails.
    std::size_t leftOut = 0;
    bool stopped = false;          // the stop flag ended the job early
};

// Reads the folder mailFolder (TargetPath already resolved against the
// project folder) into settings.mailList. Progress: SetRange(0, matched),
// then one Report per entry of the second pass, 0, 1, 2, ... Directories
// and special files are passed over but counted. A matching file that cannot
// be opened, or that is not a mail, is not appended. Nothing is appended once the list holds
// kMaxStoredMails mails, the most a project file stores: a mail beyond that
// would get a page but never be stored, and no stored mail may make room for
// it. The stop flag is tested before every entry but the first.
FolderReadResult ReadMailFolder(ProjectSettings& settings, std::string_view mailFolder, JobProgress& progress,
                                const StopFlag& stop);

}  // namespace postloom
