#pragma once

// Switching the pages of mails on and off in the thread tree. Off applies to
// the mail and everything below it, on also to every mail above it, so that
// as long as pages are switched only this way, a mail with a page has pages
// for all its ancestors and a mail without one has none below it.

#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <cstdint>
#include <vector>

namespace postloom {

// The mail items a switch of item reaches: item, then everything below it
// (depth first, siblings in order), then for on its ancestors upwards to
// the project item (not included). Empty for the project item or an item
// that is not in the tree.
std::vector<TreeItem> PageSwitchReach(const ThreadTree& tree, TreeItem item, bool on);

// The icon an item shows once its page is on (off): a mail's or an orphan's
// icon with (without) a page. Other icons stay.
int IconWithPage(int icon, bool on);

// What a switch changed for one mail, to put it back: the mail's index and
// its page flag and icon before.
struct PageState {
    std::uint32_t mail = 0;
    std::int32_t outputHtml = 1;
    int icon = 0;
    bool operator==(const PageState&) const = default;
};

}  // namespace postloom
