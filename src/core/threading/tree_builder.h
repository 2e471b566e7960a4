#pragma once

// Placing the mails into conversation threads: one item per mail in a
// ThreadTree under the project item, then the thread links of every mail.

#include "core/platform/job_control.h"
#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <cstdint>

namespace postloom {

// Icons of the tree items.
enum TreeIcon : int {
    kIconMail = 0,           // thread start or reply, with a page
    kIconOrphan = 1,         // answers a mail not in the list, with a page
    kIconProject = 2,
    kIconMailNoPage = 3,
    kIconOrphanNoPage = 4,
};

// Which mail a reply goes under.
enum class ParentRule {
    // The first mail of the list that its In-Reply-To or any of its
    // References names: with the list in date order, mostly the thread's
    // first mail, so the replies of a thread sit side by side.
    FirstNamed,
    // The mail it answers: the one its In-Reply-To names, else the one named
    // by the last entry of its References that is in the list, so that a
    // missing parent is bridged by its nearest present ancestor. An empty
    // In-Reply-To beside References means the header was absent: it names
    // nothing then.
    DirectParent,
};

// The rule the project's DirectParent setting chooses.
ParentRule ParentRuleOf(const ProjectSettings& settings);

// tree holds exactly the project item when the build starts (children it
// already has are removed; without a project item no mail is placed).
// Every mail is placed: one that the reply rounds leave out (it refers only
// to itself or to other unplaced mails) starts a thread at the top level
// like an orphan, and its replies join it. Reports one progress step per
// unit of work (N, N, then one per placed item); the stop flag is tested
// before each of them in the first two passes and before each thread in the
// last. Returns false when the stop flag ended it early; the links of every
// mail are cleared even then. The rule decides only which mails a reply
// may go under; the order of the passes is the same for both.
bool BuildThreadTree(MailList& mails, std::int32_t cutMLTitle, ThreadTree& tree, JobProgress& progress,
                     const StopFlag& stop, ParentRule rule = ParentRule::FirstNamed);

}  // namespace postloom
