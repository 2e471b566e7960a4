// postloom: the desktop program.

#include "app/desktop/command_line.h"
#include "app/desktop/postloom_app.h"
#include "core/platform/local_time.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    postloom::platform::PinLocalTimeZone();
    // Without a display the unattended run still works: Qt's offscreen
    // platform needs none. It must be chosen before QApplication exists.
    const bool headless = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Postloom"));
    QApplication::setOrganizationName(QStringLiteral("Postloom"));
    // Lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("io.github.postloom.Postloom"));
    QApplication::setQuitOnLastWindowClosed(false);

    const postloom::CPostloomCommandLineInfo commandLine = postloom::ParseCommandLine(QApplication::arguments().mid(1));
    if (headless && commandLine.marks.autoRun == 0 && commandLine.screenshotFile.isEmpty()) {
        std::fputs("postloom: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); without one only the\n"
                   "unattended run is possible: postloom PROJECT.plp auto [exit]\n",
                   stderr);
        return 1;
    }

    postloom::DesktopEnvironment environment;
    environment.headless = headless;
    environment.prompts = std::make_unique<postloom::QtDesktopPrompts>();
    environment.store = std::make_unique<QSettings>();
    postloom::CPostloomApp program(commandLine, std::move(environment));
    QObject::connect(&program, &postloom::CPostloomApp::quitRequested, &application,
                     [](int status) { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    program.start();
    return QApplication::exec();
}
