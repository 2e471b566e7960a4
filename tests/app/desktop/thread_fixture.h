#pragma once

// A small archive of threads for the tests of changes made by hand, and
// ways to show a tree and its mails as text.

#include "app/view/thread_tree_model.h"
#include "core/project/project_settings.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace postloom::test {

// A mail with subject and message id id; a reply to answers when given.
std::unique_ptr<MailRecord> Mail(const std::string& id, std::int32_t date, const std::string& answers = {});

// t answered by a, b and c; b answered by b1 and b2 (b2 without a page);
// s a thread of its own. In date order, so the list index is the order.
MailList Thread();

// The thread tree of mails under a project item.
ThreadTree Build(MailList& mails);

// The tree with every item shown as its mail's id, children in parentheses.
std::string Shape(const ThreadTree& tree, const MailList& mails, TreeItem first);
QString Shape(const ThreadTreeModel& model, const MailList& mails);

// Every mail's id and orderKey, in list order.
QString Order(const MailList& mails);

// Every mail's item and links agree with the tree, as after a tree build.
bool LinksFollowTheTree(const ThreadTree& tree, const MailList& mails);

// Everything a change by hand may change: the tree with icons, and each
// mail's place in the list, key, reply headers and page flag.
std::string Snapshot(const ThreadTree& tree, const MailList& mails);

MailRecord* Find(const MailList& mails, const std::string& id);

}  // namespace postloom::test
