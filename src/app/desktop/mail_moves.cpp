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
    // Wherever it came from, the mail is now where the user put it.
    const int icon = mail->outputHtml != 0 ? kIconMail : kIconMailNoPage;
    const TreeItem moved = model.InsertAfter(tree.Text(dragged), icon, tree.ItemData(dragged), target, after);
    if (ontoProject) {
        mail->inReplyTo.clear();
        mail->noReplyHeaders = 1;
    } else {
        mail->inReplyTo = answered->messageId;
        mail->noReplyHeaders = 0;
        // A reference to an ancestor would put the mail back under that
        // ancestor at the next tree build. The mail file keeps its headers.
        mail->references.clear();
    }
    TreeChange change{.select = moved, .copies = Replace(model, dragged, moved)};
    RelinkMails(mails, tree);
    return change;
}

}  // namespace postloom
