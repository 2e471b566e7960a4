#include "core/threading/mail_reorder.h"

#include "core/threading/tree_builder.h"
#include "progress_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

using postloom::AnswerMail;
using postloom::BuildThreadTree;
using postloom::DropPlaceAfter;
using postloom::kNoItem;
using postloom::MailList;
using postloom::MailRecord;
using postloom::RelinkMails;
using postloom::ReplyHeadersOf;
using postloom::SetReplyHeaders;
using postloom::StopFlag;
using postloom::SwapMails;
using postloom::ThreadTree;
using postloom::TreeItem;
using postloom::test::ProgressRecorder;
using Place = ThreadTree::Place;

namespace {

std::unique_ptr<MailRecord> Mail(std::string id, std::int32_t date, std::string inReplyTo = {})
{
    auto mail = std::make_unique<MailRecord>();
    mail->messageId = std::move(id);
    mail->date = mail->orderKey = date;
    mail->noReplyHeaders = inReplyTo.empty() ? 1 : 0;
    mail->inReplyTo = std::move(inReplyTo);
    return mail;
}

struct Links {
    const MailRecord* parent;
    const MailRecord* firstChild;
    const MailRecord* nextSibling;
    const MailRecord* prevSibling;
    TreeItem item;
    bool operator==(const Links&) const = default;
};

std::vector<Links> LinksOf(const MailList& mails)
{
    std::vector<Links> links;
    for (const auto& mail : mails)
        links.push_back({mail->parent, mail->firstChild, mail->nextSibling, mail->prevSibling, mail->treeItem});
    return links;
}

}  // namespace

TEST(MailReorderTest, SwapKeepsEveryIndexsKeyAndRefusesIndexesOutOfRange)
{
    MailList mails;
    mails.push_back(Mail("a", 100));
    mails.push_back(Mail("b", 200));
    mails.push_back(Mail("c", 300));
    const MailRecord* a = mails[0].get();
    const MailRecord* c = mails[2].get();

    ASSERT_TRUE(SwapMails(mails, 0, 2));
    EXPECT_EQ(mails[0].get(), c);
    EXPECT_EQ(mails[2].get(), a);
    EXPECT_EQ(mails[0]->orderKey, 100);
    EXPECT_EQ(mails[2]->orderKey, 300);
    // The dates travel with their mails; only the keys stay put.
    EXPECT_EQ(mails[0]->date, 300);

    EXPECT_FALSE(SwapMails(mails, 1, 3));
    EXPECT_EQ(mails[1]->messageId, "b");
    EXPECT_EQ(mails[1]->orderKey, 200);
}

TEST(MailReorderTest, DropPlaceGoesByDateWithEqualDatesAfter)
{
    MailList mails;
    mails.push_back(Mail("t", 50));
    mails.push_back(Mail("x", 100));
    mails.push_back(Mail("y", 200));
    mails.push_back(Mail("z", 200));
    ThreadTree tree;
    const TreeItem project = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem t = tree.Insert("t", 0, 0, project, Place::Last);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 10), kNoItem);

    const TreeItem x = tree.Insert("x", 0, 1, t, Place::Last);
    const TreeItem y = tree.Insert("y", 0, 2, t, Place::Last);
    const TreeItem z = tree.Insert("z", 0, 3, t, Place::Last);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 99), kNoItem);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 100), x);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 150), x);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 200), z);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 201), z);
    // Dates before 1970 are earlier, not later.
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, -5), kNoItem);
    // The walk stops at the first later child even when a child after it is earlier.
    tree.SetItemData(y, 0);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 75), kNoItem);
    EXPECT_EQ(DropPlaceAfter(mails, tree, t, 120), y);
    // Onto the project item: among the thread starts.
    EXPECT_EQ(DropPlaceAfter(mails, tree, project, 60), t);
}

TEST(MailReorderTest, AnsweringSetsTheReplyHeadersThatKeepTheMailWhereItWasPut)
{
    auto parent = Mail("p@x", 10);
    auto mail = Mail("m@x", 20, "q@x");
    mail->references = {"r@x", "q@x"};
    const auto before = ReplyHeadersOf(*mail);

    AnswerMail(*mail, parent.get());
    EXPECT_EQ(mail->inReplyTo, "p@x");
    EXPECT_EQ(mail->noReplyHeaders, 0);
    EXPECT_TRUE(mail->references.empty());

    SetReplyHeaders(*mail, before);
    EXPECT_EQ(ReplyHeadersOf(*mail), before);
    EXPECT_EQ(mail->references.size(), 2u);

    // A thread start keeps its references: they do not place it once it
    // says it answers nothing.
    AnswerMail(*mail, nullptr);
    EXPECT_TRUE(mail->inReplyTo.empty());
    EXPECT_EQ(mail->noReplyHeaders, 1);
    EXPECT_EQ(mail->references.size(), 2u);
}

TEST(MailReorderTest, RelinkMendsTheLinksThatAHandMadeChangeLeftStale)
{
    // p with replies x, y, z; y is moved to the front by hand.
    MailList mails;
    mails.push_back(Mail("p", 10));
    mails.push_back(Mail("x", 20, "p"));
    mails.push_back(Mail("y", 30, "p"));
    mails.push_back(Mail("z", 40, "p"));
    ThreadTree tree;
    tree.Insert("P", 2, 0, kNoItem, Place::Last);
    ProgressRecorder progress;
    const StopFlag stop{false};
    ASSERT_TRUE(BuildThreadTree(mails, 0, tree, progress, stop));
    MailRecord& p = *mails[0];
    MailRecord& x = *mails[1];
    MailRecord& y = *mails[2];
    MailRecord& z = *mails[3];
    const TreeItem oldY = y.treeItem;
    const TreeItem newY = tree.InsertAfter("y", 0, 2, p.treeItem, kNoItem);
    tree.Delete(oldY);

    RelinkMails(mails, tree);
    EXPECT_EQ(p.firstChild, &y);
    EXPECT_EQ(p.parent, nullptr);
    EXPECT_EQ(y.treeItem, newY);
    EXPECT_EQ(y.parent, &p);
    EXPECT_EQ(y.prevSibling, nullptr);
    EXPECT_EQ(y.nextSibling, &x);
    EXPECT_EQ(x.prevSibling, &y);
    EXPECT_EQ(x.nextSibling, &z);
    EXPECT_EQ(z.prevSibling, &x);
    EXPECT_EQ(z.nextSibling, nullptr);
}

TEST(MailReorderTest, RelinkAfterABuildGivesTheBuildsOwnLinksOnRandomThreads)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 50; ++round) {
        const int count = 1 + static_cast<int>(random() % 60);
        MailList mails;
        for (int i = 0; i < count; ++i) {
            std::string answers;
            if (i > 0 && random() % 4 != 0)
                answers = "m" + std::to_string(random() % static_cast<unsigned>(count + 3));
            mails.push_back(Mail("m" + std::to_string(i), static_cast<std::int32_t>(random() % 50), answers));
        }
        ThreadTree tree;
        tree.Insert("P", 2, 0, kNoItem, Place::Last);
        ProgressRecorder progress;
        const StopFlag stop{false};
        ASSERT_TRUE(BuildThreadTree(mails, 0, tree, progress, stop));
        const std::vector<Links> built = LinksOf(mails);
        for (const auto& mail : mails)
            mail->parent = mail->firstChild = mail->nextSibling = mail->prevSibling = mails[0].get();
        RelinkMails(mails, tree);
        ASSERT_EQ(LinksOf(mails), built) << "round " << round;
    }
}

TEST(MailReorderTest, RelinkLeavesMailsWithoutItemsAndPassesOverForeignItemData)
{
    MailList mails;
    mails.push_back(Mail("a", 1));
    mails.push_back(Mail("b", 2));
    MailRecord& b = *mails[1];
    b.parent = &b;
    ThreadTree tree;
    const TreeItem project = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    const TreeItem a = tree.Insert("a", 0, 0, project, Place::Last);
    tree.Insert("?", 0, 7, a, Place::Last);
    RelinkMails(mails, tree);
    EXPECT_EQ(mails[0]->firstChild, nullptr);
    EXPECT_EQ(mails[0]->treeItem, a);
    EXPECT_EQ(b.parent, &b);
    EXPECT_EQ(b.treeItem, kNoItem);

    ThreadTree empty;
    RelinkMails(mails, empty);
    EXPECT_EQ(mails[0]->treeItem, a);
}

TEST(MailReorderTest, RelinkHandlesThreadsDeeperThanTheStack)
{
    MailList mails;
    ThreadTree tree;
    TreeItem parent = tree.Insert("P", 2, 0, kNoItem, Place::Last);
    constexpr std::uint32_t kDepth = 200'000;
    for (std::uint32_t i = 0; i < kDepth; ++i) {
        mails.push_back(Mail("m", 0));
        parent = tree.Insert("r", 0, i, parent, Place::Last);
    }
    RelinkMails(mails, tree);
    EXPECT_EQ(mails[0]->firstChild, mails[1].get());
    EXPECT_EQ(mails[kDepth - 1]->parent, mails[kDepth - 2].get());
    EXPECT_EQ(mails[kDepth - 1]->firstChild, nullptr);
}
