#include "core/threading/thread_tree.h"

#include <gtest/gtest.h>

using postloom::kNoItem;
using postloom::ThreadTree;
using postloom::TreeItem;
using Place = ThreadTree::Place;

namespace {

TEST(ThreadTreeTest, InsertFirstLastAndAfterKeepSiblingOrder)
{
    ThreadTree tree;
    const TreeItem root = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem a = tree.Insert("a", 0, 1, root, Place::First);  // the only child
    const TreeItem c = tree.Insert("c", 0, 3, root, Place::Last);
    tree.InsertAfter("b", 0, 2, root, a);
    tree.Insert("z", 0, 9, root, Place::First);
    tree.InsertAfter("d", 0, 4, root, c);
    EXPECT_EQ(tree.Dump(), "0(9 1 2 3 4)");
    EXPECT_EQ(tree.Root(), root);
    EXPECT_EQ(tree.PrevSibling(a), tree.FirstChild(root));
    EXPECT_EQ(tree.Parent(a), root);
    EXPECT_EQ(tree.Parent(root), kNoItem);
    EXPECT_EQ(tree.ChildCount(root), 5);
    EXPECT_EQ(tree.Row(c), 3);
}

TEST(ThreadTreeTest, DeletingAnItemRemovesItsSubtreeOnly)
{
    ThreadTree tree;
    const TreeItem root = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem a = tree.Insert("a", 0, 1, root, Place::Last);
    const TreeItem b = tree.Insert("b", 0, 2, a, Place::Last);
    const TreeItem c = tree.Insert("c", 0, 3, b, Place::Last);
    const TreeItem d = tree.Insert("d", 0, 4, root, Place::Last);
    tree.Select(c);
    tree.Delete(a);
    EXPECT_EQ(tree.Dump(), "0(4)");
    EXPECT_FALSE(tree.IsValid(b));
    EXPECT_FALSE(tree.IsValid(c));
    EXPECT_TRUE(tree.IsValid(d));
    EXPECT_EQ(tree.Selected(), kNoItem);
    EXPECT_EQ(tree.PrevSibling(d), kNoItem);
    EXPECT_EQ(tree.Size(), 2u);
}

TEST(ThreadTreeTest, HandlesAreNeverReusedAfterDeleteAll)
{
    ThreadTree tree;
    const TreeItem old = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    tree.DeleteAll();
    EXPECT_EQ(tree.Root(), kNoItem);
    EXPECT_FALSE(tree.IsValid(old));
    const TreeItem fresh = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    EXPECT_NE(fresh, old);
    EXPECT_THROW(tree.ItemData(old), std::out_of_range);
}

TEST(ThreadTreeTest, ProjectItemIsToldApartByItsHandleNotItsData)
{
    ThreadTree tree;
    const TreeItem root = tree.Insert("Project", 2, 0, kNoItem, Place::Last);
    const TreeItem mail = tree.Insert("first mail", 0, 0, root, Place::Last);
    EXPECT_EQ(tree.ItemData(root), tree.ItemData(mail));
    EXPECT_NE(root, mail);
    EXPECT_EQ(tree.Root(), root);
}

TEST(ThreadTreeTest, ACopyKeepsHandlesAndIsIndependent)
{
    ThreadTree tree;
    const TreeItem root = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem a = tree.Insert("a", 0, 1, root, Place::Last);
    ThreadTree copy = tree;
    tree.SetIcon(a, 3);
    tree.Delete(a);
    EXPECT_EQ(copy.Icon(a), 0);
    EXPECT_EQ(copy.Dump(), "0(1)");
}

TEST(ThreadTreeTest, DeepThreadsNeedNoRecursion)
{
    ThreadTree tree;
    TreeItem parent = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem top = parent;
    for (std::uint32_t i = 1; i <= 200'000; ++i)
        parent = tree.Insert("r", 0, i, parent, Place::Last);
    EXPECT_EQ(tree.Dump().size() > 200'000u, true);
    tree.Delete(top);
    EXPECT_EQ(tree.Size(), 0u);
}

}  // namespace
