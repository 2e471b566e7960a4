#pragma once

#include "core/threading/tree_item.h"

#include <cstdint>
#include <string>
#include <vector>

namespace postloom {

// The thread structure of the program: an ordered tree of items, each with a
// text, an icon, a 32-bit item data and an expand state. Items are named by
// handles that stay valid until the item is deleted; a handle is never given
// out twice, not even after DeleteAll(). A copy keeps the handles.
//
// The project item is the first top-level item; mail items carry the index
// of their mail in mailList as item data.
class ThreadTree {
public:
    enum class Place { First, Last };

    TreeItem Insert(std::string text, int icon, std::uint32_t data, TreeItem parent, Place place);
    // Directly behind the sibling after, which must be a child of parent.
    TreeItem InsertAfter(std::string text, int icon, std::uint32_t data, TreeItem parent, TreeItem after);

    bool IsValid(TreeItem item) const;
    TreeItem Root() const { return firstTop_; }
    TreeItem FirstChild(TreeItem item) const;
    TreeItem LastChild(TreeItem item) const;
    TreeItem NextSibling(TreeItem item) const;
    TreeItem PrevSibling(TreeItem item) const;
    TreeItem Parent(TreeItem item) const;
    bool HasChildren(TreeItem item) const { return FirstChild(item) != kNoItem; }

    std::uint32_t ItemData(TreeItem item) const;
    void SetItemData(TreeItem item, std::uint32_t data);
    int Icon(TreeItem item) const;
    void SetIcon(TreeItem item, int icon);
    const std::string& Text(TreeItem item) const;
    void SetText(TreeItem item, std::string text);

    TreeItem Selected() const { return selected_; }
    // kNoItem clears the selection.
    void Select(TreeItem item);

    bool IsExpanded(TreeItem item) const;
    void SetExpanded(TreeItem item, bool expanded);

    // Makes room for this many more items at once: a large tree then grows
    // without copying itself.
    void Reserve(std::size_t items) { nodes_.reserve(nodes_.size() + items); }

    // Removes the item and everything below it.
    void Delete(TreeItem item);
    void DeleteAll();

    // Number of living items.
    std::size_t Size() const { return living_; }
    // Number of children and the position of an item among its siblings
    // (linear in the number of siblings).
    int ChildCount(TreeItem parent) const;
    int Row(TreeItem item) const;

    // The tree as text for tests: every item as its item data, children in
    // parentheses after their parent, e.g. "0(3(4) 5) 7".
    std::string Dump() const;

private:
    struct Node {
        std::string text;
        int icon = 0;
        std::uint32_t data = 0;
        TreeItem parent = kNoItem;
        TreeItem firstChild = kNoItem;
        TreeItem lastChild = kNoItem;
        TreeItem next = kNoItem;
        TreeItem prev = kNoItem;
        bool expanded = false;
        bool alive = false;
    };

    Node& At(TreeItem item);
    const Node& At(TreeItem item) const;
    TreeItem NewNode(std::string text, int icon, std::uint32_t data, TreeItem parent);
    void Link(TreeItem item, TreeItem parent, TreeItem after);
    void DumpLevel(TreeItem first, std::string& out) const;

    std::vector<Node> nodes_;
    TreeItem base_ = 0;  // handle of nodes_[i] is base_ + i + 1
    TreeItem firstTop_ = kNoItem;
    TreeItem lastTop_ = kNoItem;
    TreeItem selected_ = kNoItem;
    std::size_t living_ = 0;
};

}  // namespace postloom
