#pragma once

// The main window: the menu, three dockable tool bars, the status bar with
// its progress display, and the thread tree view as its client. Every menu
// entry and button carries a command id; the dispatcher runs it and decides
// whether it is enabled.

#include "app/app_context.h"
#include "app/desktop/postloom_doc.h"
#include "app/desktop/postloom_view.h"
#include "app/desktop/problem_panel.h"
#include "app/main_window.h"

#include <QMainWindow>

#include <map>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSettings;
class QToolBar;

namespace postloom {

// The idle text of the message pane.
inline const QString kIdleMessage = QStringLiteral("ﾍﾙﾌﾟを表示するには [F1] を押してください。");

class CMainFrame final : public QMainWindow, public MainWindow {
    Q_OBJECT

public:
    CMainFrame(AppContext& context, CPostloomDoc& document, DesktopPrompts& prompts, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CPostloomView& view() { return *view_; }
    ProblemPanel& problemPanel() { return *problemPanel_; }
    // The status bar's stop button, enabled while a worker runs.
    QAction& stopAction() { return *stopAction_; }
    // The status bar's line after the latest run.
    QString runSummary() const;

    // MainWindow: ID_DISP_PROGRESS and ID_UPDATE_PROGRESS.
    void dispProgress(int lower, int upper) override;
    void updateProgress(int position, int flag) override;

    // The menu entry or button action of id (the page button has its own).
    QAction* action(int id) const;
    QAction* pageButton() const { return pageButton_; }
    QToolBar* projectBar() const { return projectBar_; }
    QToolBar* mailBar() const { return mailBar_; }
    QToolBar* htmlBar() const { return htmlBar_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusPane() const { return statusPane_; }
    QLabel* countPane() const { return countPane_; }
    QMenu* fileMenu() const { return fileMenu_; }
    // Whether the status bar shows the progress layout.
    bool progressLayout() const { return progressShown_; }

    // Sets the recently used projects shown under "最新のﾌｧｲﾙ"; entries
    // that share a file name show their folder too.
    void setRecentFiles(const QStringList& files);
    QList<QAction*> recentActions() const { return recentActions_; }

    // Where the user left the window: its size, position and state, and
    // the places of the tool bars. A place that no screen shows any more
    // is moved onto a screen; without a stored layout the window is 640×480.
    void saveLayout(QSettings& store) const;
    void restoreLayout(const QSettings& store);

    // Refreshes every action's enabled and checked state and the pane
    // texts from the current state (the idle pass).
    void updateCommandUi();

Q_SIGNALS:
    // The window is about to close; the receiver decides (accepted) after
    // stopping workers and asking about changes.
    void closeRequested(bool* accepted);
    // A project file was dropped on the window.
    void projectDropped(const QString& path);
    // A recent entry was chosen.
    void recentChosen(int index);
    // ID_UPDATE_PROGRESS with flag 0 arrived.
    void progressEnded();
    // The stop button or Esc, while a worker runs.
    void stopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    QAction* makeAction(int id, const QString& text);
    // Gives action the texts of id and runs id when it is triggered.
    QAction* adoptAction(int id, QAction* action);
    void setPageButton(int outputHtml);
    void scheduleUpdate();
    void updateTitle();

    AppContext& context_;
    CPostloomDoc& document_;
    CPostloomView* view_;
    std::map<int, QAction*> actions_;
    QAction* pageButton_ = nullptr;
    int pageButtonId_ = 0;
    QMenu* fileMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;  // "最新のﾌｧｲﾙ" while the list is empty
    QList<QAction*> recentActions_;
    QStringList recentFiles_;
    QToolBar* projectBar_ = nullptr;
    QToolBar* mailBar_ = nullptr;
    QToolBar* htmlBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    ProblemPanel* problemPanel_ = nullptr;
    QAction* stopAction_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* countPane_ = nullptr;
    bool progressShown_ = false;
    bool updatePending_ = false;
    CommandDispatcher::Registration routes_;
};

}  // namespace postloom
