#include "core/threading/thread_tree.h"

#include <stdexcept>

namespace postloom {

bool ThreadTree::IsValid(TreeItem item) const
{
    return item > base_ && item - base_ <= nodes_.size() && nodes_[item - base_ - 1].alive;
}

ThreadTree::Node& ThreadTree::At(TreeItem item)
{
    if (!IsValid(item))
        throw std::out_of_range("ThreadTree: invalid item handle");
    return nodes_[item - base_ - 1];
}

const ThreadTree::Node& ThreadTree::At(TreeItem item) const
{
    if (!IsValid(item))
        throw std::out_of_range("ThreadTree: invalid item handle");
    return nodes_[item - base_ - 1];
}

TreeItem ThreadTree::NewNode(std::string text, int icon, std::uint32_t data, TreeItem parent)
{
    if (parent != kNoItem)
        At(parent);  // validates
    Node node;
    node.text = std::move(text);
    node.icon = icon;
    node.data = data;
    node.parent = parent;
    node.alive = true;
    nodes_.push_back(std::move(node));
    ++living_;
    return base_ + static_cast<TreeItem>(nodes_.size());
}

// Links item into parent's children behind after (kNoItem: first).
void ThreadTree::Link(TreeItem item, TreeItem parent, TreeItem after)
{
    TreeItem& first = parent == kNoItem ? firstTop_ : At(parent).firstChild;
    TreeItem& last = parent == kNoItem ? lastTop_ : At(parent).lastChild;
    Node& node = At(item);
    node.prev = after;
    node.next = after == kNoItem ? first : At(after).next;
    if (node.prev != kNoItem)
        At(node.prev).next = item;
    else
        first = item;
    if (node.next != kNoItem)
        At(node.next).prev = item;
    else
        last = item;
}

TreeItem ThreadTree::Insert(std::string text, int icon, std::uint32_t data, TreeItem parent, Place place)
{
    const TreeItem item = NewNode(std::move(text), icon, data, parent);
    const TreeItem after = place == Place::First ? kNoItem : LastChild(parent);
    Link(item, parent, after);
    return item;
}

TreeItem ThreadTree::InsertAfter(std::string text, int icon, std::uint32_t data, TreeItem parent, TreeItem after)
{
    if (after != kNoItem && At(after).parent != parent)
        throw std::invalid_argument("ThreadTree: sibling has another parent");
    const TreeItem item = NewNode(std::move(text), icon, data, parent);
    Link(item, parent, after);
    return item;
}

TreeItem ThreadTree::FirstChild(TreeItem item) const
{
    return item == kNoItem ? firstTop_ : At(item).firstChild;
}

TreeItem ThreadTree::LastChild(TreeItem item) const
{
    return item == kNoItem ? lastTop_ : At(item).lastChild;
}

TreeItem ThreadTree::NextSibling(TreeItem item) const { return At(item).next; }
TreeItem ThreadTree::PrevSibling(TreeItem item) const { return At(item).prev; }
TreeItem ThreadTree::Parent(TreeItem item) const { return At(item).parent; }
std::uint32_t ThreadTree::ItemData(TreeItem item) const { return At(item).data; }
void ThreadTree::SetItemData(TreeItem item, std::uint32_t data) { At(item).data = data; }
int ThreadTree::Icon(TreeItem item) const { return At(item).icon; }
void ThreadTree::SetIcon(TreeItem item, int icon) { At(item).icon = icon; }
const std::string& ThreadTree::Text(TreeItem item) const { return At(item).text; }
void ThreadTree::SetText(TreeItem item, std::string text) { At(item).text = std::move(text); }
bool ThreadTree::IsExpanded(TreeItem item) const { return At(item).expanded; }
void ThreadTree::SetExpanded(TreeItem item, bool expanded) { At(item).expanded = expanded; }

void ThreadTree::Select(TreeItem item)
{
    if (item != kNoItem)
        At(item);
    selected_ = item;
}

void ThreadTree::Delete(TreeItem item)
{
    Node& node = At(item);
    TreeItem& first = node.parent == kNoItem ? firstTop_ : At(node.parent).firstChild;
    TreeItem& last = node.parent == kNoItem ? lastTop_ : At(node.parent).lastChild;
    if (node.prev != kNoItem)
        At(node.prev).next = node.next;
    else
        first = node.next;
    if (node.next != kNoItem)
        At(node.next).prev = node.prev;
    else
        last = node.prev;

    // Free the subtree without recursion: deep threads must not overflow the stack.
    std::vector<TreeItem> pending{item};
    while (!pending.empty()) {
        const TreeItem current = pending.back();
        pending.pop_back();
        Node& n = At(current);
        for (TreeItem child = n.firstChild; child != kNoItem; child = At(child).next)
            pending.push_back(child);
        if (selected_ == current)
            selected_ = kNoItem;
        n = Node{};
        --living_;
    }
}

void ThreadTree::DeleteAll()
{
    base_ += static_cast<TreeItem>(nodes_.size());
    nodes_.clear();
    firstTop_ = lastTop_ = selected_ = kNoItem;
    living_ = 0;
}

int ThreadTree::ChildCount(TreeItem parent) const
{
    int count = 0;
    for (TreeItem child = FirstChild(parent); child != kNoItem; child = At(child).next)
        ++count;
    return count;
}

int ThreadTree::Row(TreeItem item) const
{
    int row = 0;
    for (TreeItem prev = At(item).prev; prev != kNoItem; prev = At(prev).prev)
        ++row;
    return row;
}

void ThreadTree::DumpLevel(TreeItem first, std::string& out) const
{
    // Iterative depth-first walk: the depth of a thread is unbounded.
    struct Frame {
        TreeItem item;
        bool firstOfLevel;
    };
    std::vector<Frame> stack{{first, true}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.item == kNoItem) {
            stack.pop_back();
            if (!stack.empty())
                out += ')';
            continue;
        }
        const TreeItem item = frame.item;
        if (!frame.firstOfLevel)
            out += ' ';
        frame.firstOfLevel = false;
        frame.item = At(item).next;
        out += std::to_string(At(item).data);
        if (const TreeItem child = At(item).firstChild; child != kNoItem) {
            out += '(';
            stack.push_back({child, true});
        }
    }
}

std::string ThreadTree::Dump() const
{
    std::string out;
    DumpLevel(firstTop_, out);
    return out;
}

}  // namespace postloom
