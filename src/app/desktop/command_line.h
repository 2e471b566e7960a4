#pragma once

// The command line of the desktop program:
//
//   postloom [PROJECT.plp] [auto] [exit] [--screenshot FILE [--info-screenshot FILE]]
//
// "auto" and "exit" count with case, with or without a leading "/" or "-".
// The first word that is not a flag names the project, so "auto" before the
// project file is taken as the file name too. A word that starts with "/"
// is a flag only when the rest is one of the program's flag words;
// otherwise it is an absolute path.

#include "app/app_context.h"

#include <QString>
#include <QStringList>

namespace postloom {

struct CPostloomCommandLineInfo {
    QString projectFile;  // empty: start with a new project
    StartupMarks marks;
    // --screenshot FILE: open the project, build its threads, save a picture
    // of the main window as FILE and end.
    QString screenshotFile;
    // --info-screenshot FILE, with --screenshot: also a picture of the mail
    // information window of the first mail.
    QString infoScreenshotFile;
};

// arguments without the program's name.
CPostloomCommandLineInfo ParseCommandLine(const QStringList& arguments);

}  // namespace postloom
