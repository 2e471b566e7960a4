#pragma once

// The toolkit-free part of changing the threads by hand: exchanging two
// mails of the list, where a dropped mail goes among its new siblings, what
// a drop changes in the mail itself, and setting every mail's thread links
// again from the tree afterwards.

#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <cstdint>
#include <string>
#include <vector>

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

// The headers of a mail that say what it answers, as the tree build reads
// them: what a drop changes in the mail, kept so that it can be put back.
struct ReplyHeaders {
    std::string inReplyTo;
    std::vector<std::string> references;
    std::int32_t noReplyHeaders = 1;
    bool operator==(const ReplyHeaders&) const = default;
};

ReplyHeaders ReplyHeadersOf(const MailRecord& mail);
void SetReplyHeaders(MailRecord& mail, ReplyHeaders headers);

// Makes mail a reply to answered (inReplyTo its messageId, no references),
// or a thread start when answered is null, so that the next tree build
// places it where the user put it. The mail file keeps its headers.
void AnswerMail(MailRecord& mail, const MailRecord* answered);

// The icon of a mail the user has placed: a plain mail's, with or without a
// page, whatever it showed before (an orphan has found its place).
int PlacedMailIcon(const MailRecord& mail);

// Whether item is below ancestor (at any depth); an item is not below itself.
bool IsBelow(const ThreadTree& tree, TreeItem item, TreeItem ancestor);

// Sets treeItem, parent, firstChild, nextSibling and prevSibling of every
// mail that has an item under the tree's project item from the tree as it
// is now, as the tree build does at its end. A mail at the top level has no
// parent. Mails without an item are left alone; item data that names no
// mail is passed over.
void RelinkMails(MailList& mails, const ThreadTree& tree);

}  // namespace postloom
