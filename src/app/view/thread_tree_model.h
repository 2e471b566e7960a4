#pragma once

#include "core/threading/thread_tree.h"

#include <QAbstractItemModel>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QItemSelectionModel;

namespace postloom {

// The drag format of a tree item: its handle, written with QDataStream.
inline const QString kThreadItemMimeType = QStringLiteral("application/x-postloom-thread-item");

// Shows a ThreadTree in a QTreeView: one column, one row per item, the
// item's handle as the index's internal id. Every change of the tree goes
// through this model so that the views hear of it; the tree itself is only
// handed out read-only.
//
// A handle that is not (or no longer) in the tree is refused by every
// operation: nothing changes and the result says so.
class ThreadTreeModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit ThreadTreeModel(QObject* parent = nullptr);

    const ThreadTree& Tree() const { return tree_; }

    // Carries out a drop of the item dragged onto target (an item, never
    // kNoItem) and says whether it did. Without a handler nothing drops.
    using DropHandler = std::function<bool(TreeItem dragged, TreeItem target)>;
    void SetDropHandler(DropHandler handler) { dropHandler_ = std::move(handler); }

    // Replaces the whole tree, e.g. by the one the tree worker has built.
    void TakeTree(ThreadTree tree);
    void DeleteAll();

    // The project item: text Title, the project icon, item data 0, appended
    // at the top level (the caller empties the tree first).
    TreeItem InsertProjectItem(std::string title);
    // Return kNoItem when parent (or after) is not an item of the tree, or
    // after is not a child of parent.
    TreeItem Insert(std::string text, int icon, std::uint32_t data, TreeItem parent, ThreadTree::Place place);
    TreeItem InsertAfter(std::string text, int icon, std::uint32_t data, TreeItem parent, TreeItem after);
    // Removes the item with everything below it.
    bool Delete(TreeItem item);
    bool SetIcon(TreeItem item, int icon);
    bool SetItemData(TreeItem item, std::uint32_t data);

    // The item cut for a later paste, shown faded; kNoItem for none. A cut
    // item that leaves the tree is forgotten.
    void SetCutItem(TreeItem item);
    TreeItem CutItem() const { return tree_.IsValid(cut_) ? cut_ : kNoItem; }

    // Re-creates the items below source as the last children of target,
    // nested as before, each with the text, icon and item data of its
    // original. Returns the pairs (original, copy) in the order the copies
    // were made (depth first, siblings in order) so that the caller can
    // point its mails at the copies. Refused (empty result, nothing changed)
    // when target is source or lies below it: the copy would never end.
    std::vector<std::pair<TreeItem, TreeItem>> RecreateChildren(TreeItem source, TreeItem target);

    // kNoItem and unknown handles map to the invalid index.
    QModelIndex IndexOf(TreeItem item) const;
    // The invalid index and indexes of other models map to kNoItem.
    TreeItem ItemOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Mail items can be dragged; every item takes drops.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drag and drop moves one item onto another item; the drop handler
    // decides what that means.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    // Not onto the dragged item or anything below it, nor between items.
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    // The dragged item of a drop onto target, or kNoItem when it may not drop there.
    TreeItem DropSource(const QMimeData* data, Qt::DropAction action, int row, int column,
                        const QModelIndex& target) const;
    bool Holds(TreeItem item) const { return item == kNoItem || tree_.IsValid(item); }
    const std::vector<TreeItem>& Children(TreeItem parent) const;
    int RowOf(TreeItem item) const;
    void NoteInserted(TreeItem parent, int row, TreeItem item);
    void NoteRemoved(TreeItem parent, int row);
    void ForgetSubtree(TreeItem item);
    void ForgetAll();

    ThreadTree tree_;
    std::array<QPixmap, 5> icons_;
    DropHandler dropHandler_;
    TreeItem cut_ = kNoItem;

    // The tree links siblings in a list; a view asks for rows at random and
    // a project item can have tens of thousands of children. So the child
    // rows of each item are gathered on first use and kept up to date by the
    // model's own changes. rows_ holds the row of every item whose parent
    // has an entry in children_.
    mutable std::unordered_map<TreeItem, std::vector<TreeItem>> children_;
    mutable std::unordered_map<TreeItem, int> rows_;
};

// The view's selection model is the tree's selection (one item at most).
TreeItem SelectedItem(const QItemSelectionModel& selection);
// kNoItem clears the selection and the current item.
void SelectItem(QItemSelectionModel& selection, const ThreadTreeModel& model, TreeItem item);

}  // namespace postloom
