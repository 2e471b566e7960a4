#pragma once

// ﾌｧｲﾙ → ﾌｫﾙﾀﾞから新規作成...: a new project from a folder of mail in one
// step. The folder's mail files give the pattern; a Maildir or an mbox file
// is imported into a mail folder first. The project is filled (title, site
// folder beside the mail folder, what the pages show), the property sheet
// opens for review, and OK reads the mails, builds the tree and asks where
// to save the project, proposing NAME.plp beside the mail folder. ｷｬﾝｾﾙ
// leaves an empty new project.

#include "app/command_dispatcher.h"

#include <QMetaObject>
#include <QString>

#include <string>

namespace postloom {

class CPostloomApp;

class FolderProjectCommand final {
public:
    explicit FolderProjectCommand(CPostloomApp& app);
    ~FolderProjectCommand();
    FolderProjectCommand(const FolderProjectCommand&) = delete;
    FolderProjectCommand& operator=(const FolderProjectCommand&) = delete;

    // Asks for the folder, then goes on as startWith.
    void run();
    // The one-step start for folder: refuses a folder without mail, offers
    // the import for a Maildir or an mbox, fills the project otherwise.
    void startWith(const QString& folder);

private:
    void fill(const QString& folder, std::string pattern);
    void readingDone();
    void saveNew();
    void forgetPending();

    CPostloomApp& app_;
    // The steps after the sheet wait for the reading, then for the tree.
    QMetaObject::Connection afterReading_;
    QMetaObject::Connection afterTree_;
    CommandDispatcher::Registration route_;
};

}  // namespace postloom
