#include "app/desktop/postloom_view.h"

#include "app/command_ids.h"
#include "app/status_texts.h"
#include "app/view/pictures.h"
#include "core/html/output_paths.h"
#include "core/threading/tree_builder.h"
#include "settings_ui/gui_text.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace postloom {

namespace {

// While a drag rests at the top or bottom edge, the tree moves one row per
// step: slow enough to aim at a mail, even in a tree of thousands.
constexpr int kDragScrollInterval = 80;

}  // namespace

CPostloomView::CPostloomView(AppContext& context, CPostloomDoc& document, DesktopPrompts& prompts, QWidget* parent)
    : QTreeView(parent), context_(context), document_(document), prompts_(prompts)
{
    setModel(&model_);
    setHeaderHidden(true);
    setIconSize(kTreeIconSize);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    // A drag moves one mail onto another item; the item under the cursor
    // is highlighted, never a gap between items.
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDragDropOverwriteMode(true);
    setDefaultDropAction(Qt::MoveAction);
    model_.SetDropHandler([this](TreeItem dragged, TreeItem target) { return dropMail(dragged, target); });
    dragScrollTimer_.setInterval(kDragScrollInterval);
    connect(&dragScrollTimer_, &QTimer::timeout, this, [this] { dragScroll(); });

    infoDialog_ = std::make_unique<CMailInfoDialog>();
    connect(infoDialog_.get(), &CMailInfoDialog::navigate, this, [this](int id) { navigate(id); });
    connect(infoDialog_.get(), &CMailInfoDialog::openMailRequested, this,
            [this] { context_.commands().send(ID_MAIL_OPEN); });

    chain_ = std::make_unique<GenerationChain>(context_, static_cast<GenerationHost&>(*this));
    document_.setWorkerProbe([this] { return hasWorkers(); });
    connect(&document_, &CPostloomDoc::resetTree, this, [this] { model_.DeleteAll(); });
    // Every new tree: a change made in the one before cannot be taken back.
    connect(&model_, &QAbstractItemModel::modelReset, &document_, &CPostloomDoc::forgetUndo);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { noteSelectionChanged(); });

    routes_ = context_.commands().addRoutes(
        RouteLevel::View,
        {
            {.id = ID_FILE_NEW, .handler = [this] { newProject(); }},
            {.id = ID_THREAD_EXPAND, .handler = [this] { buildTree(); }},
            {.id = ID_UPDATE_TREEITEM, .handler = [this] { treeDone(); }},
            {.id = ID_MAIL_RELOAD, .handler = [this] { reload(); }},
            {.id = ID_MAIL_OPEN, .enabled = [this] { return mailOpenable(); }, .handler = [this] { openMail(); }},
            {.id = ID_MAIL_INFO,
             .enabled = [this] { return !document_.locked() && mailSelected(); },
             .handler = [this] { showInfo(); }},
            {.id = ID_MAIL_UP,
             .enabled = [this] { return movable() && CanMoveUp(model_.Tree(), selectedItem()); },
             .handler = [this] { move(MoveDirection::Up); }},
            {.id = ID_MAIL_DOWN,
             .enabled = [this] { return movable() && CanMoveDown(model_.Tree(), selectedItem()); },
             .handler = [this] { move(MoveDirection::Down); }},
            {.id = ID_EDIT_UNDO,
             .enabled = [this] { return movable() && document_.undoStack().canUndo(); },
             .handler = [this] { step([this] { document_.undoStack().undo(); }); }},
            {.id = ID_EDIT_REDO,
             .enabled = [this] { return movable() && document_.undoStack().canRedo(); },
             .handler = [this] { step([this] { document_.undoStack().redo(); }); }},
            {.id = ID_EDIT_CUT,
             .enabled = [this] { return movable() && CanDrag(model_.Tree(), selectedItem()); },
             .handler = [this] { cutMail(); }},
            {.id = ID_EDIT_PASTE, .enabled = [this] { return canPaste(); }, .handler = [this] { pasteMail(); }},
            {.id = ID_MAILPAGE_ON,
             .enabled = [this] {
                 const MailRecord* mail = selectedMail();
                 return !document_.locked() && mail != nullptr && mail->outputHtml == 0;
             },
             .handler = [this] { switchPage(true); }},
            {.id = ID_MAILPAGE_OFF,
             .enabled = [this] {
                 const MailRecord* mail = selectedMail();
                 return !document_.locked() && mail != nullptr && mail->outputHtml != 0;
             },
             .handler = [this] { switchPage(false); }},
        });
}

CPostloomView::~CPostloomView()
{
    routes_ = {};
    stopWorkers();
    chain_.reset();
    treeWorker_.reset();
    document_.setWorkerProbe({});
}

void CPostloomView::stopWorkers()
{
    if (treeWorker_) {
        treeWorker_->requestStop();
    }
    // The chain can stop only its page worker; it is asked through its
    // destructor when the view goes. Meanwhile nothing new starts: the
    // document's rules are locked while any worker runs.
}

void CPostloomView::stopRun()
{
    stopWorkers();
    chain_->requestStop();
}

TreeItem CPostloomView::selectedItem() const
{
    return SelectedItem(*selectionModel());
}

void CPostloomView::selectItem(TreeItem item)
{
    SelectItem(*selectionModel(), model_, item);
}

MailRecord* CPostloomView::mailOf(TreeItem item) const
{
    const ThreadTree& tree = model_.Tree();
    if (item == kNoItem || !tree.IsValid(item)) {
        return nullptr;
    }
    const std::uint32_t index = tree.ItemData(item);
    const MailList& mails = document_.settings().mailList;
    return index < mails.size() ? mails[index].get() : nullptr;
}

bool CPostloomView::mailSelected() const
{
    const TreeItem item = selectedItem();
    return item != kNoItem && model_.Tree().Parent(item) != kNoItem;
}

MailRecord* CPostloomView::selectedMail() const
{
    return mailSelected() ? mailOf(selectedItem()) : nullptr;
}

bool CPostloomView::newProject(bool openSheet)
{
    if (!document_.saveModified()) {
        return false;
    }
    model_.DeleteAll();
    document_.newDocument();
    if (openSheet) {
        context_.commands().post(ID_PROJECT_PROPERTY);
    }
    return true;
}

void CPostloomView::buildTree()
{
    model_.DeleteAll();
    document_.setStatusText(kStatusBuildingTree);
    ProjectSettings& settings = document_.settings();
    ThreadTree tree;
    tree.Insert(settings.Title, kIconProject, 0, kNoItem, ThreadTree::Place::Last);
    const std::size_t mails = settings.mailList.size();
    const int upper = mails > static_cast<std::size_t>(INT_MAX / 2) ? INT_MAX : static_cast<int>(mails * 2);
    context_.postToMainWindow([upper](MainWindow& window) { window.dispProgress(0, upper); });
    treeWorker_ = std::make_unique<CTreeMakeThread>(context_, settings, std::move(tree));
    treeWorker_->start();
    Q_EMIT stateChanged();
}

void CPostloomView::treeDone()
{
    if (!treeWorker_) {
        return;
    }
    model_.TakeTree(treeWorker_->takeTree());
    expand(model_.IndexOf(model_.Tree().Root()));
    treeWorker_.reset();
    document_.setTreeBuilt(true);
    context_.postToMainWindow([](MainWindow& window) { window.updateProgress(0, 0); });
    document_.setStatusText({});
    if (context_.marks().autoRun != 0) {
        context_.commands().post(ID_HTML_CREATE);
    }
    Q_EMIT stateChanged();
    Q_EMIT treeFinished();
}

void CPostloomView::reload()
{
    if (!document_.confirmReload()) {
        return;
    }
    model_.DeleteAll();
    document_.settings().mailList.clear();
    document_.startReading();
}

bool CPostloomView::mailOpenable() const
{
    const MailRecord* mail = selectedMail();
    return !document_.locked() && mail != nullptr && IsUsableFileName(mail->fileName);
}

void CPostloomView::openMail()
{
    const MailRecord* mail = selectedMail();
    // A stored name with a separator (or "." / "..") names no mail file:
    // the project file may come from anyone.
    if (mail == nullptr || !IsUsableFileName(mail->fileName)) {
        return;
    }
    const OutputPaths paths(document_.settings(), document_.projectFolder());
    prompts_.openWithDesktop(FromCp932(paths.MailSourcePath(*mail)));
}

void CPostloomView::switchPage(bool on)
{
    if (selectedMail() != nullptr) {
        push(MakePageCommand(*this, selectedItem(), on));
    }
}

void CPostloomView::pagesChanged(TreeItem item)
{
    selectItem(item);
    reveal(item);
    const MailRecord* mail = mailOf(item);
    postCheck(mail != nullptr && mail->outputHtml != 0 ? 1 : 0);
    Q_EMIT stateChanged();
}

void CPostloomView::noteSelectionChanged()
{
    const TreeItem item = selectedItem();
    if (item != kNoItem) {
        // The project item's data is 0, so it shows the first mail's flag.
        const MailRecord* mail = mailOf(item);
        postCheck(mail != nullptr && mail->outputHtml != 0 ? 1 : 0);
    }
    Q_EMIT stateChanged();
}

void CPostloomView::postCheck(int outputHtml)
{
    QMetaObject::invokeMethod(this, [this, outputHtml] { Q_EMIT postloomCheck(outputHtml); }, Qt::QueuedConnection);
}

std::unique_ptr<QMenu> CPostloomView::contextMenuAt(const QPoint& point)
{
    const TreeItem item = model_.ItemOf(indexAt(point));
    if (item == kNoItem || model_.Tree().Parent(item) == kNoItem) {
        return nullptr;
    }
    selectItem(item);
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this, &menu](const QString& text, int id) {
        QAction* action = menu->addAction(text);
        action->setEnabled(context_.commands().isEnabled(id));
        connect(action, &QAction::triggered, this, [this, id] { context_.commands().send(id); });
    };
    add(QStringLiteral("ﾒｰﾙを開く"), ID_MAIL_OPEN);
    add(QStringLiteral("ﾒｰﾙのﾌﾟﾛﾊﾟﾃｨ"), ID_MAIL_INFO);
    return menu;
}

void CPostloomView::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu key names no point: the menu belongs to the selected mail.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        showKeyboardMenu();
    } else if (const std::unique_ptr<QMenu> menu = contextMenuAt(event->pos())) {
        menu->exec(event->globalPos());
    }
    event->accept();
}

void CPostloomView::showKeyboardMenu()
{
    const QModelIndex index = model_.IndexOf(selectedItem());
    if (!index.isValid()) {
        return;
    }
    scrollTo(index);
    const QRect cell = visualRect(index);
    if (const std::unique_ptr<QMenu> menu = contextMenuAt(cell.center())) {
        menu->exec(viewport()->mapToGlobal(cell.bottomLeft()));
    }
}

void CPostloomView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier && mailSelected()) {
        context_.commands().send(ID_MAIL_INFO);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        showKeyboardMenu();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

bool CPostloomView::onIcon(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) {
        return false;
    }
    const QRect cell = visualRect(index);
    return point.x() >= cell.left() && point.x() < cell.left() + iconSize().width() + 4;
}

void CPostloomView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // On an icon the double click belongs to the mail information (the
    // first click has selected the item); the item neither expands nor
    // collapses, not even the project item.
    const QPoint point = event->position().toPoint();
    if (onIcon(point)) {
        const TreeItem item = model_.ItemOf(indexAt(point));
        if (model_.Tree().Parent(item) != kNoItem) {
            showInfo();
        }
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

bool CPostloomView::event(QEvent* event)
{
    // The main window has become active, and with it this view.
    if (event->type() == QEvent::WindowActivate) {
        infoDialog_->makeTopmost();
    }
    return QTreeView::event(event);
}

void CPostloomView::showInfo()
{
    const TreeItem item = selectedItem();
    const MailRecord* mail = selectedMail();
    if (mail == nullptr) {
        return;
    }
    const ThreadTree& tree = model_.Tree();
    infoDialog_->showMail(*mail, {.next = tree.NextSibling(item) != kNoItem,
                                  .previous = tree.PrevSibling(item) != kNoItem,
                                  .parent = tree.Parent(item) != tree.Root(),
                                  .child = tree.HasChildren(item)});
}

void CPostloomView::navigate(int id)
{
    if (!mailSelected()) {
        return;
    }
    const TreeItem item = selectedItem();
    const ThreadTree& tree = model_.Tree();
    TreeItem target = kNoItem;
    switch (id) {
    case ID_NEXT_INFO:
        target = tree.NextSibling(item);
        break;
    case ID_PREV_INFO:
        target = tree.PrevSibling(item);
        break;
    case ID_PARENT_INFO:
        // The project item shows no mail.
        target = tree.Parent(item) == tree.Root() ? kNoItem : tree.Parent(item);
        break;
    case ID_CHILD_INFO:
        target = tree.FirstChild(item);
        break;
    default:
        break;
    }
    if (target == kNoItem) {
        return;
    }
    selectItem(target);
    showInfo();
}

bool CPostloomView::movable() const
{
    // Also while the index or page worker runs: it reads the tree and the
    // mails' links.
    return !document_.locked();
}

std::vector<TreeItem> CPostloomView::expandedFrom(TreeItem item) const
{
    std::vector<TreeItem> expanded;
    const ThreadTree& tree = model_.Tree();
    if (item == kNoItem || !tree.IsValid(item)) {
        return expanded;
    }
    std::vector<TreeItem> pending{item};
    while (!pending.empty()) {
        const TreeItem current = pending.back();
        pending.pop_back();
        if (!isExpanded(model_.IndexOf(current))) {
            continue;
        }
        expanded.push_back(current);
        for (TreeItem child = tree.FirstChild(current); child != kNoItem; child = tree.NextSibling(child)) {
            pending.push_back(child);
        }
    }
    std::sort(expanded.begin(), expanded.end());
    return expanded;
}

void CPostloomView::treeChanged(const TreeChange& change, const std::vector<TreeItem>& expanded)
{
    for (const auto& [original, copy] : change.copies) {
        if (std::binary_search(expanded.begin(), expanded.end(), original)) {
            expand(model_.IndexOf(copy));
        }
        if (original == model_.CutItem()) {
            model_.SetCutItem(copy);
        }
    }
    selectItem(change.select);
    reveal(change.select);
    Q_EMIT stateChanged();
}

bool CPostloomView::push(std::unique_ptr<QUndoCommand> command)
{
    if (!command) {
        return false;
    }
    // The stack takes the command and carries it out.
    step([this, &command] { document_.undoStack().push(command.release()); });
    return true;
}

void CPostloomView::step(const std::function<void()>& change)
{
    // A change re-creates whole threads: they show once, when it is done.
    setUpdatesEnabled(false);
    change();
    setUpdatesEnabled(true);
}

void CPostloomView::reveal(TreeItem item)
{
    const QModelIndex index = model_.IndexOf(item);
    if (!index.isValid()) {
        return;
    }
    // The tree view opens the parents itself only outside a drag, and a
    // drop happens inside one.
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        expand(parent);
    }
    scrollTo(index);
}

void CPostloomView::move(MoveDirection direction)
{
    if (movable()) {
        push(MakeMoveCommand(*this, selectedItem(), direction));
    }
}

bool CPostloomView::beginDrag(TreeItem item)
{
    if (!movable() || !CanDrag(model_.Tree(), item)) {
        return false;
    }
    // Nothing is selected during the drag; the drop selects the mail.
    selectItem(kNoItem);
    return true;
}

bool CPostloomView::dropMail(TreeItem dragged, TreeItem target)
{
    selectItem(kNoItem);
    return placeMail(dragged, target, kUndoDrop);
}

bool CPostloomView::placeMail(TreeItem dragged, TreeItem target, const QString& text)
{
    return movable() && push(MakePlaceCommand(*this, dragged, target, text));
}

void CPostloomView::cutMail()
{
    const TreeItem item = selectedItem();
    if (!movable() || !CanDrag(model_.Tree(), item)) {
        return;
    }
    model_.SetCutItem(item);
    Q_EMIT stateChanged();
}

bool CPostloomView::canPaste() const
{
    return movable() && DropChanges(model_.Tree(), model_.CutItem(), selectedItem());
}

bool CPostloomView::pasteMail()
{
    if (!canPaste() || !placeMail(model_.CutItem(), selectedItem(), kUndoPaste)) {
        return false;
    }
    model_.SetCutItem(kNoItem);
    Q_EMIT stateChanged();
    return true;
}

void CPostloomView::startDrag(Qt::DropActions)
{
    const TreeItem item = selectedItem();
    if (!beginDrag(item)) {
        return;
    }
    const QModelIndex index = model_.IndexOf(item);
    std::unique_ptr<QMimeData> data(model_.mimeData({index}));
    if (!data) {
        return;
    }
    // The item as it shows, icon and text, hanging from the cursor.
    const QPixmap image = viewport()->grab(visualRect(index));
    auto* drag = new QDrag(this);  // deleted by Qt when the drag has ended
    drag->setMimeData(data.release());
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(0, 0));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void CPostloomView::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeView::dragMoveEvent(event);
    holdDragAt(event->position().toPoint());
}

void CPostloomView::holdDragAt(QPoint position)
{
    // Qt's own edge scrolling speeds up to a page per step: too fast to
    // aim at a mail. The same edge margin, at a steady pace instead.
    stopAutoScroll();
    const QRect area = viewport()->rect();
    const int margin = autoScrollMargin();
    const int y = position.y();
    dragScrollDirection_ = y - area.top() < margin ? -1 : (area.bottom() - y < margin ? 1 : 0);
    if (dragScrollDirection_ == 0) {
        dragScrollTimer_.stop();
    } else if (!dragScrollTimer_.isActive()) {
        dragScrollTimer_.start();
    }
}

void CPostloomView::dragLeaveEvent(QDragLeaveEvent* event)
{
    stopDragScroll();
    QTreeView::dragLeaveEvent(event);
}

void CPostloomView::dropEvent(QDropEvent* event)
{
    stopDragScroll();
    QTreeView::dropEvent(event);
}

void CPostloomView::dragScroll()
{
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->triggerAction(dragScrollDirection_ < 0 ? QAbstractSlider::SliderSingleStepSub
                                                : QAbstractSlider::SliderSingleStepAdd);
    if (bar->value() == before) {
        stopDragScroll();
    }
}

void CPostloomView::stopDragScroll()
{
    dragScrollTimer_.stop();
    dragScrollDirection_ = 0;
}

}  // namespace postloom
