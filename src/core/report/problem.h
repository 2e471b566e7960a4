#pragma once

// One thing a run met that the user should know of: what kind it is and what
// it is about, never a sentence. Each front words it in its own language
// (problem_wording.h): postloom-batch in English, the desktop program in
// Japanese. Names are CP932, as they are held.

#include <cstdint>
#include <string>
#include <vector>

namespace postloom {

enum class ProblemKind {
    // The project file.
    ProjectMissing,
    ProjectNotAFile,
    ProjectUnreadable,
    NotAProject,
    ProjectCutShort,
    ProjectMailListDamaged,
    SettingHoldsNul,
    // The mail folder.
    MailFolderMissing,
    MailFileUnreadable,
    NotAMailFile,
    MailsLeftOut,
    NoMails,
    // The output folders.
    FolderCreated,
    FolderNotCreated,
    PageFolderNotCreated,
    TemporaryFilesRemoved,
    // The graphics and the index page.
    GraphicNotCopied,
    IndexTemplateMissing,
    IndexPageNotWritten,
    IndexHeaderMissing,
    IndexFooterMissing,
    StylesheetNotWritten,
    // The mail pages.
    MailTemplateMissing,
    MailHeaderMissing,
    MailFooterMissing,
    MailFileMissing,
    MailFileUnreadableForPage,
    UnusableMailFileName,
    PageNotWritten,
    AttachmentNotSaved,
    PageWouldOverwriteMailFile,
    NotRemoved,
    SiteRecordNotWritten,
    PageWouldOverwriteOutput,
    MailsSharePage,
    MailFileGone,
    PagesRemoved,
    AttachmentsRemoved,
    // The search of a modern site.
    SearchNotWritten,
    RunStopped,
    // Saving the project.
    BackupKept,
    ProjectNotSaved,
    // Importing mails.
    LinkPassedOver,
    ImportFailed,
    ImportFileProblem,
    ImportStopped,
};

// Stays the last kind above, so that tables of every kind can be checked.
inline constexpr ProblemKind kLastProblemKind = ProblemKind::ImportStopped;
inline constexpr std::size_t kProblemKindCount = static_cast<std::size_t>(kLastProblemKind) + 1;

struct Problem {
    ProblemKind kind{};
    // The file, folder or setting key it is about; empty when none.
    std::string path{};
    // The system's words for why, when it gave any.
    std::string reason{};
    // Of two mails that give the same page, the later one.
    std::string otherMail{};
    // The page that a mail's page would overwrite or share.
    std::string page{};
    // Of the kinds that count: how many.
    std::uint64_t count = 0;

    bool operator==(const Problem&) const = default;
};

using Problems = std::vector<Problem>;

}  // namespace postloom
