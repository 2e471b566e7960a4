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

// tree holds exactly the project item when the build starts (children it
// already has are removed; without a project item no mail is placed).
// Every mail is placed: one that the reply rounds leave out (it refers only
// to itself or to other unplaced mails) starts a thread at the top level
// like an orphan, and its replies join it. Reports one progress step per
// unit of work (N, N, then one per placed item); the stop flag is tested
// before each of them in the first two passes and before each thread in the
// last. Returns false when the stop flag ended it early; the links of every
// mail are cleared even then.
bool BuildThreadTree(MailList& mails, std::int32_t cutMLTitle, ThreadTree& tree, JobProgress& progress,
                     const StopFlag& stop);

}  // namespace postloom
