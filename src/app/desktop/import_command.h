#pragma once

// ﾌｧｲﾙ → ｲﾝﾎﾟｰﾄ... and ﾌｫﾙﾀﾞからｲﾝﾎﾟｰﾄ...: the mails of an mbox file (or of a
// Maildir or a folder of .eml files) become one file each in a mail folder
// the user picks or names anew, as postloom-batch --import makes them; then
// the program offers a new project that reads that folder.

#include "app/command_dispatcher.h"

#include <QString>

#include <functional>
#include <memory>

namespace postloom {

class CPostloomApp;
class CImportThread;

enum class ImportFrom { MboxFile, Folder };

class ImportCommand final {
public:
    explicit ImportCommand(CPostloomApp& app);
    // Stops a running import and waits for its end.
    ~ImportCommand();
    ImportCommand(const ImportCommand&) = delete;
    ImportCommand& operator=(const ImportCommand&) = delete;

    // Asks for the source, then in the import dialog for the mail folder
    // and the mbox format, and starts the import on a worker. While it
    // runs, the status bar shows its progress and the stop button, and the
    // project's commands wait, as for the other long runs.
    void run(ImportFrom from);
    // The same for a source already chosen; when mails are in the folder
    // afterwards, then(folder) goes on with it instead of the offer of a
    // project.
    void runFor(const QString& source, ImportFrom from, std::function<void(const QString&)> then);
    // The stop button: the import ends before its next mail.
    void stop();
    bool running() const { return worker_ != nullptr; }

private:
    // ID_IMPORT_FIN: shows the outcome in the status bar and the problem
    // list, and when mails came in offers to make a project for them.
    void finished();

    CPostloomApp& app_;
    std::unique_ptr<CImportThread> worker_;
    QString folder_;
    std::function<void(const QString&)> then_;
    CommandDispatcher::Registration route_;
};

}  // namespace postloom
