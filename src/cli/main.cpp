// postloom-batch: converts a Postloom project without a display.

#include "cli/batch_pipeline.h"
#include "cli/terminal_progress.h"
#include "core/html/output_paths.h"
#include "core/import/import_report.h"
#include "core/platform/file_system.h"
#include "core/platform/local_time.h"
#include "core/platform/project_lock.h"
#include "core/report/problem_wording.h"
#include "core/report/run_problems.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

postloom::StopFlag stopRequested{false};

extern "C" void OnInterrupt(int)
{
    stopRequested = true;
}

void PrintUsage(std::FILE* out)
{
    std::fputs("Usage: postloom-batch [--quiet] PROJECT.plp\n"
               "       postloom-batch [--quiet] [--mbox-format=FORMAT] --import SOURCE FOLDER\n"
               "\n"
               "Converts a Postloom project without a display: reads the new mails of its\n"
               "mail folder, threads them, copies the tree graphics, writes the index page\n"
               "and the mail pages, and saves the project when new mails were read.\n"
               "\n"
               "With --import, writes each mail of SOURCE (an mbox file, a Maildir or a\n"
               "folder of .eml files) into the mail folder FOLDER as a file NNNNN.alm with\n"
               "CR LF line ends, adding only the mails that are not there yet. Symbolic\n"
               "links inside SOURCE are passed over and named.\n"
               "\n"
               "Options:\n"
               "  -i, --import              import the mails of SOURCE into FOLDER\n"
               "  -m, --mbox-format=FORMAT  quoting of \"From \" lines: mboxrd (default) or mboxo\n"
               "  -q, --quiet               no progress bars\n"
               "  -h, --help                show this help and exit\n"
               "  -V, --version             show the version and exit\n"
               "\n"
               "Exit status: 0 when everything was converted or imported, 1 when something\n"
               "went wrong (every problem is listed on stderr), 2 for a wrong command line.\n",
               out);
}

// Prints the problems on stderr in English; they hold CP932 paths, the
// terminal wants UTF-8.
void PrintLines(const postloom::Problems& problems)
{
    for (const postloom::Problem& problem : problems)
        std::fprintf(stderr, "postloom-batch: %s\n",
                     postloom::text::Cp932ToUtf8(WordProblem(problem, postloom::ProblemLanguage::English)).c_str());
}

postloom::batch::StageProgress& ChooseProgress(bool quiet, postloom::batch::TerminalProgress& terminal,
                                               postloom::batch::SilentProgress& silent)
{
    if (!quiet && ::isatty(STDERR_FILENO))
        return terminal;
    return silent;
}

// Takes the project's lock for the whole run: another unattended run is
// waited for; a desktop window that has the project open is only told of,
// since a nightly job must not stop because a window was left open (the
// window asks before it saves over a project file changed on disk).
postloom::platform::RunLock LockProject(const std::string& projectPath)
{
    namespace platform = postloom::platform;
    const std::string projectFile =
        postloom::FullPath(projectPath, platform::CurrentDirectory(), postloom::PathStyle::Posix);
    const std::string lockPath = platform::ProjectLockFile(platform::NativePath(projectFile));
    platform::RunLockWait wait;
    wait.stop = &stopRequested;
    wait.onWait = [](const platform::LockOwner& run) {
        std::fprintf(stderr,
                     "postloom-batch: waiting for another unattended run of the project to end (process %" PRId64
                     " on %s)\n",
                     run.pid, run.host.c_str());
    };
    platform::RunLock lock = platform::RunLock::Take(lockPath, wait);
    switch (lock.state()) {
    case platform::RunLockState::WindowHolds:
        std::fprintf(stderr,
                     "postloom-batch: the project is open in a Postloom window (process %" PRId64
                     " on %s); the run goes on, and the window asks before it saves over what this run saves\n",
                     lock.window().pid, lock.window().host.c_str());
        break;
    case platform::RunLockState::NotPossible:
        std::fprintf(stderr, "postloom-batch: cannot lock the project (%s: %s); the run goes on without the lock\n",
                     lockPath.c_str(), std::strerror(lock.error()));
        break;
    case platform::RunLockState::Held:
    case platform::RunLockState::Stopped:
        break;
    }
    return lock;
}

int RunImport(const std::string& source, const std::string& folder, const postloom::ImportOptions& options,
              postloom::batch::StageProgress& progress)
{
    // The command line is the terminal's UTF-8; the core holds CP932.
    const std::string sourcePath = postloom::text::Utf8ToCp932(source);
    const std::string folderPath = postloom::text::Utf8ToCp932(folder);
    postloom::JobProgress& sink = progress.Begin(postloom::batch::Stage::Import);
    const postloom::ImportResult result =
        postloom::ImportMails(sourcePath, folderPath, options, sink, stopRequested);
    progress.End(postloom::batch::Stage::Import);

    postloom::Problems notices;
    postloom::AddImportNotices(result, notices);
    PrintLines(notices);
    postloom::Problems problems;
    postloom::AddImportProblems(result, problems);
    PrintLines(problems);
    if (!result.failure)
        std::fprintf(stderr, "postloom-batch: %s\n", postloom::ImportSummary(result).c_str());
    return result.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    postloom::platform::PinLocalTimeZone();
    bool quiet = false;
    bool import = false;
    std::optional<postloom::MboxVariant> mboxVariant;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            PrintUsage(stdout);
            return 0;
        }
        if (!optionsEnded && (arg == "-V" || arg == "--version")) {
            std::printf("postloom-batch %s\n", POSTLOOM_VERSION);
            return 0;
        }
        std::optional<std::string> formatName;
        if (!optionsEnded && (arg == "-m" || arg == "--mbox-format")) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "postloom-batch: %s needs a format: mboxrd or mboxo\n", arg.c_str());
                return 2;
            }
            formatName = argv[++i];
        } else if (!optionsEnded && arg.starts_with("--mbox-format=")) {
            formatName = arg.substr(arg.find('=') + 1);
        }
        if (formatName) {
            if (*formatName == "mboxrd") {
                mboxVariant = postloom::MboxVariant::Mboxrd;
            } else if (*formatName == "mboxo") {
                mboxVariant = postloom::MboxVariant::Mboxo;
            } else {
                std::fprintf(stderr, "postloom-batch: unknown mbox format %s (mboxrd or mboxo)\n",
                             formatName->c_str());
                return 2;
            }
        } else if (!optionsEnded && (arg == "-q" || arg == "--quiet")) {
            quiet = true;
        } else if (!optionsEnded && (arg == "-i" || arg == "--import")) {
            import = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "postloom-batch: unknown option %s\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        } else {
            operands.push_back(arg);
        }
    }
    if (mboxVariant && !import) {
        std::fprintf(stderr, "postloom-batch: --mbox-format goes with --import\n");
        return 2;
    }
    if (import && operands.size() != 2) {
        std::fprintf(stderr, "postloom-batch: --import takes a source and a mail folder\n");
        PrintUsage(stderr);
        return 2;
    }
    if (!import && operands.size() > 1) {
        std::fprintf(stderr, "postloom-batch: only one project file can be converted at a time\n");
        return 2;
    }
    if (operands.empty()) {
        PrintUsage(stderr);
        return 2;
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    postloom::batch::TerminalProgress terminal(stderr);
    postloom::batch::SilentProgress silent;
    postloom::batch::StageProgress& progress = ChooseProgress(quiet, terminal, silent);

    if (import) {
        const postloom::ImportOptions options{.mboxVariant = mboxVariant.value_or(postloom::MboxVariant::Mboxrd)};
        return RunImport(operands[0], operands[1], options, progress);
    }

    const postloom::platform::RunLock lock = LockProject(operands[0]);
    if (lock.state() == postloom::platform::RunLockState::Stopped) {
        std::fprintf(stderr, "postloom-batch: interrupted while waiting for the project\n");
        return 1;
    }
    const postloom::batch::BatchReport report = postloom::batch::RunBatch(operands[0], progress, stopRequested);

    PrintLines(report.notices);
    PrintLines(report.problems);
    if (stopRequested) {
        std::fprintf(stderr, "postloom-batch: interrupted; the project was not saved\n");
        return 1;
    }
    if (report.projectLoaded) {
        const postloom::MailPageResult& pages = report.pages;
        const std::size_t skipped = postloom::SkippedFiles(report.read, pages);
        std::fprintf(stderr,
                     "postloom-batch: %zu mails read (%zu new), %d pages written, %d unchanged, %zu files skipped%s\n",
                     report.mailsInProject, report.read.appended, pages.pagesWritten, pages.pagesUnchanged, skipped,
                     report.saved ? ", project saved" : "");
    }
    return report.ok() ? 0 : 1;
}
