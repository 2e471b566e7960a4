#include "app/desktop/postloom_app.h"

#include "app/command_ids.h"
#include "app/desktop/import_command.h"
#include "app/desktop/index_offer.h"
#include "app/desktop/mail_info_dialog.h"
#include "app/desktop/welcome_panel.h"
#include "app/view/pictures.h"
#include "core/report/problem_wording.h"
#include "settings_ui/gui_text.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

// The help page is compiled into this static library. Nothing refers to
// its resource object, so without this reference the linker leaves it out
// of the program and the help window stays empty. The resource's function
// lives in the global namespace, hence the call from here.
static void InitDesktopResources()
{
    Q_INIT_RESOURCE(desktop);
}

namespace postloom {

namespace {

const QString kRecentGroup = QStringLiteral("Recent File List");
const QString kLicenceText = QStringLiteral("Copyright (c) 2026 Postloom developers\nMIT ﾗｲｾﾝｽで配布しています。");
const QSize kHelpSize(560, 480);

// Qt's Japanese texts from folder, installed for the whole program; none
// when they cannot be loaded.
std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

// A window without a parent is placed by the window manager, which may put
// part of it off the screen: centre it over anchor, wholly within the free
// area of anchor's screen, leaving room for the window frame.
void PlaceOnScreen(QWidget& window, const QWidget& anchor, QSize size)
{
    const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    const int title = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect room = anchor.screen()->availableGeometry().adjusted(border, title + border, -border, -border);
    QRect place(QPoint(), size.boundedTo(room.size()));
    place.moveCenter(anchor.frameGeometry().center());
    place.moveLeft(std::clamp(place.left(), room.left(), room.right() - place.width() + 1));
    place.moveTop(std::clamp(place.top(), room.top(), room.bottom() - place.height() + 1));
    window.setGeometry(place);
}

// Moves the window down and right by a title bar's height, staying on its
// screen's free area.
void StepAside(QWidget& window)
{
    const int step = window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
    const QRect room = window.screen()->availableGeometry();
    QRect place = window.frameGeometry().translated(step, step);
    place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width() + 1)));
    place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height() + 1)));
    window.move(place.topLeft());
}

}  // namespace

std::unique_ptr<QDialog> CreateVersionBox(QWidget* parent)
{
    auto box = std::make_unique<QDialog>(parent);
    box->setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Postloom)"));
    auto* icon = new QLabel(box.get());
    icon->setPixmap(ProgramPixmap(32));
    auto* text = new QLabel(QStringLiteral("Postloom Version " POSTLOOM_VERSION), box.get());
    auto* licence = new QLabel(kLicenceText, box.get());
    auto* ok = new QPushButton(QStringLiteral("OK"), box.get());
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, box.get(), &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(text);
    texts->addWidget(licence);
    texts->addStretch();
    auto* layout = new QHBoxLayout(box.get());
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addWidget(ok, 0, Qt::AlignTop);
    return box;
}

CPostloomApp::CPostloomApp(CPostloomCommandLineInfo commandLine, DesktopEnvironment environment)
    : commandLine_(std::move(commandLine)),
      headless_(environment.headless),
      qtTexts_(InstallQtTranslation(environment.qtTranslations)),
      interactive_(std::move(environment.prompts)),
      gate_(*interactive_),
      store_(std::move(environment.store)),
      context_(std::make_unique<AppContext>())
{
    InitDesktopResources();
    context_->marks() = commandLine_.marks;
    gate_.setUnattended(headless_);
    gate_.onFailure = [this] {
        // Without a display nothing can be answered: the run ends here.
        if (headless_) {
            context_->marks() = {};
            runInProgress_ = false;
            requestQuit();
        }
    };
    document_ = std::make_unique<CPostloomDoc>(*context_, gate_);
    frame_ = std::make_unique<CMainFrame>(*context_, *document_, gate_);
    import_ = std::make_unique<ImportCommand>(*this);
    folderProject_ = std::make_unique<FolderProjectCommand>(*this);
    // Both belong to the frame's widgets, which delete them.
    new WelcomePanel(*context_, *document_, view().viewport());
    frame_->statusBar()->addPermanentWidget(new IndexOffer(*context_, *document_, view()));
    if (commandLine_.marks.autoRun != 0) {
        // An unattended run prints the problems the list would show, in
        // the words of postloom-batch, and ends with a non-zero status after
        // any.
        frame_->problemPanel().setOpensByItself(false);
        connect(&context_->problems(), &ProblemLog::added, this, [](const Problems& problems, const Problems& notices) {
            for (const Problems* group : {&notices, &problems}) {
                for (const Problem& problem : *group) {
                    const QString line = FromCp932(WordProblem(problem, ProblemLanguage::English));
                    std::fprintf(stderr, "postloom: %s\n", line.toLocal8Bit().constData());
                }
            }
            std::fflush(stderr);
        });
    }

    store_->beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = store_->value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty()) {
            recent_.append(file);
        }
    }
    store_->endGroup();
    frame_->setRecentFiles(recent_);
    if (keepsLayout()) {
        frame_->restoreLayout(*store_);
    }

    routes_ = context_->commands().addRoutes(
        RouteLevel::Application,
        {
            {.id = ID_FILE_OPEN, .handler = [this] { chooseAndOpen(); }},
            {.id = ID_APP_ABOUT, .handler = [this] { CreateVersionBox(frame_.get())->exec(); }},
            {.id = ID_HELP_FINDER, .handler = [this] { showHelp(); }},
            {.id = ID_HELP_GETTING_STARTED, .handler = [this] { showHelp(QStringLiteral("getting-started.html")); }},
            {.id = ID_FILE_IMPORT, .handler = [this] { import_->run(ImportFrom::MboxFile); }},
            {.id = ID_FILE_IMPORT_FOLDER, .handler = [this] { import_->run(ImportFrom::Folder); }},
        });
    connect(frame_.get(), &CMainFrame::closeRequested, this, [this](bool* accepted) { *accepted = queryClose(); });
    connect(frame_.get(), &CMainFrame::projectDropped, this, [this](const QString& path) { openProject(path); });
    connect(frame_.get(), &CMainFrame::recentChosen, this, [this](int index) {
        if (index >= 0 && index < recent_.size() && context_->commands().isEnabled(ID_FILE_OPEN)) {
            openProject(recent_.at(index));
        }
    });
    connect(frame_.get(), &CMainFrame::progressEnded, this, &CPostloomApp::progressEnded);
    connect(frame_.get(), &CMainFrame::stopRequested, this, &CPostloomApp::stopRun);
    connect(&context_->commands(), &CommandDispatcher::dropped, this, &CPostloomApp::commandDropped);
}

CPostloomApp::~CPostloomApp()
{
    routes_ = {};
    folderProject_.reset();
    import_.reset();
    help_.reset();
    // The view's workers end with the frame, before the document they read.
    frame_.reset();
    document_.reset();
}

void CPostloomApp::start()
{
    runInProgress_ = context_->marks().autoRun != 0;
    if (!commandLine_.screenshotFile.isEmpty()) {
        // The open builds the tree once the mails are read.
        connect(&view(), &CPostloomView::treeFinished, this,
                [this] { QTimer::singleShot(300, this, &CPostloomApp::takeScreenshot); }, Qt::SingleShotConnection);
    }
    frame_->show();
    if (commandLine_.projectFile.isEmpty()) {
        document_->newDocument();
        if (runInProgress_) {
            runInProgress_ = false;
            context_->marks() = {};
            if (headless_) {
                gate_.fail(QStringLiteral("the automatic run needs a project file"));
            }
        }
        return;
    }
    // An unattended run holds the project's lock as postloom-batch does;
    // "auto" alone with a display leaves a window open, which holds it as
    // a window.
    document_->setUnattendedRun(runInProgress_ && (commandLine_.marks.exitAfterRun != 0 || headless_));
    const bool opened = document_->openDocument(commandLine_.projectFile);
    document_->setUnattendedRun(false);
    if (opened) {
        addRecent(document_->pathName());
        return;
    }
    runInProgress_ = false;
    context_->marks() = {};
    document_->newDocument();
    // Declined because another copy has the project open: that copy's
    // window stands where this one was restored, and an empty window right
    // on top of it looks like the project lost.
    if (QLockFile(ProjectLockPath(QFileInfo(commandLine_.projectFile).absoluteFilePath())).getLockInfo(nullptr, nullptr,
                                                                                                     nullptr)) {
        StepAside(*frame_);
    }
}

bool CPostloomApp::openProject(const QString& path)
{
    if (!document_->saveModified()) {
        return false;
    }
    if (!document_->openDocument(path)) {
        removeRecent(QFileInfo(path).absoluteFilePath());
        return false;
    }
    addRecent(document_->pathName());
    return true;
}

void CPostloomApp::chooseAndOpen()
{
    if (!document_->saveModified()) {
        return;
    }
    if (const std::optional<QString> chosen = gate_.chooseProjectToOpen(frame_.get())) {
        if (document_->openDocument(*chosen)) {
            addRecent(document_->pathName());
        }
    }
}

void CPostloomApp::stopRun()
{
    import_->stop();
    document_->stopReading();
    view().stopRun();
    // A stopped reading sends no notice: its end is looked for here.
    auto* look = new QTimer(this);
    connect(look, &QTimer::timeout, this, [this, look] {
        document_->finishStoppedReading();
        if (!document_->hasLiveWorkers()) {
            look->deleteLater();
        }
    });
    look->start(10);
}

bool CPostloomApp::queryClose()
{
    if (quitting_) {
        return true;
    }
    document_->setClosing(true);
    document_->stopReading();
    view().stopWorkers();
    import_->stop();
    if (document_->hasLiveWorkers() || view().hasWorkers() || import_->running()) {
        QEventLoop waiting;
        QTimer look;
        connect(&look, &QTimer::timeout, &waiting, [&] {
            if (!document_->hasLiveWorkers() && !view().hasWorkers() && !import_->running()) {
                waiting.quit();
            }
        });
        look.start(5);
        waiting.exec();
    }
    document_->finishStoppedReading();
    document_->setClosing(false);
    if (!document_->saveModified()) {
        return false;
    }
    if (keepsLayout()) {
        frame_->saveLayout(*store_);
        store_->sync();
    }
    requestQuit();
    return true;
}

bool CPostloomApp::keepsLayout() const
{
    // Runs without a display and screenshots keep the user's layout as it
    // is, and screenshots keep their fixed size.
    return !headless_ && commandLine_.screenshotFile.isEmpty();
}

void CPostloomApp::requestQuit()
{
    quitting_ = true;
    const bool problems = commandLine_.marks.autoRun != 0 && context_->problems().problemsSeen() > 0;
    Q_EMIT quitRequested(gate_.failed() || problems ? 1 : 0);
}

void CPostloomApp::showHelp(const QString& page)
{
    if (!help_) {
        help_ = std::make_unique<QTextBrowser>();
        help_->setWindowTitle(QStringLiteral("Postloom ﾍﾙﾌﾟ"));
        help_->setWindowIcon(ProgramIcon());
        help_->setOpenExternalLinks(true);
        PlaceOnScreen(*help_, *frame_, kHelpSize);
    }
    help_->setSource(QUrl(QStringLiteral("qrc:/postloom/help/") + page));
    help_->show();
    help_->raise();
}

void CPostloomApp::addRecent(const QString& path)
{
    recent_.removeAll(path);
    recent_.prepend(path);
    while (recent_.size() > kRecentFileCount) {
        recent_.removeLast();
    }
    storeRecent();
}

void CPostloomApp::removeRecent(const QString& path)
{
    if (recent_.removeAll(path) > 0) {
        storeRecent();
    }
}

void CPostloomApp::storeRecent()
{
    store_->beginGroup(kRecentGroup);
    store_->remove(QString());
    for (qsizetype i = 0; i < recent_.size(); ++i) {
        store_->setValue(QStringLiteral("File%1").arg(i + 1), recent_.at(i));
    }
    store_->endGroup();
    store_->sync();
    frame_->setRecentFiles(recent_);
}

void CPostloomApp::commandDropped(int id)
{
    if (!runInProgress_ || (id != ID_THREAD_EXPAND && id != ID_HTML_CREATE && id != ID_MAILPAGE_CREATE)) {
        return;
    }
    // A refused step ends the automatic chain.
    runInProgress_ = false;
    context_->marks() = {};
    document_->endUnattendedRun();
    if (headless_) {
        const char* name = FindCommand(id) != nullptr ? FindCommand(id)->name.data() : "?";
        gate_.fail(id == ID_THREAD_EXPAND && document_->settings().mailList.empty()
                       ? QStringLiteral("the automatic run stopped after reading: the project has no mails")
                       : QStringLiteral("the automatic run stopped: %1 could not run").arg(QLatin1String(name)));
    }
}

void CPostloomApp::progressEnded()
{
    // The end of the mail pages clears both marks; every other step leaves
    // them set.
    if (runInProgress_ && context_->marks().autoRun == 0) {
        endUnattendedRun();
    }
}

void CPostloomApp::endUnattendedRun()
{
    runInProgress_ = false;
    if (commandLine_.marks.exitAfterRun != 0) {
        // Save and Exit follow: a failed save or a question ends the
        // program with a message instead of waiting for an answer.
        gate_.setUnattended(true);
    } else if (headless_) {
        requestQuit();
    }
}

void CPostloomApp::takeScreenshot()
{
    const ThreadTree& tree = view().treeModel().Tree();
    const TreeItem first = tree.FirstChild(tree.Root());
    if (first != kNoItem) {
        view().expand(view().treeModel().IndexOf(first));
        view().selectItem(first);
    }
    // The page button and the enable states follow the selection through
    // queued calls: let them arrive before the picture is taken.
    QTimer::singleShot(300, this, &CPostloomApp::saveScreenshot);
}

void CPostloomApp::saveScreenshot()
{
    const bool saved = frame_->grab().save(commandLine_.screenshotFile);
    if (!saved) {
        gate_.fail(QStringLiteral("cannot write the screenshot %1").arg(commandLine_.screenshotFile));
    }
    if (saved && !commandLine_.infoScreenshotFile.isEmpty()) {
        context_->commands().send(ID_MAIL_INFO);
        // The window lays itself out once shown.
        QTimer::singleShot(300, this, [this] {
            if (!view().infoDialog().grab().save(commandLine_.infoScreenshotFile)) {
                gate_.fail(QStringLiteral("cannot write the screenshot %1").arg(commandLine_.infoScreenshotFile));
            }
            requestQuit();
        });
        return;
    }
    requestQuit();
}

}  // namespace postloom
