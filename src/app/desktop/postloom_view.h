#pragma once

// The one view of the project: the thread tree, and the commands that build
// it, change the mails' page flags, open a mail's file and write the pages.
// Every change of the tree and of the page flags made by hand goes on the
// document's undo stack; a new tree (reading, thread build) empties it.

#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/desktop/desktop_prompts.h"
#include "app/desktop/mail_info_dialog.h"
#include "app/desktop/mail_moves.h"
#include "app/desktop/postloom_doc.h"
#include "app/desktop/tree_undo.h"
#include "app/generation_chain.h"
#include "app/pipeline_workers.h"
#include "app/view/thread_tree_model.h"

#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

class QMenu;

namespace postloom {

class CPostloomView final : public QTreeView, private GenerationHost, private TreeEditHost {
    Q_OBJECT

public:
    CPostloomView(AppContext& context, CPostloomDoc& document, DesktopPrompts& prompts, QWidget* parent = nullptr);
    // Asks the tree and page workers to stop and waits for every worker.
    ~CPostloomView() override;

    ThreadTreeModel& treeModel() { return model_; }
    const GenerationChain& chain() const { return *chain_; }

    TreeItem selectedItem() const;
    void selectItem(TreeItem item);
    // The selected item is a mail item (not the project item).
    bool mailSelected() const;

    // A worker of the view runs.
    bool hasWorkers() const { return treeWorker_ != nullptr || chain_->isRunning(); }
    // The user's stop: the tree build and the page generation stop at
    // their next test.
    void stopRun();
    // Asks the tree and page workers to stop, without waiting.
    void stopWorkers();

    // The right-click menu for a point of the viewport; null where there
    // is none (the project item, empty space).
    std::unique_ptr<QMenu> contextMenuAt(const QPoint& point);
    // Shift+F10 and the menu key: the selected mail's menu, shown below it.
    void showKeyboardMenu();

    CMailInfoDialog& infoDialog() { return *infoDialog_; }
    // ID_NEXT_INFO, ID_PREV_INFO, ID_PARENT_INFO, ID_CHILD_INFO: selects
    // that neighbour of the selected item, if there is one, and shows it.
    void navigate(int id);

    // A drag of item begins: refused for the project item and while a
    // worker runs; otherwise the selection is cleared until the drop
    // selects the mail where it landed. True when it may go on.
    bool beginDrag(TreeItem item);
    // The drop of dragged onto target; true when the tree changed.
    bool dropMail(TreeItem dragged, TreeItem target);
    // 切り取り: the selected mail is the one the next paste places.
    void cutMail();
    // 貼り付け: the cut mail goes under the selected item as a drop onto
    // it would put it; true when the tree changed.
    bool pasteMail();
    // The mail item cut and not pasted yet; kNoItem when none.
    TreeItem cutItem() const { return model_.CutItem(); }
    bool canPaste() const;
    // ﾌｧｲﾙ → 新規作成: after asking about unsaved changes, an empty project,
    // whose property sheet opens next (posted) when openSheet is set. False
    // when the user kept the project that was open.
    bool newProject(bool openSheet = true);
    // A drag is held at position in the viewport: near the top or bottom
    // edge the view scrolls a row at a time until the drag moves away or
    // ends (stopDragScroll).
    void holdDragAt(QPoint position);
    void stopDragScroll();

Q_SIGNALS:
    // ID_POSTLOOM_CHECK: outputHtml of the selected mail (posted).
    void postloomCheck(int outputHtml);
    // The selection or a page flag changed.
    void stateChanged();
    // ID_UPDATE_TREEITEM has been handled.
    void treeFinished();
    // A run of the mail pages has ended without a stop.
    void pagesWritten();

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // GenerationHost
    const ProjectSettings& settings() const override { return document_.settings(); }
    std::string projectFolder() const override { return document_.projectFolder(); }
    const ThreadTree& threadTree() const override { return model_.Tree(); }
    void setStatusText(QStringView text) override { document_.setStatusText(text); }
    void showError(const QString& message) override { prompts_.showError(this, message); }
    void pagesFinished() override { Q_EMIT pagesWritten(); }

    // TreeEditHost
    ThreadTreeModel& editedModel() override { return model_; }
    MailList& editedMails() override { return document_.settings().mailList; }
    std::vector<TreeItem> expandedBelow(TreeItem item) const override { return expandedFrom(item); }
    void treeChanged(const TreeChange& change, const std::vector<TreeItem>& expanded) override;
    void pagesChanged(TreeItem item) override;

    MailRecord* mailOf(TreeItem item) const;
    MailRecord* selectedMail() const;
    bool onIcon(const QPoint& point) const;

    void buildTree();
    void treeDone();
    void reload();
    void openMail();
    bool mailOpenable() const;
    void switchPage(bool on);
    void noteSelectionChanged();
    void postCheck(int outputHtml);
    void showInfo();
    bool movable() const;
    void move(MoveDirection direction);
    // Carries the command out by pushing it on the undo stack; false for null.
    bool push(std::unique_ptr<QUndoCommand> command);
    // Carries out a change of the tree, an undo or a redo.
    void step(const std::function<void()>& change);
    bool placeMail(TreeItem dragged, TreeItem target, const QString& text);
    void reveal(TreeItem item);
    void dragScroll();
    std::vector<TreeItem> expandedFrom(TreeItem item) const;

    AppContext& context_;
    CPostloomDoc& document_;
    DesktopPrompts& prompts_;
    ThreadTreeModel model_;
    std::unique_ptr<CTreeMakeThread> treeWorker_;
    std::unique_ptr<GenerationChain> chain_;
    // Without a parent, so that it is not hidden with the main window.
    std::unique_ptr<CMailInfoDialog> infoDialog_;
    // Scrolling while a drag rests at the top or bottom edge; -1 up, 1 down.
    QTimer dragScrollTimer_;
    int dragScrollDirection_ = 0;
    CommandDispatcher::Registration routes_;
};

}  // namespace postloom
