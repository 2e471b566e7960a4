#pragma once

// The toolkit-free part of changing the threads by hand: exchanging two
// mails of the list, where a dropped mail goes among its new siblings, and
// setting every mail's thread links again from the tree afterwards.

#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <cstdint>

namespace postloom {

// Exchanges the mails at indexes a and b together with their orderKeys, so
// that every index keeps its key and a list in key order stays in key order
// (the next sort keeps what the user set). The tree items that show the two
// mails must have their item data exchanged in the same step. False, and
// nothing changed, when an index is out of range.
bool SwapMails(MailList& mails, std::uint32_t a, std::uint32_t b);

// The child of target after which a mail dated date goes when it is dropped
// onto target: behind the last child that is not later than date (equal
// dates go after the mails already there), kNoItem for first. Children whose
// item data names no mail count as not later.
TreeItem DropPlaceAfter(const MailList& mails, const ThreadTree& tree, TreeItem target, std::int32_t date);

// Whether item is below ancestor (at any depth); an item is not below itself.
bool IsBelow(const ThreadTree& tree, TreeItem item, TreeItem ancestor);

// Sets treeItem, parent, firstChild, nextSibling and prevSibling of every
// mail that has an item under the tree's project item from the tree as it
// is now, as the tree build does at its end. A mail at the top level has no
// parent. Mails without an item are left alone; item data that names no
// mail is passed over.
void RelinkMails(MailList& mails, const ThreadTree& tree);

}  // namespace postloom
