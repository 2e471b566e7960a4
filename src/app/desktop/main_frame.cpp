#include "app/desktop/main_frame.h"

#include "app/command_ids.h"
#include "app/view/pictures.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>

#include <algorithm>

namespace postloom {

namespace {

struct CommandTexts {
    int id;
    const char16_t* prompt;
    const char16_t* toolTip;  // nullptr: the prompt
};

// The prompt shown in the message pane while the pointer rests on an entry
// or a button, and the button's tool tip.
constexpr CommandTexts kCommandTexts[] = {
    {ID_FILE_NEW, u"新しいﾌﾟﾛｼﾞｪｸﾄを作成", u"新しいﾌﾟﾛｼﾞｪｸﾄ"},
    {ID_FILE_NEW_FROM_FOLDER, u"ﾒｰﾙのﾌｫﾙﾀﾞを選んで、そのﾌｫﾙﾀﾞを読む新しいﾌﾟﾛｼﾞｪｸﾄを作成", u"ﾌｫﾙﾀﾞから新規作成"},
    {ID_FILE_OPEN, u"既存のﾌﾟﾛｼﾞｪｸﾄを開く", u"開く"},
    {ID_FILE_SAVE, u"ﾌﾟﾛｼﾞｪｸﾄを上書きして保存", u"上書き保存"},
    {ID_FILE_SAVE_AS, u"ﾌﾟﾛｼﾞｪｸﾄに名前を付けて保存", u"名前を付けて保存"},
    {ID_FILE_IMPORT, u"mboxﾌｧｲﾙのﾒｰﾙを1通ずつﾌｧｲﾙにしてﾒｰﾙのﾌｫﾙﾀﾞに取り込む", nullptr},
    {ID_FILE_IMPORT_FOLDER, u"Maildirまたは.emlﾌｧｲﾙのﾌｫﾙﾀﾞのﾒｰﾙをﾒｰﾙのﾌｫﾙﾀﾞに取り込む", nullptr},
    {ID_APP_EXIT, u"ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌﾟﾛｼﾞｪｸﾄの保存を指示", u"終了"},
    {ID_EDIT_UNDO, u"直前に行ったﾒｰﾙの移動やﾍﾟｰｼﾞの設定を元に戻す", u"元に戻す"},
    {ID_EDIT_REDO, u"元に戻した操作をやり直す", u"やり直し"},
    {ID_EDIT_CUT, u"選択されているﾒｰﾙを、貼り付け先へ移動するために切り取る", u"切り取り"},
    {ID_EDIT_PASTE, u"切り取ったﾒｰﾙを、選択されているﾒｰﾙへの返信にする (ﾌﾟﾛｼﾞｪｸﾄではｽﾚｯﾄﾞの先頭)", u"貼り付け"},
    {ID_APP_ABOUT, u"ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝ、著作権を表示", u"ﾊﾞｰｼﾞｮﾝ情報"},
    {ID_HELP_FINDER, u"ﾍﾙﾌﾟ ﾄﾋﾟｯｸの一覧を表示", u"ﾍﾙﾌﾟ ﾄﾋﾟｯｸ"},
    {ID_HELP_GETTING_STARTED, u"ﾌｫﾙﾀﾞから新規作成してﾍﾟｰｼﾞを作るまでの手順を表示", u"はじめに"},
    {ID_VIEW_STATUS_BAR, u"ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示", nullptr},
    {ID_PROJECT_PROPERTY, u"ﾌﾟﾛｼﾞｪｸﾄのﾌﾟﾛﾊﾟﾃｨ", u"ﾌﾟﾛﾊﾟﾃｨ"},
    {ID_THREAD_EXPAND, u"ﾒｰﾙをｽﾚｯﾄﾞに展開", u"ｽﾚｯﾄﾞ展開"},
    {ID_HTML_CREATE, u"全HTMLﾌｧｲﾙの作成", u"一括作成"},
    {ID_MAIL_INFO, u"ﾒｰﾙの情報を表示する", u"ﾒｰﾙ情報"},
    {ID_MAIL_OPEN, u"選択されているﾒｰﾙを開く", u"ﾒｰﾙを開く"},
    {ID_INDEX_OPEN, u"ｲﾝﾃﾞｯｸｽHTMLを開く", u"ｲﾝﾃﾞｯｸｽHTML"},
    {ID_GRAPHIC_COPY, u"ｸﾞﾗﾌｨｯｸﾌｧｲﾙのみｺﾋﾟｰする", u"ｸﾞﾗﾌｨｯｸのｺﾋﾟｰ"},
    {ID_INDEX_CREATE, u"ｲﾝﾃﾞｯｸｽHTMLのみ作成", u"ｲﾝﾃﾞｯｸｽHTML作成"},
    {ID_MAILPAGE_CREATE, u"ﾒｰﾙHTMLのみ作成", u"ﾒｰﾙHTML作成"},
    {ID_MAIL_RELOAD, u"ﾒｰﾙを再読込する", u"再読込"},
    {ID_MAIL_UP, u"一つ上へ移動する", u"上へ移動"},
    {ID_MAIL_DOWN, u"一つ下へ移動する", u"下へ移動"},
    {ID_VIEW_PROJECTBAR, u"ﾌﾟﾛｼﾞｪｸﾄﾂｰﾙ ﾊﾞｰの表示/非表示", nullptr},
    {ID_VIEW_MAILBAR, u"ﾒｰﾙﾂｰﾙ ﾊﾞｰの表示/非表示", nullptr},
    {ID_VIEW_HTMLBAR, u"HTMLﾂｰﾙ ﾊﾞｰの表示/非表示", nullptr},
    {ID_HTML_DELETE_ALL, u"作成ﾌｧｲﾙの全削除", u"全削除"},
    {ID_MAILPAGE_ON, u"このﾒｰﾙのHTMLを出力する", u"ﾒｰﾙHTMLを出力する"},
    {ID_MAILPAGE_OFF, u"このﾒｰﾙのHTMLを出力しない", u"ﾒｰﾙHTMLを出力しない"},
};

const CommandTexts* TextsOf(int id)
{
    const auto found = std::ranges::find(kCommandTexts, id, &CommandTexts::id);
    return found == std::end(kCommandTexts) ? nullptr : found;
}

void ApplyTexts(QAction& action, int id)
{
    if (const CommandTexts* texts = TextsOf(id)) {
        const QString prompt = QString::fromUtf16(texts->prompt);
        action.setStatusTip(prompt);
        action.setToolTip(texts->toolTip != nullptr ? QString::fromUtf16(texts->toolTip) : prompt);
    }
}

// Switches the selected mail's page on or off. Free in the window and in
// the tree view, whose own keys are plain letters, arrows and Space.
const QKeySequence kPageSwitchKey(QStringLiteral("Ctrl+T"));

constexpr int kNumberPaneWidth = 50;
constexpr int kProgressPaneWidth = 200;
constexpr QSize kDefaultSize(640, 480);

// The window's layout in the program's settings store; the version tells
// a layout of an older arrangement of tool bars, which is then not used.
const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kToolBarsKey = QStringLiteral("Window/ToolBars");
constexpr int kLayoutVersion = 1;

// The menu text of a recent entry: its name, and its folder where another
// entry has the same name, since the name alone does not tell them apart.
QString RecentLabel(const QStringList& files, qsizetype index)
{
    const QFileInfo file(files.at(index));
    const QString name = file.fileName();
    const bool shared = std::ranges::count_if(files, [&name](const QString& other) {
                            return QFileInfo(other).fileName() == name;
                        }) > 1;
    QString label = shared ? QStringLiteral("%1 (%2)").arg(name, QDir::toNativeSeparators(file.path())) : name;
    // A "&" of the name is text, not the entry's access key.
    label.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(label);
}

}  // namespace

CMainFrame::CMainFrame(AppContext& context, CPostloomDoc& document, DesktopPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), context_(context), document_(document)
{
    setObjectName(QStringLiteral("Postloom"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    view_ = new CPostloomView(context, document, prompts, this);
    setCentralWidget(view_);
    document_.setDialogParent(this);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    problemPanel_ = new ProblemPanel(context_.problems(), this);
    addDockWidget(Qt::BottomDockWidgetArea, problemPanel_);
    viewMenu_->addSeparator();
    viewMenu_->addAction(problemPanel_->toggleViewAction());
    connect(&context_.problems(), &ProblemLog::runEnded, messagePane_, &QLabel::setText);
    connect(view_, &CPostloomView::treeFinished, this, [this] {
        const ThreadTree& tree = view_->treeModel().Tree();
        // The count of problems stays while the list shows them.
        messagePane_->setText(context_.problems().summaryWithCount(
            QStringLiteral("%1ｽﾚｯﾄﾞに展開しました").arg(tree.ChildCount(tree.Root()))));
    });

    connect(&document_, &CPostloomDoc::stateChanged, this, &CMainFrame::scheduleUpdate);
    connect(view_, &CPostloomView::stateChanged, this, &CMainFrame::scheduleUpdate);
    connect(view_, &CPostloomView::postloomCheck, this, &CMainFrame::setPageButton);
    context_.setMainWindow(this);
    updateCommandUi();
    resize(kDefaultSize);
}

QString CMainFrame::runSummary() const
{
    return messagePane_->text();
}

CMainFrame::~CMainFrame()
{
    routes_ = {};
    context_.setMainWindow(nullptr);
    // The view's workers go before the frame's members do.
    delete view_;
}

QAction* CMainFrame::makeAction(int id, const QString& text)
{
    return adoptAction(id, new QAction(text, this));
}

QAction* CMainFrame::adoptAction(int id, QAction* action)
{
    ApplyTexts(*action, id);
    connect(action, &QAction::triggered, this, [this, id] { context_.commands().send(id); });
    actions_[id] = action;
    return action;
}

QAction* CMainFrame::action(int id) const
{
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::createActions()
{
    makeAction(ID_FILE_NEW, QStringLiteral("新規作成(&N)"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    makeAction(ID_FILE_NEW_FROM_FOLDER, QStringLiteral("ﾌｫﾙﾀﾞから新規作成(&F)..."));
    makeAction(ID_FILE_OPEN, QStringLiteral("開く(&O)..."))->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    makeAction(ID_FILE_SAVE, QStringLiteral("上書き保存(&S)"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    makeAction(ID_FILE_SAVE_AS, QStringLiteral("名前を付けて保存(&A)..."));
    makeAction(ID_FILE_IMPORT, QStringLiteral("ｲﾝﾎﾟｰﾄ(&I)..."));
    makeAction(ID_FILE_IMPORT_FOLDER, QStringLiteral("ﾌｫﾙﾀﾞからｲﾝﾎﾟｰﾄ(&D)..."));
    makeAction(ID_APP_EXIT, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    // The stack names the change that Undo and Redo would take back or
    // carry out again; the command runs through its enable rule.
    QUndoStack& stack = document_.undoStack();
    QAction* undo = stack.createUndoAction(this, QStringLiteral("元に戻す(&U)"));
    disconnect(undo, &QAction::triggered, &stack, &QUndoStack::undo);
    adoptAction(ID_EDIT_UNDO, undo)
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Z")), QKeySequence(QStringLiteral("Alt+Backspace"))});
    QAction* redo = stack.createRedoAction(this, QStringLiteral("やり直し(&R)"));
    disconnect(redo, &QAction::triggered, &stack, &QUndoStack::redo);
    adoptAction(ID_EDIT_REDO, redo)
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    makeAction(ID_EDIT_CUT, QStringLiteral("切り取り(&T)"))
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))});
    makeAction(ID_EDIT_PASTE, QStringLiteral("貼り付け(&P)"))
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))});
    makeAction(ID_VIEW_PROJECTBAR, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾂｰﾙ ﾊﾞｰ(&T)"))->setCheckable(true);
    makeAction(ID_VIEW_MAILBAR, QStringLiteral("ﾒｰﾙﾂｰﾙ ﾊﾞｰ(&M)"))->setCheckable(true);
    makeAction(ID_VIEW_HTMLBAR, QStringLiteral("HTMLﾂｰﾙ ﾊﾞｰ(&H)"))->setCheckable(true);
    makeAction(ID_VIEW_STATUS_BAR, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"))->setCheckable(true);
    makeAction(ID_PROJECT_PROPERTY, QStringLiteral("設定(&P)"))->setIcon(ToolBarIcon(ToolBarPicture::PageWithPen));
    makeAction(ID_THREAD_EXPAND, QStringLiteral("ｽﾚｯﾄﾞ展開(&T)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::BoxTreeWithArrow));
    action(ID_THREAD_EXPAND)->setShortcut(QKeySequence(Qt::Key_F5));
    // Enter is the tree's own key (a window-wide Return would fire from
    // every other widget too): the menu only names it.
    makeAction(ID_MAIL_INFO, QStringLiteral("ﾒｰﾙの情報(&I)\tEnter"))
        ->setIcon(ToolBarIcon(ToolBarPicture::EnvelopeWithPen));
    makeAction(ID_MAIL_OPEN, QStringLiteral("ﾒｰﾙを開く(&E)"))->setIcon(ToolBarIcon(ToolBarPicture::EnvelopeWithPage));
    // One key switches the page either way, as the page button does; both
    // menu entries name it.
    const QString pageKey = kPageSwitchKey.toString(QKeySequence::NativeText);
    makeAction(ID_MAILPAGE_ON, QStringLiteral("ﾒｰﾙHTMLを出力する(&W)\t") + pageKey);
    makeAction(ID_MAILPAGE_OFF, QStringLiteral("ﾒｰﾙHTMLを出力しない(&N)\t") + pageKey);
    makeAction(ID_MAIL_UP, QStringLiteral("上へ移動(&U)"))->setIcon(ToolBarIcon(ToolBarPicture::BlueTriangleUp));
    makeAction(ID_MAIL_DOWN, QStringLiteral("下へ移動(&D)"))->setIcon(ToolBarIcon(ToolBarPicture::BlueTriangleDown));
    action(ID_MAIL_UP)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Up")));
    action(ID_MAIL_DOWN)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Down")));
    makeAction(ID_MAIL_RELOAD, QStringLiteral("ﾒｰﾙの再読込(&R)"));
    makeAction(ID_HTML_CREATE, QStringLiteral("作成(&A)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::PageWithGlobeAndEnvelope));
    action(ID_HTML_CREATE)->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
    makeAction(ID_GRAPHIC_COPY, QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙのｺﾋﾟｰ(&G)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::GraphicPage));
    makeAction(ID_INDEX_CREATE, QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙ(&I)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::PageWithGlobe));
    makeAction(ID_MAILPAGE_CREATE, QStringLiteral("ﾒｰﾙHTMLﾌｧｲﾙ(&M)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::PageWithEnvelope));
    makeAction(ID_HTML_DELETE_ALL, QStringLiteral("すべて削除(&D)"));
    makeAction(ID_INDEX_OPEN, QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLを開く(&O)"))
        ->setIcon(ToolBarIcon(ToolBarPicture::PageWithGlobeAndMagnifier));
    makeAction(ID_HELP_FINDER, QStringLiteral("ﾄﾋﾟｯｸの検索(&H)"))->setShortcut(QKeySequence(Qt::Key_F1));
    makeAction(ID_HELP_GETTING_STARTED, QStringLiteral("はじめに(&G)"));
    makeAction(ID_APP_ABOUT, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Postloom) (&A)..."));
    action(ID_FILE_NEW)->setIcon(ToolBarIcon(ToolBarPicture::NewPage));
    action(ID_FILE_OPEN)->setIcon(ToolBarIcon(ToolBarPicture::OpenFolder));
    action(ID_FILE_SAVE)->setIcon(ToolBarIcon(ToolBarPicture::FloppyDisk));

    // The mail bar's fourth slot always offers the change of the page flag.
    pageButton_ = new QAction(this);
    pageButton_->setShortcut(kPageSwitchKey);
    // The key works with the mail bar hidden too.
    addAction(pageButton_);
    connect(pageButton_, &QAction::triggered, this, [this] { context_.commands().send(pageButtonId_); });
    setPageButton(0);
}

void CMainFrame::createMenus()
{
    QMenuBar* bar = menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    fileMenu_->addAction(action(ID_FILE_NEW));
    fileMenu_->addAction(action(ID_FILE_NEW_FROM_FOLDER));
    fileMenu_->addAction(action(ID_FILE_OPEN));
    fileMenu_->addAction(action(ID_FILE_SAVE));
    fileMenu_->addAction(action(ID_FILE_SAVE_AS));
    fileMenu_->addSeparator();
    fileMenu_->addAction(action(ID_FILE_IMPORT));
    fileMenu_->addAction(action(ID_FILE_IMPORT_FOLDER));
    fileMenu_->addSeparator();
    recentAnchor_ = fileMenu_->addAction(QStringLiteral("最新のﾌｧｲﾙ"));
    recentAnchor_->setEnabled(false);
    fileMenu_->addSeparator();
    fileMenu_->addAction(action(ID_APP_EXIT));

    QMenu* editMenu = bar->addMenu(QStringLiteral("編集(&E)"));
    editMenu->addAction(action(ID_EDIT_UNDO));
    editMenu->addAction(action(ID_EDIT_REDO));
    editMenu->addSeparator();
    editMenu->addAction(action(ID_EDIT_CUT));
    editMenu->addAction(action(ID_EDIT_PASTE));

    viewMenu_ = bar->addMenu(QStringLiteral("表示(&V)"));
    viewMenu_->addAction(action(ID_VIEW_PROJECTBAR));
    viewMenu_->addAction(action(ID_VIEW_MAILBAR));
    viewMenu_->addAction(action(ID_VIEW_HTMLBAR));
    viewMenu_->addAction(action(ID_VIEW_STATUS_BAR));

    QMenu* projectMenu = bar->addMenu(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ(&P)"));
    projectMenu->addAction(action(ID_PROJECT_PROPERTY));
    projectMenu->addSeparator();
    projectMenu->addAction(action(ID_THREAD_EXPAND));

    QMenu* mailMenu = bar->addMenu(QStringLiteral("ﾒｰﾙ(&M)"));
    mailMenu->addAction(action(ID_MAIL_INFO));
    mailMenu->addAction(action(ID_MAIL_OPEN));
    mailMenu->addSeparator();
    mailMenu->addAction(action(ID_MAILPAGE_ON));
    mailMenu->addAction(action(ID_MAILPAGE_OFF));
    mailMenu->addSeparator();
    mailMenu->addAction(action(ID_MAIL_UP));
    mailMenu->addAction(action(ID_MAIL_DOWN));
    mailMenu->addSeparator();
    mailMenu->addAction(action(ID_MAIL_RELOAD));

    QMenu* htmlMenu = bar->addMenu(QStringLiteral("HTML(&H)"));
    htmlMenu->addAction(action(ID_HTML_CREATE));
    QMenu* single = htmlMenu->addMenu(QStringLiteral("個別作成"));
    single->addAction(action(ID_GRAPHIC_COPY));
    single->addAction(action(ID_INDEX_CREATE));
    single->addAction(action(ID_MAILPAGE_CREATE));
    htmlMenu->addSeparator();
    htmlMenu->addAction(action(ID_HTML_DELETE_ALL));
    htmlMenu->addSeparator();
    htmlMenu->addAction(action(ID_INDEX_OPEN));

    QMenu* helpMenu = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    helpMenu->addAction(action(ID_HELP_GETTING_STARTED));
    helpMenu->addAction(action(ID_HELP_FINDER));
    helpMenu->addSeparator();
    helpMenu->addAction(action(ID_APP_ABOUT));

    for (QMenu* menu : {fileMenu_, editMenu, viewMenu_, projectMenu, mailMenu, htmlMenu, single, helpMenu}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
    }
}

void CMainFrame::createToolBars()
{
    const auto makeBar = [this](const char* name, const QString& caption) {
        QToolBar* bar = addToolBar(caption);
        bar->setObjectName(QLatin1String(name));
        bar->setIconSize(kToolBarPictureSize);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        return bar;
    };
    projectBar_ = makeBar("projectBar", QString());
    projectBar_->addAction(action(ID_FILE_NEW));
    projectBar_->addSeparator();
    projectBar_->addAction(action(ID_FILE_OPEN));
    projectBar_->addAction(action(ID_FILE_SAVE));
    projectBar_->addSeparator();
    projectBar_->addAction(action(ID_PROJECT_PROPERTY));
    projectBar_->addSeparator();
    projectBar_->addAction(action(ID_THREAD_EXPAND));

    mailBar_ = makeBar("mailBar", QStringLiteral("Mail"));
    mailBar_->addAction(action(ID_MAIL_INFO));
    mailBar_->addAction(action(ID_MAIL_OPEN));
    mailBar_->addSeparator();
    mailBar_->addAction(pageButton_);
    mailBar_->addSeparator();
    mailBar_->addAction(action(ID_MAIL_UP));
    mailBar_->addAction(action(ID_MAIL_DOWN));

    htmlBar_ = makeBar("htmlBar", QStringLiteral("Html"));
    htmlBar_->addAction(action(ID_HTML_CREATE));
    htmlBar_->addSeparator();
    htmlBar_->addAction(action(ID_GRAPHIC_COPY));
    htmlBar_->addAction(action(ID_INDEX_CREATE));
    htmlBar_->addAction(action(ID_MAILPAGE_CREATE));
    htmlBar_->addSeparator();
    htmlBar_->addAction(action(ID_INDEX_OPEN));

    const auto toggle = [](QWidget* widget) { widget->setVisible(!widget->isVisible()); };
    routes_ = context_.commands().addRoutes(
        RouteLevel::Frame,
        {
            {.id = ID_VIEW_PROJECTBAR, .handler = [this, toggle] { toggle(projectBar_); }},
            {.id = ID_VIEW_MAILBAR, .handler = [this, toggle] { toggle(mailBar_); }},
            {.id = ID_VIEW_HTMLBAR, .handler = [this, toggle] { toggle(htmlBar_); }},
            {.id = ID_VIEW_STATUS_BAR, .handler = [this, toggle] { toggle(statusBar()); }},
            {.id = ID_APP_EXIT, .handler = [this] { close(); }},
        });
    for (QToolBar* bar : {projectBar_, mailBar_, htmlBar_}) {
        connect(bar, &QToolBar::visibilityChanged, this, &CMainFrame::scheduleUpdate);
    }
}

void CMainFrame::createStatusBar()
{
    QStatusBar* bar = statusBar();
    messagePane_ = new QLabel(kIdleMessage, bar);
    bar->addWidget(messagePane_, 1);
    statusPane_ = new QLabel(bar);
    statusPane_->setFixedWidth(kProgressPaneWidth);
    progress_ = new QProgressBar(bar);
    progress_->setObjectName(QStringLiteral("progress1000"));
    progress_->setFixedWidth(kProgressPaneWidth);
    progress_->setTextVisible(false);
    countPane_ = new QLabel(bar);
    countPane_->setFixedWidth(kNumberPaneWidth);
    countPane_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    stopAction_ = new QAction(QStringLiteral("中止"), this);
    stopAction_->setToolTip(QStringLiteral("実行中の処理を中止します (Esc)"));
    stopAction_->setEnabled(false);
    addAction(stopAction_);
    connect(stopAction_, &QAction::triggered, this, &CMainFrame::stopRequested);
    auto* stopButton = new QToolButton(bar);
    stopButton->setDefaultAction(stopAction_);
    bar->addPermanentWidget(statusPane_);
    bar->addPermanentWidget(progress_);
    bar->addPermanentWidget(stopButton);
    bar->addPermanentWidget(countPane_);
    statusPane_->hide();
    progress_->hide();
}

void CMainFrame::setRecentFiles(const QStringList& files)
{
    recentFiles_ = files;
    for (QAction* old : std::as_const(recentActions_)) {
        fileMenu_->removeAction(old);
        old->deleteLater();
    }
    recentActions_.clear();
    recentAnchor_->setVisible(files.isEmpty());
    for (qsizetype i = 0; i < files.size(); ++i) {
        auto* entry = new QAction(RecentLabel(files, i), this);
        entry->setStatusTip(files.at(i));
        const int index = static_cast<int>(i);
        connect(entry, &QAction::triggered, this, [this, index] { Q_EMIT recentChosen(index); });
        fileMenu_->insertAction(recentAnchor_, entry);
        recentActions_.append(entry);
    }
    scheduleUpdate();
}

void CMainFrame::saveLayout(QSettings& store) const
{
    store.setValue(kGeometryKey, saveGeometry());
    store.setValue(kToolBarsKey, saveState(kLayoutVersion));
}

void CMainFrame::restoreLayout(const QSettings& store)
{
    // Qt moves a geometry whose screen is gone, or that lies off its
    // screen, onto the available part of a screen.
    if (!restoreGeometry(store.value(kGeometryKey).toByteArray())) {
        resize(kDefaultSize);
    }
    restoreState(store.value(kToolBarsKey).toByteArray(), kLayoutVersion);
    // The list was of a run of an earlier session; the state keeps only
    // where it docks.
    problemPanel_->hide();
    scheduleUpdate();
}

void CMainFrame::dispProgress(int lower, int upper)
{
    progressShown_ = true;
    statusPane_->show();
    progress_->setRange(lower, std::max(lower, upper));
    progress_->setValue(lower);
    progress_->show();
    updateCommandUi();
}

void CMainFrame::updateProgress(int position, int flag)
{
    if (flag != 0) {
        // A position outside the range shows at the nearer end.
        progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
        return;
    }
    progressShown_ = false;
    progress_->hide();
    statusPane_->hide();
    updateCommandUi();
    Q_EMIT progressEnded();
}

void CMainFrame::setPageButton(int outputHtml)
{
    pageButtonId_ = outputHtml != 0 ? ID_MAILPAGE_OFF : ID_MAILPAGE_ON;
    pageButton_->setIcon(ToolBarIcon(outputHtml != 0 ? ToolBarPicture::BlackCross : ToolBarPicture::RedCircle));
    pageButton_->setText(action(pageButtonId_)->text().section(QLatin1Char('\t'), 0, 0));
    ApplyTexts(*pageButton_, pageButtonId_);
    pageButton_->setEnabled(context_.commands().isEnabled(pageButtonId_));
}

void CMainFrame::scheduleUpdate()
{
    if (updatePending_) {
        return;
    }
    updatePending_ = true;
    QTimer::singleShot(0, this, [this] {
        updatePending_ = false;
        updateCommandUi();
    });
}

void CMainFrame::updateCommandUi()
{
    const CommandDispatcher& commands = context_.commands();
    for (const auto& [id, entry] : actions_) {
        entry->setEnabled(commands.isEnabled(id));
    }
    action(ID_VIEW_PROJECTBAR)->setChecked(projectBar_->isVisibleTo(this));
    action(ID_VIEW_MAILBAR)->setChecked(mailBar_->isVisibleTo(this));
    action(ID_VIEW_HTMLBAR)->setChecked(htmlBar_->isVisibleTo(this));
    action(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisibleTo(this));
    pageButton_->setEnabled(commands.isEnabled(pageButtonId_));
    const bool recentOpen = commands.isEnabled(ID_FILE_OPEN);
    for (QAction* entry : std::as_const(recentActions_)) {
        entry->setEnabled(recentOpen);
    }
    countPane_->setText(document_.mailCountText());
    statusPane_->setText(document_.statusText());
    stopAction_->setEnabled(document_.locked());
    updateTitle();
}

void CMainFrame::updateTitle()
{
    setWindowTitle(document_.title() + QStringLiteral("[*] - Post Loom"));
    setWindowModified(document_.isModified());
}

void CMainFrame::keyPressEvent(QKeyEvent* event)
{
    // Esc that no widget of the window took (the tree passes it on) stops
    // the running worker. It is no shortcut, so the mail information window
    // keeps Esc for closing itself.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && document_.locked()) {
        stopAction_->trigger();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    bool accepted = true;
    Q_EMIT closeRequested(&accepted);
    if (accepted) {
        event->accept();
    } else {
        event->ignore();
    }
}

namespace {

QString DroppedProject(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedProject(event->mimeData()).isEmpty() && context_.commands().isEnabled(ID_FILE_OPEN)) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DroppedProject(event->mimeData());
    // Opening replaces the mails, so not while a worker uses them.
    if (path.isEmpty() || !context_.commands().isEnabled(ID_FILE_OPEN)) {
        return;
    }
    event->acceptProposedAction();
    Q_EMIT projectDropped(path);
}

}  // namespace postloom
