#include "app/desktop/command_line.h"

namespace postloom {

namespace {

bool IsFlagWord(const QString& word)
{
    return word == QLatin1String("auto") || word == QLatin1String("exit");
}

}  // namespace

CPostloomCommandLineInfo ParseCommandLine(const QStringList& arguments)
{
    CPostloomCommandLineInfo info;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--screenshot") || argument == QLatin1String("--info-screenshot")) {
            if (i + 1 < arguments.size()) {
                (argument == QLatin1String("--screenshot") ? info.screenshotFile : info.infoScreenshotFile) =
                    arguments.at(++i);
            }
            continue;
        }
        QString word = argument;
        bool flag = false;
        if (argument.startsWith(QLatin1Char('-'))) {
            word = argument.mid(1);
            flag = true;
        } else if (argument.startsWith(QLatin1Char('/')) && IsFlagWord(argument.mid(1))) {
            word = argument.mid(1);
            flag = true;
        }
        if (word == QLatin1String("auto")) {
            info.marks.autoRun = 1;
        } else if (word == QLatin1String("exit")) {
            info.marks.exitAfterRun = 1;
        }
        // Unknown flags are ignored; a plain word names the project when
        // none has been named yet.
        if (!flag && info.projectFile.isEmpty()) {
            info.projectFile = argument;
        }
    }
    return info;
}

}  // namespace postloom
