#pragma once

// The workers of the first half of the processing: reading the mail folder
// and ordering the mails (started by the document), and building the thread
// tree (started by the view).

#include "app/worker_thread.h"
#include "core/mail/folder_reader.h"
#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <string>

namespace postloom {

// Reads the new mail files of the folder into mailList. Sends the range (0,
// matching entries) and one report per entry, positions 0, 1, 2, ... counting
// the reports made while there is a main window; left out while there is
// none. Posts ID_MAIL_READ_FIN once a main window exists; none after a stop.
class CFileReadThread final : public WorkerThread {
public:
    // mailFolder: TargetPath resolved against the project folder.
    CFileReadThread(AppContext& context, ProjectSettings& settings, std::string mailFolder);
    ~CFileReadThread() override;

    // Valid once ID_MAIL_READ_FIN has arrived.
    const FolderReadResult& result() const { return result_; }

private:
    void work() override;

    ProjectSettings& settings_;
    const std::string mailFolder_;
    FolderReadResult result_;
};

// Orders mailList by orderKey. Reports the outer step i (from 0) before each
// step; left out while there is no main window. Posts ID_MAIL_SORT_FIN once a
// main window exists; none after a stop.
class CDataSortThread final : public WorkerThread {
public:
    CDataSortThread(AppContext& context, ProjectSettings& settings);
    ~CDataSortThread() override;

private:
    void work() override;

    ProjectSettings& settings_;
};

// Places the mails into threads and sets their thread links. Builds into a
// tree of its own, never the one a view shows; the receiver of the
// completion notice takes it over. Reports 0, 1, 2, ... one per unit of work.
// Posts ID_UPDATE_TREEITEM at its end, also after a stop.
class CTreeMakeThread final : public WorkerThread {
public:
    // tree holds exactly the project item.
    CTreeMakeThread(AppContext& context, ProjectSettings& settings, ThreadTree tree);
    ~CTreeMakeThread() override;

    // Once ID_UPDATE_TREEITEM has arrived: the tree, handed over. The
    // mails' treeItem handles are handles of this tree.
    ThreadTree takeTree() { return std::move(tree_); }
    // False when a stop ended the build early.
    bool completed() const { return completed_; }

private:
    void work() override;

    ProjectSettings& settings_;
    ThreadTree tree_;
    bool completed_ = false;
};

}  // namespace postloom
