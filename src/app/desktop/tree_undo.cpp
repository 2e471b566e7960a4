#include "app/desktop/tree_undo.h"

#include "core/threading/mail_reorder.h"

#include <cstdint>
#include <optional>
#include <utility>

namespace postloom {

namespace {

// The index of the mail that item shows, where the mail names item as its
// own (so that ItemOfMail finds it again); nullopt for the project item.
std::optional<std::uint32_t> MailIndexOf(const ThreadTree& tree, const MailList& mails, TreeItem item)
{
    if (item == kNoItem || !tree.IsValid(item))
        return std::nullopt;
    const std::uint32_t index = tree.ItemData(item);
    if (ItemOfMail(tree, mails, index) != item)
        return std::nullopt;
    return index;
}

// The mail at index first changes places with its sibling at index second
// (the one before it for Up, after it for Down). Taking the move back is
// the opposite move of the same mail, which then holds second's index.
class MoveCommand final : public QUndoCommand {
public:
    MoveCommand(TreeEditHost& host, MoveDirection direction, std::uint32_t first, std::uint32_t second)
        : host_(host), direction_(direction), first_(first), second_(second)
    {
        setText(direction == MoveDirection::Up ? kUndoMoveUp : kUndoMoveDown);
    }

    void redo() override { move(direction_, first_, second_); }
    void undo() override
    {
        move(direction_ == MoveDirection::Up ? MoveDirection::Down : MoveDirection::Up, second_, first_);
    }

private:
    void move(MoveDirection direction, std::uint32_t mail, std::uint32_t neighbour)
    {
        ThreadTreeModel& model = host_.editedModel();
        MailList& mails = host_.editedMails();
        const ThreadTree& tree = model.Tree();
        const TreeItem item = ItemOfMail(tree, mails, mail);
        const TreeItem beside = direction == MoveDirection::Up ? tree.PrevSibling(item) : tree.NextSibling(item);
        if (item == kNoItem || MailIndexOf(tree, mails, beside) != neighbour) {
            setObsolete(true);
            return;
        }
        // The move re-creates the lower of the two items.
        const std::vector<TreeItem> expanded = host_.expandedBelow(direction == MoveDirection::Up ? beside : item);
        const std::optional<TreeChange> change =
            direction == MoveDirection::Up ? MoveMailUp(model, mails, item) : MoveMailDown(model, mails, item);
        if (!change) {
            setObsolete(true);
            return;
        }
        host_.treeChanged(*change, expanded);
    }

    TreeEditHost& host_;
    const MoveDirection direction_;
    const std::uint32_t first_;
    const std::uint32_t second_;
};

// Where a placed mail was before, and what it answered.
struct Origin {
    std::optional<std::uint32_t> parent;  // nullopt: a thread start
    std::optional<std::uint32_t> after;   // nullopt: the first child
    int icon = 0;
    ReplyHeaders headers;
};

// The mail goes under the target mail (nullopt: the project item) as a
// drop puts it there; taking it back puts it where it was, with its icon
// and the headers that said what it answers.
class PlaceCommand final : public QUndoCommand {
public:
    PlaceCommand(TreeEditHost& host, std::uint32_t mail, std::optional<std::uint32_t> target, Origin origin,
                 const QString& text)
        : host_(host), mail_(mail), target_(target), origin_(std::move(origin))
    {
        setText(text);
    }

    void redo() override
    {
        ThreadTreeModel& model = host_.editedModel();
        MailList& mails = host_.editedMails();
        const ThreadTree& tree = model.Tree();
        const TreeItem item = ItemOfMail(tree, mails, mail_);
        const TreeItem target = target_ ? ItemOfMail(tree, mails, *target_) : tree.Root();
        const std::vector<TreeItem> expanded = host_.expandedBelow(item);
        const std::optional<TreeChange> change =
            item == kNoItem || target == kNoItem ? std::nullopt : DropMail(model, mails, item, target);
        if (!change) {
            setObsolete(true);
            return;
        }
        host_.treeChanged(*change, expanded);
    }

    void undo() override
    {
        ThreadTreeModel& model = host_.editedModel();
        MailList& mails = host_.editedMails();
        const ThreadTree& tree = model.Tree();
        const TreeItem item = ItemOfMail(tree, mails, mail_);
        const TreeItem parent = origin_.parent ? ItemOfMail(tree, mails, *origin_.parent) : tree.Root();
        const TreeItem after = origin_.after ? ItemOfMail(tree, mails, *origin_.after) : kNoItem;
        const std::vector<TreeItem> expanded = host_.expandedBelow(item);
        const bool found = item != kNoItem && parent != kNoItem && (!origin_.after || after != kNoItem);
        const std::optional<TreeChange> change =
            found ? PlaceMail(model, mails, item, parent, after, origin_.icon) : std::nullopt;
        if (!change) {
            setObsolete(true);
            return;
        }
        SetReplyHeaders(*mails[mail_], origin_.headers);
        host_.treeChanged(*change, expanded);
    }

private:
    TreeEditHost& host_;
    const std::uint32_t mail_;
    const std::optional<std::uint32_t> target_;
    const Origin origin_;
};

// The page of the mail, and of those the switch reaches, goes on or off;
// taking it back gives each of them its own flag and icon again.
class PageCommand final : public QUndoCommand {
public:
    PageCommand(TreeEditHost& host, std::uint32_t mail, bool on) : host_(host), mail_(mail), on_(on)
    {
        setText(on ? kUndoPageOn : kUndoPageOff);
    }

    void redo() override
    {
        const TreeItem item = ItemOfMail(host_.editedModel().Tree(), host_.editedMails(), mail_);
        if (item == kNoItem) {
            setObsolete(true);
            return;
        }
        before_ = SwitchPages(host_.editedModel(), host_.editedMails(), item, on_);
        host_.pagesChanged(item);
    }

    void undo() override
    {
        const TreeItem item = ItemOfMail(host_.editedModel().Tree(), host_.editedMails(), mail_);
        if (item == kNoItem || !RestorePages(host_.editedModel(), host_.editedMails(), before_)) {
            setObsolete(true);
            return;
        }
        host_.pagesChanged(item);
    }

private:
    TreeEditHost& host_;
    const std::uint32_t mail_;
    const bool on_;
    std::vector<PageState> before_;
};

}  // namespace

std::unique_ptr<QUndoCommand> MakeMoveCommand(TreeEditHost& host, TreeItem selected, MoveDirection direction)
{
    const ThreadTree& tree = host.editedModel().Tree();
    const MailList& mails = host.editedMails();
    const bool up = direction == MoveDirection::Up;
    if (!(up ? CanMoveUp(tree, selected) : CanMoveDown(tree, selected)))
        return nullptr;
    const auto first = MailIndexOf(tree, mails, selected);
    const auto second = MailIndexOf(tree, mails, up ? tree.PrevSibling(selected) : tree.NextSibling(selected));
    if (!first || !second)
        return nullptr;
    return std::make_unique<MoveCommand>(host, direction, *first, *second);
}

std::unique_ptr<QUndoCommand> MakePlaceCommand(TreeEditHost& host, TreeItem dragged, TreeItem target,
                                               const QString& text)
{
    const ThreadTree& tree = host.editedModel().Tree();
    const MailList& mails = host.editedMails();
    if (!DropChanges(tree, dragged, target))
        return nullptr;
    const auto mail = MailIndexOf(tree, mails, dragged);
    const bool ontoProject = target == tree.Root();
    const auto answered = MailIndexOf(tree, mails, target);
    if (!mail || (!ontoProject && !answered))
        return nullptr;
    const TreeItem parent = tree.Parent(dragged);
    const TreeItem before = tree.PrevSibling(dragged);
    Origin origin{.parent = parent == tree.Root() ? std::nullopt : MailIndexOf(tree, mails, parent),
                  .after = before == kNoItem ? std::nullopt : MailIndexOf(tree, mails, before),
                  .icon = tree.Icon(dragged),
                  .headers = ReplyHeadersOf(*mails[*mail])};
    // A neighbour that names no mail could not be found again.
    if ((parent != tree.Root() && !origin.parent) || (before != kNoItem && !origin.after))
        return nullptr;
    return std::make_unique<PlaceCommand>(host, *mail, ontoProject ? std::nullopt : answered, std::move(origin),
                                          text);
}

std::unique_ptr<QUndoCommand> MakePageCommand(TreeEditHost& host, TreeItem selected, bool on)
{
    const auto mail = MailIndexOf(host.editedModel().Tree(), host.editedMails(), selected);
    if (!mail)
        return nullptr;
    return std::make_unique<PageCommand>(host, *mail, on);
}

}  // namespace postloom
