#include "core/threading/page_switch.h"

#include "core/threading/tree_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using postloom::IconWithPage;
using postloom::kNoItem;
using postloom::PageSwitchReach;
using postloom::ThreadTree;
using postloom::TreeItem;
using Place = ThreadTree::Place;

TEST(PageSwitchTest, OffReachesTheMailAndBelowOnAlsoTheMailsAbove)
{
    // t(a(a1(a11) a2) b)
    ThreadTree tree;
    const TreeItem project = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem t = tree.Insert("t", 0, 0, project, Place::Last);
    const TreeItem a = tree.Insert("a", 0, 1, t, Place::Last);
    const TreeItem a1 = tree.Insert("a1", 0, 2, a, Place::Last);
    const TreeItem a11 = tree.Insert("a11", 0, 3, a1, Place::Last);
    const TreeItem a2 = tree.Insert("a2", 0, 4, a, Place::Last);
    tree.Insert("b", 0, 5, t, Place::Last);

    EXPECT_EQ(PageSwitchReach(tree, a, false), (std::vector<TreeItem>{a, a1, a11, a2}));
    EXPECT_EQ(PageSwitchReach(tree, a, true), (std::vector<TreeItem>{a, a1, a11, a2, t}));
    EXPECT_EQ(PageSwitchReach(tree, a11, true), (std::vector<TreeItem>{a11, a1, a, t}));
    EXPECT_TRUE(PageSwitchReach(tree, project, true).empty());
    EXPECT_TRUE(PageSwitchReach(tree, kNoItem, false).empty());
    EXPECT_TRUE(PageSwitchReach(tree, a11 + 100, false).empty());
}

TEST(PageSwitchTest, IconsGainOrLoseTheirPageAndOthersStay)
{
    using namespace postloom;
    EXPECT_EQ(IconWithPage(kIconMail, false), kIconMailNoPage);
    EXPECT_EQ(IconWithPage(kIconOrphan, false), kIconOrphanNoPage);
    EXPECT_EQ(IconWithPage(kIconMailNoPage, false), kIconMailNoPage);
    EXPECT_EQ(IconWithPage(kIconMailNoPage, true), kIconMail);
    EXPECT_EQ(IconWithPage(kIconOrphanNoPage, true), kIconOrphan);
    EXPECT_EQ(IconWithPage(kIconOrphan, true), kIconOrphan);
    EXPECT_EQ(IconWithPage(kIconProject, true), kIconProject);
    EXPECT_EQ(IconWithPage(kIconProject, false), kIconProject);
}

TEST(PageSwitchTest, ReachesThreadsDeeperThanTheStack)
{
    ThreadTree tree;
    const TreeItem project = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    TreeItem parent = project;
    TreeItem first = kNoItem;
    constexpr std::uint32_t kDepth = 200'000;
    for (std::uint32_t i = 0; i < kDepth; ++i) {
        parent = tree.Insert("r", 0, i, parent, Place::Last);
        if (first == kNoItem)
            first = parent;
    }
    EXPECT_EQ(PageSwitchReach(tree, first, false).size(), kDepth);
    EXPECT_EQ(PageSwitchReach(tree, parent, true).size(), kDepth);
}
