#pragma once

// Changing the threads by hand in the view's tree: moving a mail one place
// up or down among its siblings, placing a dragged mail (with everything
// below it) under another mail or at the top level, and switching pages on
// and off. Each change is made in the tree and in the mails together; the
// moves end with the thread links of every mail set again from the tree, so
// that pages written before the next tree build link the right mails.

#include "app/view/thread_tree_model.h"
#include "core/project/project_settings.h"
#include "core/threading/page_switch.h"

#include <optional>
#include <utility>
#include <vector>

namespace postloom {

struct TreeChange {
    // The item to select afterwards: the moved or dropped mail.
    TreeItem select = kNoItem;
    // Every item that was re-created, as (original, copy), the moved or
    // dropped item first, so that the view can keep what was expanded.
    std::vector<std::pair<TreeItem, TreeItem>> copies;
};

// A mail item (not the project item) with a sibling before or after it.
bool CanMoveUp(const ThreadTree& tree, TreeItem item);
bool CanMoveDown(const ThreadTree& tree, TreeItem item);

// The selected mail changes places with its previous (next) sibling: the two
// entries of the list and their orderKeys are exchanged, the item data keep
// in step with the list, and the sibling's (or the moved mail's) item is
// re-created with everything below it. nullopt, with nothing changed, when
// the move is not possible.
std::optional<TreeChange> MoveMailUp(ThreadTreeModel& model, MailList& mails, TreeItem selected);
std::optional<TreeChange> MoveMailDown(ThreadTreeModel& model, MailList& mails, TreeItem selected);

// Whether dragged may start a drag: any mail item, never the project item.
bool CanDrag(const ThreadTree& tree, TreeItem dragged);

// Whether a drop of dragged onto target would change anything: not onto
// itself, nor onto an item below it (that would put the mail inside its own
// thread), nor onto its present parent.
bool DropChanges(const ThreadTree& tree, TreeItem dragged, TreeItem target);

// Places dragged under target: onto a mail, among its replies by date, as a
// reply to it (inReplyTo its messageId, no references, so that the next
// tree build keeps it there); onto the project item, among the threads by
// date, as a thread start. nullopt, with nothing changed, where
// DropChanges() says no.
std::optional<TreeChange> DropMail(ThreadTreeModel& model, MailList& mails, TreeItem dragged, TreeItem target);

// Puts item (with everything below it) under parent directly after the
// child after (kNoItem: first), showing icon: where a drop took it from.
// The mail's headers are left as they are. nullopt, with nothing changed,
// when item is no mail item, parent is item or lies below it, or after is
// not another child of parent.
std::optional<TreeChange> PlaceMail(ThreadTreeModel& model, MailList& mails, TreeItem item, TreeItem parent,
                                    TreeItem after, int icon);

// The mail item that shows the mail at index, as the last tree build or
// change set it; kNoItem when there is none.
TreeItem ItemOfMail(const ThreadTree& tree, const MailList& mails, std::uint32_t index);

// Switches the page of item's mail on or off, with the mails the switch
// reaches (core/threading/page_switch.h), flags and icons alike. Returns
// what each of them was before; empty, with nothing changed, for the
// project item.
std::vector<PageState> SwitchPages(ThreadTreeModel& model, MailList& mails, TreeItem item, bool on);
// Gives each mail back its page flag and icon. False when a mail has no
// item any more; the others are restored all the same.
bool RestorePages(ThreadTreeModel& model, MailList& mails, const std::vector<PageState>& states);

}  // namespace postloom
