#include "app/view/thread_tree_model.h"

#include "app/view/display_text.h"
#include "app/view/pictures.h"
#include "core/threading/tree_builder.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPalette>

namespace postloom {

ThreadTreeModel::ThreadTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    for (int i = 0; i < kTreeIconCount; ++i)
        icons_[static_cast<std::size_t>(i)] = TreeIconPixmap(i, ratio);
}

void ThreadTreeModel::TakeTree(ThreadTree tree)
{
    beginResetModel();
    tree_ = std::move(tree);
    ForgetAll();
    endResetModel();
}

void ThreadTreeModel::DeleteAll()
{
    beginResetModel();
    tree_.DeleteAll();
    ForgetAll();
    endResetModel();
}

TreeItem ThreadTreeModel::InsertProjectItem(std::string title)
{
    return Insert(std::move(title), kIconProject, 0, kNoItem, ThreadTree::Place::Last);
}

TreeItem ThreadTreeModel::Insert(std::string text, int icon, std::uint32_t data, TreeItem parent,
                                 ThreadTree::Place place)
{
    if (!Holds(parent))
        return kNoItem;
    const int row = place == ThreadTree::Place::First ? 0 : static_cast<int>(Children(parent).size());
    beginInsertRows(IndexOf(parent), row, row);
    const TreeItem item = tree_.Insert(std::move(text), icon, data, parent, place);
    NoteInserted(parent, row, item);
    endInsertRows();
    return item;
}

TreeItem ThreadTreeModel::InsertAfter(std::string text, int icon, std::uint32_t data, TreeItem parent,
                                      TreeItem after)
{
    if (!Holds(parent) || !Holds(after) || (after != kNoItem && tree_.Parent(after) != parent))
        return kNoItem;
    const int row = after == kNoItem ? 0 : RowOf(after) + 1;
    beginInsertRows(IndexOf(parent), row, row);
    const TreeItem item = tree_.InsertAfter(std::move(text), icon, data, parent, after);
    NoteInserted(parent, row, item);
    endInsertRows();
    return item;
}

bool ThreadTreeModel::Delete(TreeItem item)
{
    if (item == kNoItem || !tree_.IsValid(item))
        return false;
    const TreeItem parent = tree_.Parent(item);
    const int row = RowOf(item);
    beginRemoveRows(IndexOf(parent), row, row);
    ForgetSubtree(item);
    tree_.Delete(item);
    NoteRemoved(parent, row);
    endRemoveRows();
    return true;
}

bool ThreadTreeModel::SetIcon(TreeItem item, int icon)
{
    if (item == kNoItem || !tree_.IsValid(item))
        return false;
    if (tree_.Icon(item) != icon) {
        tree_.SetIcon(item, icon);
        const QModelIndex changed = IndexOf(item);
        emit dataChanged(changed, changed, {Qt::DecorationRole});
    }
    return true;
}

bool ThreadTreeModel::SetItemData(TreeItem item, std::uint32_t data)
{
    if (item == kNoItem || !tree_.IsValid(item))
        return false;
    // Item data is not shown, so the views need not hear of it.
    tree_.SetItemData(item, data);
    return true;
}

void ThreadTreeModel::SetCutItem(TreeItem item)
{
    const TreeItem before = CutItem();
    cut_ = item;
    for (const TreeItem changed : {before, CutItem()}) {
        if (const QModelIndex index = IndexOf(changed); index.isValid())
            emit dataChanged(index, index, {Qt::ForegroundRole});
    }
}

std::vector<std::pair<TreeItem, TreeItem>> ThreadTreeModel::RecreateChildren(TreeItem source, TreeItem target)
{
    std::vector<std::pair<TreeItem, TreeItem>> copies;
    if (source == kNoItem || target == kNoItem || !tree_.IsValid(source) || !tree_.IsValid(target))
        return copies;
    for (TreeItem above = target; above != kNoItem; above = tree_.Parent(above)) {
        if (above == source)
            return copies;
    }
    const int count = static_cast<int>(Children(source).size());
    if (count == 0)
        return copies;

    const int firstRow = static_cast<int>(Children(target).size());
    int nextRow = firstRow;
    beginInsertRows(IndexOf(target), firstRow, firstRow + count - 1);
    // Depth first without recursion: a thread can be thousands of replies deep.
    struct Pending {
        TreeItem next;    // the next original of this sibling row
        TreeItem parent;  // where its copy goes
    };
    std::vector<Pending> pending{{tree_.FirstChild(source), target}};
    while (!pending.empty()) {
        const Pending current = pending.back();
        if (current.next == kNoItem) {
            pending.pop_back();
            continue;
        }
        pending.back().next = tree_.NextSibling(current.next);
        const TreeItem copy = tree_.Insert(tree_.Text(current.next), tree_.Icon(current.next),
                                           tree_.ItemData(current.next), current.parent, ThreadTree::Place::Last);
        copies.emplace_back(current.next, copy);
        if (current.parent == target)
            NoteInserted(target, nextRow++, copy);
        if (tree_.HasChildren(current.next))
            pending.push_back({tree_.FirstChild(current.next), copy});
    }
    endInsertRows();
    return copies;
}

QModelIndex ThreadTreeModel::IndexOf(TreeItem item) const
{
    if (item == kNoItem || !tree_.IsValid(item))
        return {};
    return createIndex(RowOf(item), 0, static_cast<quintptr>(item));
}

TreeItem ThreadTreeModel::ItemOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return kNoItem;
    return static_cast<TreeItem>(index.internalId());
}

QModelIndex ThreadTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || parent.column() > 0)
        return {};
    const TreeItem parentItem = ItemOf(parent);
    if (parent.isValid() && (parentItem == kNoItem || !tree_.IsValid(parentItem)))
        return {};
    const std::vector<TreeItem>& children = Children(parentItem);
    if (static_cast<std::size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex ThreadTreeModel::parent(const QModelIndex& child) const
{
    const TreeItem item = ItemOf(child);
    if (item == kNoItem || !tree_.IsValid(item))
        return {};
    return IndexOf(tree_.Parent(item));
}

int ThreadTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const TreeItem item = ItemOf(parent);
    if (parent.isValid() && (item == kNoItem || !tree_.IsValid(item)))
        return 0;
    return static_cast<int>(Children(item).size());
}

int ThreadTreeModel::columnCount(const QModelIndex& parent) const
{
    return parent.column() > 0 ? 0 : 1;
}

bool ThreadTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return false;
    const TreeItem item = ItemOf(parent);
    if (parent.isValid() && (item == kNoItem || !tree_.IsValid(item)))
        return false;
    // Asked for every visible row: answered from the links, without
    // gathering the rows.
    return tree_.HasChildren(item);
}

QVariant ThreadTreeModel::data(const QModelIndex& index, int role) const
{
    const TreeItem item = ItemOf(index);
    if (item == kNoItem || !tree_.IsValid(item))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(tree_.Text(item));
    case Qt::DecorationRole: {
        const int icon = tree_.Icon(item);
        if (icon < 0 || icon >= kTreeIconCount)
            return {};
        return icons_[static_cast<std::size_t>(icon)];
    }
    case Qt::ForegroundRole:
        if (item == cut_)
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags ThreadTreeModel::flags(const QModelIndex& index) const
{
    const TreeItem item = ItemOf(index);
    if (item == kNoItem || !tree_.IsValid(item))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    // The project item stays where it is.
    if (tree_.Parent(item) != kNoItem)
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList ThreadTreeModel::mimeTypes() const
{
    return {kThreadItemMimeType};
}

QMimeData* ThreadTreeModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.size() != 1)
        return nullptr;
    const TreeItem item = ItemOf(indexes.first());
    if (item == kNoItem || !tree_.IsValid(item) || tree_.Parent(item) == kNoItem)
        return nullptr;
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    stream << static_cast<quint32>(item);
    auto* data = new QMimeData;
    data->setData(kThreadItemMimeType, encoded);
    return data;
}

TreeItem ThreadTreeModel::DropSource(const QMimeData* data, Qt::DropAction action, int row, int column,
                                     const QModelIndex& target) const
{
    if (data == nullptr || !data->hasFormat(kThreadItemMimeType) || action != Qt::MoveAction || row != -1 ||
        column > 0)
        return kNoItem;
    const TreeItem onto = ItemOf(target);
    if (onto == kNoItem || !tree_.IsValid(onto))
        return kNoItem;
    QDataStream stream(data->data(kThreadItemMimeType));
    quint32 dragged = 0;
    stream >> dragged;
    if (stream.status() != QDataStream::Ok || !tree_.IsValid(dragged) || tree_.Parent(dragged) == kNoItem)
        return kNoItem;
    for (TreeItem above = onto; above != kNoItem; above = tree_.Parent(above)) {
        if (above == dragged)
            return kNoItem;
    }
    return dragged;
}

bool ThreadTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                      const QModelIndex& parent) const
{
    return DropSource(data, action, row, column, parent) != kNoItem;
}

bool ThreadTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                   const QModelIndex& parent)
{
    const TreeItem dragged = DropSource(data, action, row, column, parent);
    if (dragged == kNoItem || !dropHandler_)
        return false;
    return dropHandler_(dragged, ItemOf(parent));
}

const std::vector<TreeItem>& ThreadTreeModel::Children(TreeItem parent) const
{
    const auto [found, added] = children_.try_emplace(parent);
    std::vector<TreeItem>& children = found->second;
    if (added) {
        int row = 0;
        for (TreeItem child = tree_.FirstChild(parent); child != kNoItem; child = tree_.NextSibling(child)) {
            children.push_back(child);
            rows_[child] = row++;
        }
    }
    return children;
}

int ThreadTreeModel::RowOf(TreeItem item) const
{
    Children(tree_.Parent(item));
    return rows_.at(item);
}

void ThreadTreeModel::NoteInserted(TreeItem parent, int row, TreeItem item)
{
    const auto found = children_.find(parent);
    if (found == children_.end())
        return;
    std::vector<TreeItem>& children = found->second;
    children.insert(children.begin() + row, item);
    for (std::size_t r = static_cast<std::size_t>(row); r < children.size(); ++r)
        rows_[children[r]] = static_cast<int>(r);
}

void ThreadTreeModel::NoteRemoved(TreeItem parent, int row)
{
    const auto found = children_.find(parent);
    if (found == children_.end())
        return;
    std::vector<TreeItem>& children = found->second;
    children.erase(children.begin() + row);
    for (std::size_t r = static_cast<std::size_t>(row); r < children.size(); ++r)
        rows_[children[r]] = static_cast<int>(r);
}

void ThreadTreeModel::ForgetSubtree(TreeItem item)
{
    std::vector<TreeItem> pending{item};
    while (!pending.empty()) {
        const TreeItem current = pending.back();
        pending.pop_back();
        for (TreeItem child = tree_.FirstChild(current); child != kNoItem; child = tree_.NextSibling(child))
            pending.push_back(child);
        children_.erase(current);
        rows_.erase(current);
    }
}

void ThreadTreeModel::ForgetAll()
{
    cut_ = kNoItem;
    children_.clear();
    rows_.clear();
}

TreeItem SelectedItem(const QItemSelectionModel& selection)
{
    const QModelIndexList selected = selection.selectedIndexes();
    if (selected.isEmpty())
        return kNoItem;
    return static_cast<TreeItem>(selected.first().internalId());
}

void SelectItem(QItemSelectionModel& selection, const ThreadTreeModel& model, TreeItem item)
{
    const QModelIndex index = model.IndexOf(item);
    if (!index.isValid()) {
        selection.clear();
        return;
    }
    selection.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

}  // namespace postloom
