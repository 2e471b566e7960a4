#pragma once

// Importing mail from where mail programs keep it (an mbox file, a Maildir,
// a folder of .eml files) into a mail folder of one file per mail, which a
// project then reads like any other.
//
// Each mail becomes a file NNNNN.alm in the folder: five digits, numbered on
// from the highest all-digit name NNN.alm already there (six digits and more
// past 99999). Its bytes are the mail's own with every line ending in CR LF:
// a LF alone becomes CR LF, a CR LF stays, a CR alone is kept as it is (the
// reader keeps it too), and a last line without an end gets CR LF. Nothing
// else of the mail is changed; MIME is decoded when the pages are made.
//
// Importing the same source again adds only the mails that are not there:
// a mail counts as there when a *.alm file of the folder holds exactly the
// bytes it would be written with. Message-Id and all, a mail is the same
// only when every byte is, so a copy with the same Message-Id but other
// bytes (another list's copy, a resent mail) is imported; the same mail
// twice in one source is imported once. The folder itself is the record of
// what was imported: no index is kept beside it.
//
// An import never follows a symbolic link inside its source: a link in a
// Maildir or in a folder of .eml files (to /etc/shadow, say) is passed over
// and named, never read. The source itself may be a link: the user named it.
//
// Mails of any size are read, compared and written in pieces: the memory an
// import takes does not grow with the size of its mails.
//
// Nothing in the folder is ever replaced: each file is written whole under
// a name of its own and then linked into place by a call that fails when the
// name was taken meanwhile, and the next number is tried.

#include "core/platform/file_problem.h"
#include "core/platform/job_control.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

// How an mbox quotes body lines that start with "From ". mboxrd quotes
// every ">...>From " line with one more ">", and reading takes one away
// from each; mboxo quotes only "From " itself, so only ">From " is read back
// as "From " (a ">From " the mail really held cannot be told apart).
enum class MboxVariant { Mboxrd, Mboxo };

struct ImportOptions {
    MboxVariant mboxVariant = MboxVariant::Mboxrd;
};

enum class ImportSource {
    Mbox,      // a file
    Maildir,   // a folder with cur/ or new/: both read, by delivery time
    EmlFolder  // any other folder: its *.eml files (ASCII case ignored), by name
};

struct ImportResult {
    ImportSource source = ImportSource::Mbox;
    MboxVariant mboxVariant = MboxVariant::Mboxrd;  // how an mbox was read
    // Set when nothing could be imported: the source cannot be read or holds
    // no mail of its kind, or the mail folder cannot be made or listed.
    // path is the file or folder at fault; CP932.
    std::optional<platform::FileProblem> failure;
    std::size_t imported = 0;
    std::size_t alreadyThere = 0;
    // The files written, in the order of the source; CP932 paths.
    std::vector<std::string> written;
    // The quoted "From " lines that lost a ">" in the files written: a
    // count far from what the mailbox should hold tells a wrong variant.
    std::size_t unquotedLines = 0;
    // The symbolic links in the source that were passed over, not read;
    // CP932 paths. Not a problem: nothing of the user's mail is lost.
    std::vector<std::string> passedLinks;
    // What went wrong on the way, the rest being imported: a cut last mail
    // of an mbox (imported as it stands), text before the first mail of an
    // mbox, entries that cannot be read, existing files that cannot be
    // compared, an empty mail, a file that cannot be written (the import
    // stops there, so the numbers keep the order of the source).
    std::vector<platform::FileProblem> problems;
    bool stopped = false;  // the stop flag ended the import early

    bool ok() const { return !failure && problems.empty() && !stopped; }
};

// Imports the mails of source (an mbox file, a Maildir or a folder of .eml
// files) into folder, which is created with its parents when missing. Both
// paths are CP932 and may be relative to the working directory. Progress:
// SetRange once (the mails of a folder, or the size of an mbox in KiB), then
// a Report before each mail. The stop flag is tested before every mail.
ImportResult ImportMails(std::string_view source, std::string_view folder, const ImportOptions& options,
                         JobProgress& progress, const StopFlag& stop);

}  // namespace postloom
