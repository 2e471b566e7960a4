#include "core/threading/page_switch.h"

#include "core/threading/tree_builder.h"

namespace postloom {

std::vector<TreeItem> PageSwitchReach(const ThreadTree& tree, TreeItem item, bool on)
{
    std::vector<TreeItem> reach;
    if (item == kNoItem || !tree.IsValid(item) || tree.Parent(item) == kNoItem)
        return reach;
    reach.push_back(item);
    // Depth first without recursion: a thread can be as deep as the list is long.
    std::vector<TreeItem> pending{tree.FirstChild(item)};
    while (!pending.empty()) {
        const TreeItem current = pending.back();
        if (current == kNoItem) {
            pending.pop_back();
            continue;
        }
        reach.push_back(current);
        pending.back() = tree.NextSibling(current);
        pending.push_back(tree.FirstChild(current));
    }
    if (on) {
        for (TreeItem up = tree.Parent(item); up != kNoItem && tree.Parent(up) != kNoItem; up = tree.Parent(up))
            reach.push_back(up);
    }
    return reach;
}

int IconWithPage(int icon, bool on)
{
    if (on)
        return icon == kIconMailNoPage || icon == kIconOrphanNoPage ? icon - 3 : icon;
    return icon == kIconMail || icon == kIconOrphan ? icon + 3 : icon;
}

}  // namespace postloom
