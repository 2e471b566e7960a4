#include "core/threading/tree_builder.h"

#include "corpus_generator.h"
#include "core/mail/mail_parser.h"
#include "core/threading/mail_sort.h"
#include "progress_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

using postloom::BuildThreadTree;
using postloom::JobProgress;
using postloom::kIconMail;
using postloom::kIconMailNoPage;
using postloom::kIconOrphan;
using postloom::kIconOrphanNoPage;
using postloom::kIconProject;
using postloom::kNoItem;
using postloom::MailList;
using postloom::MailRecord;
using postloom::ParentRule;
using postloom::StopFlag;
using postloom::ThreadTree;
using postloom::TreeItem;
using postloom::test::Positions;
using postloom::test::ProgressRecorder;

namespace {

// ---- The build as plainly as it can be written: every search a scan. ----

bool Refers(const MailRecord& r, const MailRecord& q)
{
    if (r.inReplyTo == q.messageId)
        return true;
    for (const std::string& reference : r.references) {
        if (reference == q.messageId)
            return true;
    }
    return false;
}

bool InList(const MailList& mails, const std::string& id)
{
    for (const auto& mail : mails) {
        if (mail->messageId == id)
            return true;
    }
    return false;
}

// The id of r's parent under the direct-parent rule: In-Reply-To when a mail
// of the list has it (an empty one beside References stands for no header),
// else the last References entry that one has.
std::optional<std::string> DirectParentId(const MailRecord& r, const MailList& mails)
{
    const bool noInReplyTo = r.inReplyTo.empty() && !r.references.empty();
    if (!noInReplyTo && InList(mails, r.inReplyTo))
        return r.inReplyTo;
    for (std::size_t k = r.references.size(); k > 0; --k) {
        if (InList(mails, r.references[k - 1]))
            return r.references[k - 1];
    }
    return std::nullopt;
}

class PlainBuild {
public:
    PlainBuild(MailList& mails, std::int32_t cut, ThreadTree& tree, JobProgress& progress, const StopFlag& stop,
               ParentRule rule = ParentRule::FirstNamed)
        : mails_(mails), cut_(cut), tree_(tree), progress_(progress), stop_(stop), rule_(rule)
    {
        for (const auto& mail : mails_)
            parentIds_.push_back(DirectParentId(*mail, mails_));
    }

    bool Run()
    {
        const std::size_t n = mails_.size();
        for (const auto& mail : mails_) {
            mail->treeItem = kNoItem;
            mail->parent = mail->firstChild = mail->nextSibling = mail->prevSibling = nullptr;
        }
        project_ = tree_.Root();

        for (std::size_t i = 0; i < n; ++i) {
            if (stop_)
                return false;
            progress_.Report(position_++);
            MailRecord& q = *mails_[i];
            if (q.noReplyHeaders == 1) {
                q.treeItem = Insert(i, kIconMail, project_, tree_.LastChild(project_));
                continue;
            }
            bool found = false;
            for (std::size_t k = 0; k < n && !found; ++k)
                found = RefersTo(i, *mails_[k]);
            if (!found)
                PlaceOrphan(i);
        }

        for (std::size_t b = 0; b < n; ++b) {
            if (stop_)
                return false;
            progress_.Report(position_++);
            PlaceRepliesTo(b);
        }

        if (stop_)
            return false;
        while (true) {
            bool placedAny = true;
            while (placedAny) {
                placedAny = false;
                for (std::size_t b = 0; b < n; ++b)
                    placedAny = PlaceRepliesTo(b) || placedAny;
            }
            std::size_t u = 0;
            while (u < n && mails_[u]->treeItem != kNoItem)
                ++u;
            if (u == n)
                break;
            PlaceOrphan(u);
        }

        for (TreeItem top = tree_.FirstChild(project_); top != kNoItem; top = tree_.NextSibling(top)) {
            if (stop_)
                return false;
            LinkItem(top, true);
        }
        return true;
    }

private:
    bool RefersTo(std::size_t i, const MailRecord& q) const
    {
        if (rule_ == ParentRule::DirectParent)
            return parentIds_[i] == q.messageId;
        return Refers(*mails_[i], q);
    }

    TreeItem Insert(std::size_t i, int base, TreeItem parent, TreeItem after)
    {
        const MailRecord& mail = *mails_[i];
        const int icon = mail.outputHtml == 0 ? base + 3 : base;
        return tree_.InsertAfter(postloom::DisplaySubject(mail, cut_), icon, static_cast<std::uint32_t>(i), parent,
                                 after);
    }

    void PlaceOrphan(std::size_t i)
    {
        const auto date = static_cast<std::uint32_t>(mails_[i]->date);
        TreeItem after = kNoItem;
        for (TreeItem child = tree_.FirstChild(project_); child != kNoItem; child = tree_.NextSibling(child)) {
            if (static_cast<std::uint32_t>(mails_[tree_.ItemData(child)]->date) > date)
                break;
            after = child;
        }
        mails_[i]->treeItem = Insert(i, kIconOrphan, project_, after);
    }

    bool PlaceRepliesTo(std::size_t b)
    {
        MailRecord& q = *mails_[b];
        if (q.treeItem == kNoItem)
            return false;
        bool placed = false;
        for (std::size_t i = 0; i < mails_.size(); ++i) {
            MailRecord& r = *mails_[i];
            if (i == b || r.treeItem != kNoItem || !RefersTo(i, q))
                continue;
            r.treeItem = Insert(i, kIconMail, q.treeItem, tree_.LastChild(q.treeItem));
            r.parent = &q;
            placed = true;
        }
        return placed;
    }

    MailRecord* MailOf(TreeItem item) { return mails_[tree_.ItemData(item)].get(); }

    void LinkItem(TreeItem item, bool top)
    {
        if (top)
            progress_.Report(position_++);
        MailRecord& m = *MailOf(item);
        m.firstChild = m.nextSibling = m.prevSibling = nullptr;
        if (tree_.HasChildren(item)) {
            m.firstChild = MailOf(tree_.FirstChild(item));
            for (TreeItem child = tree_.FirstChild(item); child != kNoItem; child = tree_.NextSibling(child))
                LinkItem(child, false);
        }
        if (const TreeItem prev = tree_.PrevSibling(item); prev != kNoItem)
            m.prevSibling = MailOf(prev);
        if (const TreeItem next = tree_.NextSibling(item); next != kNoItem)
            m.nextSibling = MailOf(next);
        if (!top)
            progress_.Report(position_++);
    }

    MailList& mails_;
    std::int32_t cut_;
    ThreadTree& tree_;
    JobProgress& progress_;
    const StopFlag& stop_;
    const ParentRule rule_;
    std::vector<std::optional<std::string>> parentIds_;
    TreeItem project_ = kNoItem;
    int position_ = 0;
};

// ---- Helpers ----

struct Mail {
    std::string id;
    std::optional<std::string> inReplyTo;  // absent, with no references: a thread start
    std::vector<std::string> references;
    std::int32_t date = 0;
    std::int32_t outputHtml = 1;
    std::string subject = "s";

    Mail& Refs(std::vector<std::string> ids)
    {
        references = std::move(ids);
        return *this;
    }
    Mail& Dated(std::int32_t value)
    {
        date = value;
        return *this;
    }
    Mail& Page(std::int32_t flag)
    {
        outputHtml = flag;
        return *this;
    }
    Mail& Titled(std::string text)
    {
        subject = std::move(text);
        return *this;
    }
};

Mail Start(std::string id)
{
    Mail mail;
    mail.id = std::move(id);
    return mail;
}

Mail Reply(std::string id, std::string inReplyTo)
{
    Mail mail = Start(std::move(id));
    mail.inReplyTo = std::move(inReplyTo);
    return mail;
}

MailList MakeMails(const std::vector<Mail>& layouts)
{
    MailList mails;
    for (const Mail& layout : layouts) {
        auto mail = std::make_unique<MailRecord>();
        mail->messageId = layout.id;
        mail->references = layout.references;
        mail->noReplyHeaders = layout.inReplyTo || !layout.references.empty() ? 0 : 1;
        mail->inReplyTo = layout.inReplyTo.value_or("");
        mail->date = layout.date;
        mail->orderKey = layout.date;
        mail->outputHtml = layout.outputHtml;
        mail->subject = layout.subject;
        mails.push_back(std::move(mail));
    }
    return mails;
}

ThreadTree TreeWithProjectItem()
{
    ThreadTree tree;
    tree.Insert("Project", kIconProject, 0, kNoItem, ThreadTree::Place::Last);
    return tree;
}

struct Built {
    ThreadTree tree = TreeWithProjectItem();
    ProgressRecorder progress;
    bool done = false;
};

Built Build(MailList& mails, std::int32_t cut = 0, ParentRule rule = ParentRule::FirstNamed)
{
    Built built;
    const StopFlag stop{false};
    built.done = BuildThreadTree(mails, cut, built.tree, built.progress, stop, rule);
    return built;
}

std::string Threads(MailList& mails, ParentRule rule = ParentRule::FirstNamed)
{
    return Build(mails, 0, rule).tree.Dump();
}

int IconOf(const Built& built, const MailRecord& mail)
{
    return built.tree.Icon(mail.treeItem);
}

// ---- Placement ----

TEST(TreeBuilderTest, RepliesGoUnderTheMailTheyAnswerInListOrder)
{
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p"),
        Start("q"),
        Reply("r2", "p"),
        Reply("r11", "r1"),
    });
    const Built built = Build(mails);
    EXPECT_TRUE(built.done);
    EXPECT_EQ(built.tree.Dump(), "0(0(1(4) 3) 2)");
    EXPECT_EQ(mails[1]->parent, mails[0].get());
    EXPECT_EQ(mails[4]->parent, mails[1].get());
    EXPECT_EQ(mails[0]->parent, nullptr);
}

TEST(TreeBuilderTest, ReplyNamingThreadStartAndParentGoesUnderTheLowerIndex)
{
    // In date order the thread start comes first, so the reply becomes a
    // sibling of its direct parent.
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p"),
        Reply("r2", "r1").Refs({"p", "r1"}),
    });
    EXPECT_EQ(Threads(mails), "0(0(1 2))");
}

TEST(TreeBuilderTest, EmptyInReplyToRefersToMailsWithoutMessageId)
{
    MailList mails = MakeMails({
        Start("x"),
        Start(""),  // no Message-Id header
        Start("r").Refs({"zzz"}),
    });
    EXPECT_EQ(Threads(mails), "0(0 1(2))");
}

TEST(TreeBuilderTest, ReplyBeforeItsThreadStartInTheListIsPlaced)
{
    MailList mails = MakeMails({
        Reply("r", "p"),
        Start("p"),
    });
    EXPECT_EQ(Threads(mails), "0(1(0))");
}

TEST(TreeBuilderTest, ReplyVisitedBeforeItsParentIsPlacedJoinsIt)
{
    // R2 refers to R1, R1 to P; pass 2 reaches R2 and R1 before P is
    // visited, so R2 only finds its place in a further round.
    MailList mails = MakeMails({
        Reply("r2", "r1"),
        Reply("r1", "p"),
        Start("p"),
    });
    const Built built = Build(mails);
    EXPECT_EQ(built.tree.Dump(), "0(2(1(0)))");
    EXPECT_EQ(IconOf(built, *mails[0]), kIconMail);
    EXPECT_EQ(mails[0]->parent, mails[1].get());
}

TEST(TreeBuilderTest, SelfReferenceStartsItsOwnThreadAsOrphan)
{
    MailList mails = MakeMails({
        Start("a").Dated(50),
        Reply("self", "self").Dated(10),
        Reply("b", "self").Dated(60),
    });
    const Built built = Build(mails);
    EXPECT_EQ(built.tree.Dump(), "0(1(2) 0)");
    EXPECT_EQ(IconOf(built, *mails[1]), kIconOrphan);
    EXPECT_EQ(mails[1]->parent, nullptr);
}

TEST(TreeBuilderTest, MailsAnsweringEachOtherFormOneThreadLedByTheFirst)
{
    MailList mails = MakeMails({
        Start("t"),
        Reply("m1", "m2"),
        Reply("m2", "m1"),
        Reply("m3", "m2"),
    });
    const Built built = Build(mails);
    EXPECT_EQ(built.tree.Dump(), "0(0 1(2(3)))");
    EXPECT_EQ(IconOf(built, *mails[1]), kIconOrphan);
    EXPECT_EQ(IconOf(built, *mails[2]), kIconMail);
}

TEST(TreeBuilderTest, ThreadStartsKeepListOrderAndOrphansGoInByDate)
{
    MailList mails = MakeMails({
        Start("a").Dated(300),
        Start("b").Dated(100),
        Reply("o1", "gone").Dated(200),  // before the first later date: a
        Reply("o2", "gone").Dated(300),  // equal dates go after
        Reply("o3", "gone").Dated(200),  // after o1, the earlier orphan of equal date
        Reply("o4", "gone").Dated(-1),   // unsigned: the latest of all
        Reply("o5", "gone").Dated(0),
    });
    const Built built = Build(mails);
    EXPECT_EQ(built.tree.Dump(), "0(6 2 4 0 1 3 5)");
    EXPECT_EQ(IconOf(built, *mails[0]), kIconMail);
    EXPECT_EQ(IconOf(built, *mails[2]), kIconOrphan);
}

TEST(TreeBuilderTest, IconsAndTextsFollowPageFlagAndListTitleCut)
{
    MailList mails = MakeMails({
        Start("a").Page(0).Titled("[ml:1] Hello"),
        Reply("b", "a").Page(0).Titled("Re: [ml:2] Hi"),
        Reply("c", "gone").Page(0),
        Reply("d", "gone").Page(7),
    });
    const Built built = Build(mails, 1);
    EXPECT_EQ(IconOf(built, *mails[0]), kIconMailNoPage);
    EXPECT_EQ(IconOf(built, *mails[1]), kIconMailNoPage);
    EXPECT_EQ(IconOf(built, *mails[2]), kIconOrphanNoPage);
    EXPECT_EQ(IconOf(built, *mails[3]), kIconOrphan);
    EXPECT_EQ(built.tree.Text(mails[0]->treeItem), "Hello");
    EXPECT_EQ(built.tree.Text(mails[1]->treeItem), "Hi");
    EXPECT_EQ(built.tree.Text(built.tree.Root()), "Project");
}

// ---- Placement under the direct parent ----

constexpr ParentRule kDirect = ParentRule::DirectParent;

TEST(DirectParentTest, ReplyGoesUnderTheMailItsInReplyToNames)
{
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p").Refs({"p"}),
        Reply("r2", "r1").Refs({"p", "r1"}),
        Reply("r3", "r1").Refs({"p", "r1"}),
        Reply("r4", "r2").Refs({"p", "r1", "r2"}),
    });
    const Built built = Build(mails, 0, kDirect);
    EXPECT_EQ(built.tree.Dump(), "0(0(1(2(4) 3)))");
    EXPECT_EQ(mails[4]->parent, mails[2].get());
    EXPECT_EQ(mails[2]->nextSibling, mails[3].get());
    EXPECT_EQ(IconOf(built, *mails[4]), kIconMail);
    // The same mails under the first mail they name: side by side.
    EXPECT_EQ(Threads(mails), "0(0(1 2 3 4))");
}

TEST(DirectParentTest, WithoutAPresentInReplyToTheLastPresentReferenceDecides)
{
    MailList mails = MakeMails({
        Start("p"),
        Start(""),  // no Message-Id: an absent In-Reply-To must not name it
        Reply("r1", "p"),
        Start("r2").Refs({"p", "r1"}),           // References only
        Reply("r3", "gone").Refs({"p", "r1"}),   // In-Reply-To names a mail not in the list
        Reply("r4", "gone").Refs({"r1", "p"}),   // the last entry wins, not the deepest
    });
    EXPECT_EQ(Threads(mails, kDirect), "0(0(2(3 4) 5) 1)");
}

TEST(DirectParentTest, MissingParentIsBridgedByItsNearestPresentAncestor)
{
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p").Refs({"p"}),
        // r2 and r3 never reached the archive.
        Reply("r4", "r3").Refs({"p", "r1", "r2", "r3"}),
        Reply("r5", "r4").Refs({"p", "r1", "r2", "r3", "r4"}),
        // Nothing it names is here: a thread of its own, among the others by date.
        Reply("o", "x3").Refs({"x1", "x2", "x3"}).Dated(-1),
    });
    const Built built = Build(mails, 0, kDirect);
    EXPECT_EQ(built.tree.Dump(), "0(0(1(2(3))) 4)");
    EXPECT_EQ(IconOf(built, *mails[2]), kIconMail);
    EXPECT_EQ(IconOf(built, *mails[4]), kIconOrphan);
}

TEST(DirectParentTest, ReplyDatedBeforeItsParentStillGoesUnderIt)
{
    // In date order the reply comes first, before its parent and before
    // the thread's first mail.
    MailList mails = MakeMails({
        Reply("r2", "r1").Refs({"p", "r1"}),
        Start("p"),
        Reply("r1", "p").Refs({"p"}),
        Reply("r3", "r2").Refs({"p", "r1", "r2"}),
    });
    const Built built = Build(mails, 0, kDirect);
    EXPECT_EQ(built.tree.Dump(), "0(1(2(0(3))))");
    EXPECT_EQ(mails[0]->parent, mails[2].get());
    EXPECT_EQ(IconOf(built, *mails[0]), kIconMail);
}

TEST(DirectParentTest, NoMailGoesUnderItselfOrItsOwnReplies)
{
    MailList mails = MakeMails({
        Start("t").Dated(50),
        // Answer each other; their References also name t.
        Reply("a", "b").Refs({"t", "b"}).Dated(60),
        Reply("b", "a").Refs({"t", "a"}).Dated(70),
        Reply("c", "b").Refs({"t", "a", "b"}).Dated(80),
        // Names itself.
        Reply("s", "s").Refs({"t"}).Dated(10),
        Reply("u", "s").Dated(90),
    });
    const Built built = Build(mails, 0, kDirect);
    // The first of a cycle leads it at the top level, as a mail whose
    // parent is missing does.
    EXPECT_EQ(built.tree.Dump(), "0(4(5) 0 1(2(3)))");
    EXPECT_EQ(IconOf(built, *mails[1]), kIconOrphan);
    EXPECT_EQ(IconOf(built, *mails[4]), kIconOrphan);
    EXPECT_EQ(mails[1]->parent, nullptr);
    EXPECT_EQ(mails[2]->parent, mails[1].get());
}

TEST(DirectParentTest, DroppedMailStaysWhereItWasDropped)
{
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p").Refs({"p"}),
        Reply("r2", "r1").Refs({"p", "r1"}),
        Start("q"),
        Start(""),  // no Message-Id
        Reply("r3", "r1").Refs({"p", "r1"}),
    });
    ASSERT_EQ(Threads(mails, kDirect), "0(0(1(2 5)) 3 4)");
    // A drop onto a mail names it in In-Reply-To and forgets the References.
    const auto drop = [](MailRecord& mail, const MailRecord& onto) {
        mail.inReplyTo = onto.messageId;
        mail.noReplyHeaders = 0;
        mail.references.clear();
    };
    drop(*mails[2], *mails[3]);
    drop(*mails[5], *mails[4]);
    EXPECT_EQ(Threads(mails, kDirect), "0(0(1) 3(2) 4(5))");
    // Onto the project item: a thread start.
    mails[1]->inReplyTo.clear();
    mails[1]->noReplyHeaders = 1;
    EXPECT_EQ(Threads(mails, kDirect), "0(0 1 3(2) 4(5))");
}

TEST(DirectParentTest, RepliesOfOneMailKeepListOrderThatHandMovesSet)
{
    // The list as sorted by orderKey after the user moved r3 up: it stays
    // first among the replies, whatever its date.
    MailList mails = MakeMails({
        Start("p").Dated(1),
        Reply("r1", "p").Refs({"p"}).Dated(2),
        Reply("r3", "r1").Refs({"p", "r1"}).Dated(9),
        Reply("r2", "r1").Refs({"p", "r1"}).Dated(3),
    });
    EXPECT_EQ(Threads(mails, kDirect), "0(0(1(2 3)))");
}

// ---- Links and progress ----

TEST(TreeBuilderTest, LinksFollowTheFinishedTree)
{
    MailList mails = MakeMails({
        Start("p"),
        Reply("r1", "p"),
        Reply("r2", "p"),
        Start("q"),
    });
    const Built built = Build(mails);
    const MailRecord& p = *mails[0];
    const MailRecord& r1 = *mails[1];
    const MailRecord& r2 = *mails[2];
    const MailRecord& q = *mails[3];
    EXPECT_EQ(p.firstChild, &r1);
    EXPECT_EQ(p.nextSibling, &q);
    EXPECT_EQ(q.prevSibling, &p);
    EXPECT_EQ(r1.nextSibling, &r2);
    EXPECT_EQ(r2.prevSibling, &r1);
    EXPECT_EQ(r2.nextSibling, nullptr);
    EXPECT_EQ(r2.parent, &p);
    EXPECT_EQ(q.parent, nullptr);
    EXPECT_EQ(built.tree.ItemData(r2.treeItem), 2u);
    EXPECT_EQ(built.tree.Parent(r2.treeItem), p.treeItem);
}

TEST(TreeBuilderTest, ReportsOncePerMailTwiceAndOncePerItem)
{
    MailList mails = MakeMails({Start("p"), Reply("r", "p"), Start("q")});
    const Built built = Build(mails);
    EXPECT_EQ(built.progress.positions, Positions(9));
    EXPECT_TRUE(built.progress.ranges.empty());
}

TEST(TreeBuilderTest, StopEndsTheBuildAndClearsOldLinks)
{
    MailList mails = MakeMails({Start("p"), Reply("r", "p")});
    Build(mails);
    ASSERT_NE(mails[1]->parent, nullptr);

    ThreadTree tree = TreeWithProjectItem();
    StopFlag stop{true};
    ProgressRecorder progress;
    EXPECT_FALSE(BuildThreadTree(mails, 0, tree, progress, stop));
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(tree.Dump(), "0");
    for (const auto& mail : mails) {
        EXPECT_EQ(mail->treeItem, kNoItem);
        EXPECT_EQ(mail->parent, nullptr);
        EXPECT_EQ(mail->firstChild, nullptr);
    }

    // Stopped while pass 2 reports its first mail: that mail is still
    // handled, nothing after it.
    ThreadTree partial = TreeWithProjectItem();
    StopFlag later{false};
    ProgressRecorder stopping(later, 3);
    EXPECT_FALSE(BuildThreadTree(mails, 0, partial, stopping, later));
    EXPECT_EQ(partial.Dump(), "0(0(1))");
    EXPECT_EQ(stopping.positions, Positions(3));
    EXPECT_EQ(mails[0]->firstChild, nullptr);  // pass 3 never ran
}

TEST(TreeBuilderTest, DeepThreadIsBuiltWithoutRecursion)
{
    constexpr std::size_t kDepth = 65535;
    std::vector<Mail> layouts;
    layouts.push_back(Start("m0"));
    for (std::size_t i = 1; i < kDepth; ++i)
        layouts.push_back(Reply("m" + std::to_string(i), "m" + std::to_string(i - 1)));
    MailList mails = MakeMails(layouts);
    const Built built = Build(mails);
    EXPECT_TRUE(built.done);
    EXPECT_EQ(built.progress.positions.size(), 3 * kDepth);
    for (std::size_t i = 1; i < kDepth; ++i) {
        ASSERT_EQ(mails[i]->parent, mails[i - 1].get());
        ASSERT_EQ(mails[i - 1]->firstChild, mails[i].get());
    }
}

TEST(TreeBuilderTest, EveryMailIsPlacedWhateverItRefersTo)
{
    MailList mails = MakeMails({
        Reply("a", "b"),
        Reply("b", "c"),
        Reply("c", "a"),
        Reply("", ""),
        Reply("d", "").Refs({"d"}),
    });
    const Built built = Build(mails);
    EXPECT_EQ(built.tree.Size(), mails.size() + 1);
    EXPECT_EQ(built.tree.Dump(), "0(0(2(1)) 3(4))");
}

// ---- Equivalence with the plain build on random lists ----

// Ids from a small pool so that duplicates, empty ids, self and mutual
// references and missing parents are frequent.
MailList RandomMails(std::mt19937& random, std::size_t n)
{
    static const char* const ids[] = {"", "a", "b", "c", "d", "e", "f", "g", "h", "missing"};
    static const std::int32_t dates[] = {0, 1, 2, 5, 5, 9, -1, INT32_MIN, 100};
    const std::size_t idCount = 2 + random() % (std::size(ids) - 1);
    const auto pick = [&] { return std::string(ids[random() % idCount]); };
    MailList mails;
    for (std::size_t i = 0; i < n; ++i) {
        auto mail = std::make_unique<MailRecord>();
        mail->messageId = pick();
        // Only the value 1 marks a thread start.
        mail->noReplyHeaders = random() % 3 == 0 ? 1 : (random() % 10 == 0 ? 2 : 0);
        if (mail->noReplyHeaders == 0 || random() % 8 == 0) {
            mail->inReplyTo = random() % 4 == 0 ? "" : pick();
            for (std::size_t k = random() % 4; k > 0; --k)
                mail->references.push_back(pick());
        }
        mail->date = dates[random() % std::size(dates)];
        mail->outputHtml = random() % 4 == 0 ? 0 : 1;
        mail->subject = random() % 2 == 0 ? "[ml:" + std::to_string(i) + "] s" : "s" + std::to_string(i);
        mails.push_back(std::move(mail));
    }
    return mails;
}

std::ptrdiff_t IndexOf(const MailList& mails, const MailRecord* mail)
{
    for (std::size_t i = 0; i < mails.size(); ++i) {
        if (mails[i].get() == mail)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// Walks both trees together, item by item.
void ExpectSameItems(const ThreadTree& expected, const ThreadTree& actual, int round)
{
    std::vector<std::pair<TreeItem, TreeItem>> pending{{expected.Root(), actual.Root()}};
    while (!pending.empty()) {
        const auto [e, a] = pending.back();
        pending.pop_back();
        ASSERT_EQ(e == kNoItem, a == kNoItem) << "round " << round;
        if (e == kNoItem)
            continue;
        ASSERT_EQ(expected.ItemData(e), actual.ItemData(a)) << "round " << round;
        ASSERT_EQ(expected.Icon(e), actual.Icon(a)) << "round " << round;
        ASSERT_EQ(expected.Text(e), actual.Text(a)) << "round " << round;
        pending.emplace_back(expected.NextSibling(e), actual.NextSibling(a));
        pending.emplace_back(expected.FirstChild(e), actual.FirstChild(a));
    }
}

// Builds both lists, the first plainly, the second as the program does, and
// compares the outcome item by item and link by link.
void ExpectSameBuild(MailList& expectedMails, MailList& actualMails, std::int32_t cut, std::size_t stopAt,
                     ParentRule rule, int round)
{
    const std::size_t n = expectedMails.size();
    ThreadTree expectedTree = TreeWithProjectItem();
    StopFlag plainStop{false};
    ProgressRecorder plainProgress(plainStop, stopAt);
    const bool plainDone = PlainBuild(expectedMails, cut, expectedTree, plainProgress, plainStop, rule).Run();

    ThreadTree actualTree = TreeWithProjectItem();
    StopFlag fastStop{false};
    ProgressRecorder fastProgress(fastStop, stopAt);
    const bool fastDone = BuildThreadTree(actualMails, cut, actualTree, fastProgress, fastStop, rule);

    ASSERT_EQ(fastDone, plainDone) << "round " << round;
    ASSERT_EQ(actualTree.Dump(), expectedTree.Dump()) << "round " << round;
    ASSERT_EQ(fastProgress.positions, plainProgress.positions) << "round " << round;
    ExpectSameItems(expectedTree, actualTree, round);
    for (std::size_t i = 0; i < n; ++i) {
        const MailRecord& e = *expectedMails[i];
        const MailRecord& a = *actualMails[i];
        ASSERT_EQ(e.treeItem == kNoItem, a.treeItem == kNoItem) << "round " << round << " mail " << i;
        if (a.treeItem != kNoItem) {
            ASSERT_EQ(actualTree.ItemData(a.treeItem), i) << "round " << round << " mail " << i;
        }
        ASSERT_EQ(IndexOf(actualMails, a.parent), IndexOf(expectedMails, e.parent)) << "round " << round;
        ASSERT_EQ(IndexOf(actualMails, a.firstChild), IndexOf(expectedMails, e.firstChild)) << "round " << round;
        ASSERT_EQ(IndexOf(actualMails, a.nextSibling), IndexOf(expectedMails, e.nextSibling)) << "round " << round;
        ASSERT_EQ(IndexOf(actualMails, a.prevSibling), IndexOf(expectedMails, e.prevSibling)) << "round " << round;
    }
    if (fastDone) {
        ASSERT_EQ(actualTree.Size(), n + 1) << "round " << round << ": every mail is placed";
    }
}

TEST(TreeBuilderTest, SamePlacementAsPlainBuildOnRandomLists)
{
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        const std::size_t n = 1 + random() % (round % 10 == 0 ? 120 : 16);
        const std::int32_t cut = static_cast<std::int32_t>(random() % 2);
        // One round in four stops while a random report is handled.
        const std::size_t stopAt = round % 4 == 0 ? 1 + random() % (3 * n) : 0;
        const MailList generated = RandomMails(random, n);
        for (const ParentRule rule : {ParentRule::FirstNamed, ParentRule::DirectParent}) {
            SCOPED_TRACE(rule == ParentRule::DirectParent ? "direct parent" : "first named");
            MailList expectedMails;
            MailList actualMails;
            for (const auto& mail : generated) {
                expectedMails.push_back(std::make_unique<MailRecord>(*mail));
                actualMails.push_back(std::make_unique<MailRecord>(*mail));
            }
            ExpectSameBuild(expectedMails, actualMails, cut, stopAt, rule, round);
            ASSERT_FALSE(HasFatalFailure());
        }
    }
}

// ---- Threads of generated archives ----

// A generated mailing-list archive as the folder reader leaves it: headers
// parsed, then ordered by date.
MailList GeneratedArchive(std::size_t count, std::uint32_t seed)
{
    MailList mails;
    for (const postloom::bench::CorpusMail& file : postloom::bench::GenerateCorpus({.mailCount = count, .seed = seed})) {
        std::string header = file.bytes.substr(0, file.bytes.find("\r\n\r\n"));
        std::erase(header, '\r');
        auto mail = std::make_unique<MailRecord>();
        postloom::ParseMailHeader(*mail, header);
        mail->fileName = file.fileName;
        mail->orderKey = mail->date;
        mails.push_back(std::move(mail));
    }
    postloom::NoProgress none;
    const StopFlag stop{false};
    postloom::SortMailList(mails, none, stop);
    return mails;
}

TEST(DirectParentTest, GeneratedArchivesThreadUnderTheMailsAnswered)
{
    for (const std::uint32_t seed : {1u, 2u}) {
        const MailList archive = GeneratedArchive(2000, seed);
        MailList mails;
        MailList plainMails;
        for (const auto& mail : archive) {
            mails.push_back(std::make_unique<MailRecord>(*mail));
            plainMails.push_back(std::make_unique<MailRecord>(*mail));
        }
        ExpectSameBuild(plainMails, mails, 1, 0, ParentRule::DirectParent, static_cast<int>(seed));
        ASSERT_FALSE(HasFatalFailure());

        // The archive has no cycles: a mail is under the mail it answers,
        // and at the top level exactly when it answers none of the archive.
        std::size_t deep = 0;
        for (const auto& mail : mails) {
            const std::optional<std::string> parentId =
                mail->noReplyHeaders == 1 ? std::nullopt : DirectParentId(*mail, mails);
            if (mail->parent == nullptr) {
                EXPECT_EQ(parentId, std::nullopt) << mail->fileName;
                continue;
            }
            EXPECT_EQ(std::optional(mail->parent->messageId), parentId) << mail->fileName;
            if (mail->parent->parent != nullptr && mail->parent->parent->parent != nullptr)
                ++deep;
        }
        // Replies to replies lie deeper than the thread's first mail's replies.
        EXPECT_GT(deep, archive.size() / 10);
    }
}

}  // namespace
