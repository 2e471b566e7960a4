#pragma once

// What a folder the user picked for a new project holds: mail files of one
// kind (and the pattern that takes them), a Maildir or an mbox file to be
// imported first, or nothing that looks like mail.

#include <cstddef>
#include <string>
#include <string_view>

namespace postloom {

enum class MailFolderKind {
    MailFiles,   // files that look like mail: pattern takes the most common kind
    Maildir,     // a folder with cur/ or new/
    Mbox,        // no mail files, but a file that starts as an mbox does
    NoMail,      // nothing of the above
    Unreadable,  // missing, not a folder, or cannot be listed
};

struct MailFolderSurvey {
    MailFolderKind kind = MailFolderKind::NoMail;
    // MailFiles: "*.ext" (the extension in lower case) for the extension
    // most mail files share, "*" when most have none (numbered files).
    std::string pattern;
    // MailFiles: the files the pattern takes (CountMailFiles).
    std::size_t matching = 0;
    // Mbox: the path of the first mbox file in listing order; CP932.
    std::string mboxPath;
};

// A file looks like mail when it reads as one (a header line before the
// first empty line, no NUL in its first bytes) and names a sender, a date
// or a message id: a text file with a "Note:" line does not. An mbox file
// (its first line starts with "From ") is never taken as one mail. Among
// the mail files, the extension shared by most wins; on a tie, the one met
// first in the folder's byte order of names. cp932Folder may be relative to
// the working directory.
MailFolderSurvey SurveyMailFolder(std::string_view cp932Folder);

}  // namespace postloom
