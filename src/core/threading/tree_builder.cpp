#include "core/threading/tree_builder.h"

#include "core/mail/mail_parser.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace postloom {

namespace {

// Who refers to whom, by message id. Under the first-named rule mail r
// refers to every mail whose messageId equals r's inReplyTo or one of r's
// references; under the direct-parent rule only to the mails whose messageId
// is the one id that names r's parent. Several mails can share an id, the
// empty id of mails without a Message-Id header included.
class ReferenceIndex {
public:
    ReferenceIndex(const MailList& mails, ParentRule rule) : idOf_(mails.size()), refersToAny_(mails.size(), false)
    {
        std::unordered_map<std::string_view, std::uint32_t> ids;
        ids.reserve(mails.size());
        for (std::size_t i = 0; i < mails.size(); ++i)
            idOf_[i] = ids.try_emplace(mails[i]->messageId, static_cast<std::uint32_t>(ids.size())).first->second;

        // (id, mail) pairs in list order, each pair once.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> mentions;
        std::vector<std::uint32_t> lastMentioner(ids.size(), kNobody);
        start_.assign(ids.size() + 1, 0);
        for (std::size_t i = 0; i < mails.size(); ++i) {
            const auto mail = static_cast<std::uint32_t>(i);
            const auto note = [&](const std::string& named) {
                const auto found = ids.find(named);
                if (found == ids.end())
                    return;
                refersToAny_[i] = true;
                if (lastMentioner[found->second] == mail)
                    return;
                lastMentioner[found->second] = mail;
                mentions.emplace_back(found->second, mail);
                ++start_[found->second + 1];
            };
            if (rule == ParentRule::DirectParent) {
                if (const std::string* parent = ParentId(*mails[i], ids))
                    note(*parent);
                continue;
            }
            note(mails[i]->inReplyTo);
            for (const std::string& reference : mails[i]->references)
                note(reference);
        }
        for (std::size_t id = 0; id < ids.size(); ++id)
            start_[id + 1] += start_[id];
        referrers_.resize(mentions.size());
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        for (const auto& [id, mail] : mentions)
            referrers_[fill[id]++] = mail;
    }

    std::size_t IdCount() const { return start_.size() - 1; }
    // The number of the mail's own messageId among the distinct ids.
    std::uint32_t IdOf(std::size_t mail) const { return idOf_[mail]; }
    // True when the mail refers to some mail of the list, itself included.
    bool RefersToAny(std::size_t mail) const { return refersToAny_[mail]; }
    // The mails that name the id, in list order.
    std::span<const std::uint32_t> Referrers(std::uint32_t id) const
    {
        return std::span<const std::uint32_t>(referrers_).subspan(start_[id], start_[id + 1] - start_[id]);
    }

private:
    static constexpr std::uint32_t kNobody = std::numeric_limits<std::uint32_t>::max();

    // The id that names the mail's parent under the direct-parent rule:
    // In-Reply-To when a mail of the list has it, else the last References
    // entry that one has; nullptr when none does.
    static const std::string* ParentId(const MailRecord& mail,
                                       const std::unordered_map<std::string_view, std::uint32_t>& ids)
    {
        const bool inReplyToAbsent = mail.inReplyTo.empty() && !mail.references.empty();
        if (!inReplyToAbsent && ids.contains(mail.inReplyTo))
            return &mail.inReplyTo;
        for (auto reference = mail.references.rbegin(); reference != mail.references.rend(); ++reference) {
            if (ids.contains(*reference))
                return &*reference;
        }
        return nullptr;
    }

    std::vector<std::uint32_t> idOf_;
    std::vector<bool> refersToAny_;
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> referrers_;
};

class Builder {
public:
    Builder(MailList& mails, std::int32_t cutMLTitle, ThreadTree& tree, JobProgress& progress, const StopFlag& stop,
            ParentRule rule)
        : mails_(mails), cutMLTitle_(cutMLTitle), tree_(tree), progress_(progress), stop_(stop), index_(mails, rule),
          idDone_(index_.IdCount(), false)
    {
    }

    bool Run()
    {
        // Links of an earlier build must not survive, not even a stopped one:
        // they would name items of a tree that is gone.
        for (const auto& mail : mails_) {
            mail->treeItem = kNoItem;
            mail->parent = mail->firstChild = mail->nextSibling = mail->prevSibling = nullptr;
        }
        project_ = tree_.Root();
        if (project_ == kNoItem)
            return true;
        while (const TreeItem child = tree_.FirstChild(project_))
            tree_.Delete(child);
        tree_.Reserve(mails_.size());
        return PlaceStartsAndOrphans() && PlaceReplies() && PlaceTheRest() && LinkThreads();
    }

private:
    bool Placed(std::size_t i) const { return mails_[i]->treeItem != kNoItem; }

    void Report() { progress_.Report(position_++); }

    int Icon(std::size_t i, int base) const { return mails_[i]->outputHtml == 0 ? base + 3 : base; }

    TreeItem Insert(std::size_t i, int baseIcon, TreeItem parent, TreeItem after)
    {
        MailRecord& mail = *mails_[i];
        mail.treeItem = tree_.InsertAfter(DisplaySubject(mail, cutMLTitle_), Icon(i, baseIcon),
                                          static_cast<std::uint32_t>(i), parent, after);
        return mail.treeItem;
    }

    void AppendThreadStart(std::size_t i)
    {
        const TreeItem item = Insert(i, kIconMail, project_, tree_.LastChild(project_));
        const auto date = static_cast<std::uint32_t>(mails_[i]->date);
        if (risingTops_.empty() || risingTops_.rbegin()->first < date)
            risingTops_.emplace_hint(risingTops_.end(), date, item);
    }

    // Among the project item's children as they are now: just before the
    // first one with a later date, or last. That child is always one whose
    // date exceeds every date before it, so only those are kept, by date.
    void PlaceOrphan(std::size_t i)
    {
        const auto date = static_cast<std::uint32_t>(mails_[i]->date);
        const auto later = risingTops_.upper_bound(date);
        const TreeItem after =
            later == risingTops_.end() ? tree_.LastChild(project_) : tree_.PrevSibling(later->second);
        const TreeItem item = Insert(i, kIconOrphan, project_, after);
        if (later == risingTops_.begin() || std::prev(later)->first < date)
            risingTops_.emplace_hint(later, date, item);
    }

    // Visiting placed mail b places every unplaced mail that refers to it
    // under it, in list order. Afterwards no unplaced mail refers to b's id
    // at all, so later visits of mails with the same id have nothing to do.
    void Visit(std::size_t b, std::set<std::uint32_t>* pending)
    {
        const std::uint32_t id = index_.IdOf(b);
        if (idDone_[id])
            return;
        idDone_[id] = true;
        MailRecord* const parent = mails_[b].get();
        for (const std::uint32_t r : index_.Referrers(id)) {
            if (Placed(r))
                continue;
            Insert(r, kIconMail, parent->treeItem, tree_.LastChild(parent->treeItem));
            mails_[r]->parent = parent;
            if (pending && !idDone_[index_.IdOf(r)])
                pending->insert(r);
        }
    }

    bool PlaceStartsAndOrphans()
    {
        for (std::size_t i = 0; i < mails_.size(); ++i) {
            if (stop_)
                return false;
            Report();
            if (mails_[i]->noReplyHeaders == 1)
                AppendThreadStart(i);
            else if (!index_.RefersToAny(i))
                PlaceOrphan(i);
        }
        return true;
    }

    bool PlaceReplies()
    {
        for (std::size_t b = 0; b < mails_.size(); ++b) {
            if (stop_)
                return false;
            Report();
            if (Placed(b))
                Visit(b, nullptr);
        }
        return true;
    }

    // Further rounds b = 0 .. N-1 until one places nothing. Only mails placed
    // after their visit can place anything, so the rounds jump from one such
    // mail to the next, wrapping round to a new round.
    void RunRounds(std::set<std::uint32_t>& pending)
    {
        std::uint32_t from = 0;
        while (!pending.empty()) {
            const auto next = pending.lower_bound(from);
            if (next == pending.end()) {
                from = 0;
                continue;
            }
            const std::uint32_t b = *next;
            pending.erase(next);
            from = b + 1;
            Visit(b, &pending);
        }
    }

    // Replies dated before the mail they answer, and mails that refer to
    // themselves or to each other, are left out by the passes above. The
    // rounds place the former; of the latter the first unplaced one in list
    // order starts its thread at the top level, as an orphan does.
    bool PlaceTheRest()
    {
        if (stop_)
            return false;
        std::set<std::uint32_t> pending;
        for (std::size_t b = 0; b < mails_.size(); ++b) {
            if (Placed(b) && !idDone_[index_.IdOf(b)])
                pending.insert(pending.end(), static_cast<std::uint32_t>(b));
        }
        RunRounds(pending);
        for (std::size_t u = 0;; ++u) {
            while (u < mails_.size() && Placed(u))
                ++u;
            if (u == mails_.size())
                return true;
            PlaceOrphan(u);
            if (!idDone_[index_.IdOf(u)])
                pending.insert(static_cast<std::uint32_t>(u));
            RunRounds(pending);
        }
    }

    MailRecord* MailOf(TreeItem item) const
    {
        return item == kNoItem ? nullptr : mails_[tree_.ItemData(item)].get();
    }

    void Link(TreeItem item)
    {
        MailRecord& mail = *MailOf(item);
        mail.firstChild = MailOf(tree_.FirstChild(item));
        mail.prevSibling = MailOf(tree_.PrevSibling(item));
        mail.nextSibling = MailOf(tree_.NextSibling(item));
    }

    // Depth first without recursion: a thread can be as deep as the list is long.
    bool LinkThreads()
    {
        for (TreeItem top = tree_.FirstChild(project_); top != kNoItem; top = tree_.NextSibling(top)) {
            if (stop_)
                return false;
            TreeItem item = top;
            while (true) {
                Report();
                Link(item);
                if (const TreeItem child = tree_.FirstChild(item)) {
                    item = child;
                    continue;
                }
                while (item != top && tree_.NextSibling(item) == kNoItem)
                    item = tree_.Parent(item);
                if (item == top)
                    break;
                item = tree_.NextSibling(item);
            }
        }
        return true;
    }

    MailList& mails_;
    const std::int32_t cutMLTitle_;
    ThreadTree& tree_;
    JobProgress& progress_;
    const StopFlag& stop_;
    const ReferenceIndex index_;
    std::vector<bool> idDone_;  // the mails that refer to this id are placed
    TreeItem project_ = kNoItem;
    int position_ = 0;
    // The project item's children whose date is later than that of every
    // child before them, by date (compared unsigned).
    std::map<std::uint32_t, TreeItem> risingTops_;
};

}  // namespace

ParentRule ParentRuleOf(const ProjectSettings& settings)
{
    return settings.DirectParent != 0 ? ParentRule::DirectParent : ParentRule::FirstNamed;
}

bool BuildThreadTree(MailList& mails, std::int32_t cutMLTitle, ThreadTree& tree, JobProgress& progress,
                     const StopFlag& stop, ParentRule rule)
{
    return Builder(mails, cutMLTitle, tree, progress, stop, rule).Run();
}

}  // namespace postloom
