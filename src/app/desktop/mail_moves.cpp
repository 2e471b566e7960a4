#include "app/desktop/mail_moves.h"

#include "core/threading/mail_reorder.h"
#include "core/threading/tree_builder.h"

namespace postloom {

namespace {

bool IsMailItem(const ThreadTree& tree, TreeItem item)
{
    return item != kNoItem && tree.IsValid(item) && tree.Parent(item) != kNoItem;
}

MailRecord* MailOf(const MailList& mails, const ThreadTree& tree, TreeItem item)
{
    const std::uint32_t index = tree.ItemData(item);
    return index < mails.size() ? mails[index].get() : nullptr;
}

// Copies the children of original under copy, and drops original with
// everything below it; the result lists copy first.
std::vector<std::pair<TreeItem, TreeItem>> Replace(ThreadTreeModel& model, TreeItem original, TreeItem copy)
{
    std::vector<std::pair<TreeItem, TreeItem>> copies{{original, copy}};
    const auto below = model.RecreateChildren(original, copy);
    copies.insert(copies.end(), below.begin(), below.end());
    model.Delete(original);
    return copies;
}

// Puts a copy of item under parent after the child after, with everything
// below it, and drops item; the thread links follow the tree.
TreeChange Place(ThreadTreeModel& model, MailList& mails, TreeItem item, TreeItem parent, TreeItem after, int icon)
{
    const ThreadTree& tree = model.Tree();
    const TreeItem moved = model.InsertAfter(tree.Text(item), icon, tree.ItemData(item), parent, after);
    TreeChange change{.select = moved, .copies = Replace(model, item, moved)};
    RelinkMails(mails, tree);
    return change;
}

}  // namespace

bool CanMoveUp(const ThreadTree& tree, TreeItem item)
{
    return IsMailItem(tree, item) && tree.PrevSibling(item) != kNoItem;
}

bool CanMoveDown(const ThreadTree& tree, TreeItem item)
{
    return IsMailItem(tree, item) && tree.NextSibling(item) != kNoItem;
}

std::optional<TreeChange> MoveMailUp(ThreadTreeModel& model, MailList& mails, TreeItem selected)
{
    const ThreadTree& tree = model.Tree();
    if (!CanMoveUp(tree, selected))
        return std::nullopt;
    const TreeItem previous = tree.PrevSibling(selected);
    const std::uint32_t a = tree.ItemData(selected);
    const std::uint32_t b = tree.ItemData(previous);
    if (!SwapMails(mails, a, b))
        return std::nullopt;
    // The previous mail's item goes behind the selected one; the selected
    // item stays and shows the same mail at its new index.
    const TreeItem moved =
        model.InsertAfter(tree.Text(previous), tree.Icon(previous), a, tree.Parent(selected), selected);
    model.SetItemData(selected, b);
    TreeChange change{.select = selected, .copies = Replace(model, previous, moved)};
    RelinkMails(mails, tree);
    return change;
}

std::optional<TreeChange> MoveMailDown(ThreadTreeModel& model, MailList& mails, TreeItem selected)
{
    const ThreadTree& tree = model.Tree();
    if (!CanMoveDown(tree, selected))
        return std::nullopt;
    const TreeItem next = tree.NextSibling(selected);
    const std::uint32_t a = tree.ItemData(selected);
    const std::uint32_t b = tree.ItemData(next);
    if (!SwapMails(mails, a, b))
        return std::nullopt;
    const TreeItem moved = model.InsertAfter(tree.Text(selected), tree.Icon(selected), b, tree.Parent(selected), next);
    model.SetItemData(next, a);
    TreeChange change{.select = moved, .copies = Replace(model, selected, moved)};
    RelinkMails(mails, tree);
    return change;
}

bool CanDrag(const ThreadTree& tree, TreeItem dragged)
{
    return IsMailItem(tree, dragged);
}

bool DropChanges(const ThreadTree& tree, TreeItem dragged, TreeItem target)
{
    return CanDrag(tree, dragged) && target != kNoItem && tree.IsValid(target) && target != dragged &&
           !IsBelow(tree, target, dragged) && target != tree.Parent(dragged);
}

std::optional<TreeChange> DropMail(ThreadTreeModel& model, MailList& mails, TreeItem dragged, TreeItem target)
{
    const ThreadTree& tree = model.Tree();
    if (!DropChanges(tree, dragged, target))
        return std::nullopt;
    MailRecord* const mail = MailOf(mails, tree, dragged);
    if (mail == nullptr)
        return std::nullopt;
    const bool ontoProject = target == tree.Root();
    const MailRecord* const answered = ontoProject ? nullptr : MailOf(mails, tree, target);
    if (!ontoProject && answered == nullptr)
        return std::nullopt;

    const TreeItem after = DropPlaceAfter(mails, tree, target, mail->date);
    AnswerMail(*mail, answered);
    return Place(model, mails, dragged, target, after, PlacedMailIcon(*mail));
}

std::optional<TreeChange> PlaceMail(ThreadTreeModel& model, MailList& mails, TreeItem item, TreeItem parent,
                                    TreeItem after, int icon)
{
    const ThreadTree& tree = model.Tree();
    if (!IsMailItem(tree, item) || MailOf(mails, tree, item) == nullptr || parent == kNoItem ||
        !tree.IsValid(parent) || parent == item || IsBelow(tree, parent, item))
        return std::nullopt;
    if (after != kNoItem && (after == item || !tree.IsValid(after) || tree.Parent(after) != parent))
        return std::nullopt;
    return Place(model, mails, item, parent, after, icon);
}

TreeItem ItemOfMail(const ThreadTree& tree, const MailList& mails, std::uint32_t index)
{
    if (index >= mails.size())
        return kNoItem;
    const TreeItem item = mails[index]->treeItem;
    return IsMailItem(tree, item) && tree.ItemData(item) == index ? item : kNoItem;
}

std::vector<PageState> SwitchPages(ThreadTreeModel& model, MailList& mails, TreeItem item, bool on)
{
    const ThreadTree& tree = model.Tree();
    std::vector<PageState> before;
    for (const TreeItem reached : PageSwitchReach(tree, item, on)) {
        const int icon = tree.Icon(reached);
        MailRecord* const mail = MailOf(mails, tree, reached);
        if (mail != nullptr) {
            before.push_back({.mail = tree.ItemData(reached), .outputHtml = mail->outputHtml, .icon = icon});
            mail->outputHtml = on ? 1 : 0;
        }
        model.SetIcon(reached, IconWithPage(icon, on));
    }
    return before;
}

bool RestorePages(ThreadTreeModel& model, MailList& mails, const std::vector<PageState>& states)
{
    bool all = true;
    for (const PageState& state : states) {
        const TreeItem item = ItemOfMail(model.Tree(), mails, state.mail);
        if (item == kNoItem) {
            all = false;
            continue;
        }
        mails[state.mail]->outputHtml = state.outputHtml;
        model.SetIcon(item, state.icon);
    }
    return all;
}

}  // namespace postloom
