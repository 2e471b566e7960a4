#pragma once

// The desktop program as a whole: joins the document, the main window and
// its view, opens the project named on the command line, keeps the four
// recently used projects, and carries the unattended run ("auto", "exit")
// to its end.
//
// The unattended run ends in one of three ways: the chain completes (with
// "exit", Save and Exit follow); a step of the chain is refused (no mails,
// for instance), which ends it early; or something would ask the user. In
// every case both start-up marks are cleared, so a later manual command
// never saves and exits by surprise. Without a display the program serves
// only unattended runs: any early end or question writes a message to
// stderr and ends the program with status 1.

#include "app/app_context.h"
#include "app/desktop/command_line.h"
#include "app/desktop/desktop_prompts.h"
#include "app/desktop/folder_project_command.h"
#include "app/desktop/import_command.h"
#include "app/desktop/main_frame.h"
#include "app/desktop/postloom_doc.h"

#include <QLibraryInfo>
#include <QObject>
#include <QStringList>

#include <memory>

class QDialog;
class QSettings;
class QTextBrowser;
class QTranslator;

namespace postloom {

inline constexpr int kRecentFileCount = 4;

// The version box "ﾊﾞｰｼﾞｮﾝ情報(Postloom)".
std::unique_ptr<QDialog> CreateVersionBox(QWidget* parent);

struct DesktopEnvironment {
    // No display: only the unattended run is served.
    bool headless = false;
    std::unique_ptr<DesktopPrompts> prompts;
    // Where the recently used projects are kept.
    std::unique_ptr<QSettings> store;
    // The folder of Qt's own translations: its Japanese texts turn the
    // standard buttons and dialogs Japanese. Without them the program still
    // starts, with Qt's English texts.
    QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
};

class CPostloomApp final : public QObject {
    Q_OBJECT

public:
    CPostloomApp(CPostloomCommandLineInfo commandLine, DesktopEnvironment environment);
    ~CPostloomApp() override;

    // Opens the project of the command line (or a new one) and shows the
    // main window.
    void start();

    AppContext& context() { return *context_; }
    CPostloomDoc& document() { return *document_; }
    CMainFrame& frame() { return *frame_; }
    CPostloomView& view() { return frame_->view(); }
    UnattendedGate& gate() { return gate_; }
    // The help window, once it was opened.
    QTextBrowser* helpWindow() const { return help_.get(); }

    QStringList recentFiles() const { return recent_; }
    // Open, a recent entry, a drop: asks about changes first.
    bool openProject(const QString& path);
    // Closing: stops the workers that can stop, waits for every worker
    // while their messages are still handled, then asks about changes.
    // False when the user cancelled.
    bool queryClose();
    // The stop button: the running worker stops at its next test.
    void stopRun();
    // ﾌｧｲﾙ → ｲﾝﾎﾟｰﾄ... and ﾌｫﾙﾀﾞからｲﾝﾎﾟｰﾄ....
    ImportCommand& importCommand() { return *import_; }
    // ﾌｧｲﾙ → ﾌｫﾙﾀﾞから新規作成....
    FolderProjectCommand& folderProjectCommand() { return *folderProject_; }

Q_SIGNALS:
    // The program is to end with status.
    void quitRequested(int status);

private:
    void chooseAndOpen();
    // The help window at page (a file of the help, "index.html" first).
    void showHelp(const QString& page = QStringLiteral("index.html"));
    void addRecent(const QString& path);
    void removeRecent(const QString& path);
    void storeRecent();
    void commandDropped(int id);
    void progressEnded();
    void endUnattendedRun();
    void requestQuit();
    // The window layout is restored at start and kept at the end.
    bool keepsLayout() const;
    void takeScreenshot();
    void saveScreenshot();

    CPostloomCommandLineInfo commandLine_;
    bool headless_;
    // Installed before any window exists, so that every one of them is
    // built with the Japanese texts; none when the file is missing.
    std::unique_ptr<QTranslator> qtTexts_;
    std::unique_ptr<DesktopPrompts> interactive_;
    UnattendedGate gate_;
    std::unique_ptr<QSettings> store_;
    QStringList recent_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<CPostloomDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<QTextBrowser> help_;
    // Made after the frame, ended before it.
    std::unique_ptr<ImportCommand> import_;
    std::unique_ptr<FolderProjectCommand> folderProject_;
    // The automatic chain runs and has not ended yet.
    bool runInProgress_ = false;
    bool quitting_ = false;
    CommandDispatcher::Registration routes_;
};

}  // namespace postloom
