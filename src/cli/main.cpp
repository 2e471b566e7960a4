// postloom-batch: converts a Postloom project without a display.

#include "cli/batch_pipeline.h"
#include "cli/terminal_progress.h"
#include "core/report/run_problems.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

postloom::StopFlag stopRequested{false};

extern "C" void OnInterrupt(int)
{
    stopRequested = true;
}

void PrintUsage(std::FILE* out)
{
    std::fputs("Usage: postloom-batch [--quiet] PROJECT.plp\n"
               "\n"
               "Converts a Postloom project without a display: reads the new mails of its\n"
               "mail folder, threads them, copies the tree graphics, writes the index page\n"
               "and the mail pages, and saves the project when new mails were read.\n"
               "\n"
               "Options:\n"
               "  -q, --quiet    no progress bars\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n"
               "\n"
               "Exit status: 0 when everything was converted, 1 when something went wrong\n"
               "(every problem is listed on stderr), 2 for a wrong command line.\n",
               out);
}

}  // namespace

int main(int argc, char** argv)
{
    bool quiet = false;
    std::string project;
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
        if (!optionsEnded && (arg == "-q" || arg == "--quiet")) {
            quiet = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "postloom-batch: unknown option %s\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        } else if (project.empty()) {
            project = arg;
        } else {
            std::fprintf(stderr, "postloom-batch: only one project file can be converted at a time\n");
            return 2;
        }
    }
    if (project.empty()) {
        PrintUsage(stderr);
        return 2;
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    postloom::batch::TerminalProgress terminal(stderr);
    postloom::batch::SilentProgress silent;
    const bool showProgress = !quiet && ::isatty(STDERR_FILENO);
    postloom::batch::StageProgress& progress = showProgress ? static_cast<postloom::batch::StageProgress&>(terminal)
                                                            : static_cast<postloom::batch::StageProgress&>(silent);

    const postloom::batch::BatchReport report = postloom::batch::RunBatch(project, progress, stopRequested);

    // The lines hold CP932 paths; the terminal wants UTF-8.
    for (const std::string& notice : report.notices)
        std::fprintf(stderr, "postloom-batch: %s\n", postloom::text::Cp932ToUtf8(notice).c_str());
    for (const std::string& problem : report.problems)
        std::fprintf(stderr, "postloom-batch: %s\n", postloom::text::Cp932ToUtf8(problem).c_str());
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
