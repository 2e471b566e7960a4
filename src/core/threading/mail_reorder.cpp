#include "core/threading/mail_reorder.h"

#include "core/threading/tree_builder.h"

#include <utility>

namespace postloom {

namespace {

MailRecord* MailOf(const MailList& mails, const ThreadTree& tree, TreeItem item)
{
    if (item == kNoItem)
        return nullptr;
    const std::uint32_t index = tree.ItemData(item);
    return index < mails.size() ? mails[index].get() : nullptr;
}

}  // namespace

bool SwapMails(MailList& mails, std::uint32_t a, std::uint32_t b)
{
    if (a >= mails.size() || b >= mails.size())
        return false;
    std::swap(mails[a], mails[b]);
    std::swap(mails[a]->orderKey, mails[b]->orderKey);
    return true;
}

TreeItem DropPlaceAfter(const MailList& mails, const ThreadTree& tree, TreeItem target, std::int32_t date)
{
    TreeItem after = kNoItem;
    for (TreeItem child = tree.FirstChild(target); child != kNoItem; child = tree.NextSibling(child)) {
        const MailRecord* mail = MailOf(mails, tree, child);
        if (mail != nullptr && mail->date > date)
            break;
        after = child;
    }
    return after;
}

ReplyHeaders ReplyHeadersOf(const MailRecord& mail)
{
    return {.inReplyTo = mail.inReplyTo, .references = mail.references, .noReplyHeaders = mail.noReplyHeaders};
}

void SetReplyHeaders(MailRecord& mail, ReplyHeaders headers)
{
    mail.inReplyTo = std::move(headers.inReplyTo);
    mail.references = std::move(headers.references);
    mail.noReplyHeaders = headers.noReplyHeaders;
}

void AnswerMail(MailRecord& mail, const MailRecord* answered)
{
    if (answered == nullptr) {
        mail.inReplyTo.clear();
        mail.noReplyHeaders = 1;
        return;
    }
    mail.inReplyTo = answered->messageId;
    mail.noReplyHeaders = 0;
    // A reference to an ancestor would put the mail back under that
    // ancestor at the next tree build.
    mail.references.clear();
}

int PlacedMailIcon(const MailRecord& mail)
{
    return mail.outputHtml != 0 ? kIconMail : kIconMailNoPage;
}

bool IsBelow(const ThreadTree& tree, TreeItem item, TreeItem ancestor)
{
    if (item == kNoItem || ancestor == kNoItem)
        return false;
    for (TreeItem above = tree.Parent(item); above != kNoItem; above = tree.Parent(above)) {
        if (above == ancestor)
            return true;
    }
    return false;
}

void RelinkMails(MailList& mails, const ThreadTree& tree)
{
    const TreeItem project = tree.Root();
    if (project == kNoItem)
        return;
    // Depth first without recursion: a thread can be as deep as the list is long.
    const TreeItem first = tree.FirstChild(project);
    TreeItem item = first;
    while (item != kNoItem) {
        if (MailRecord* mail = MailOf(mails, tree, item)) {
            const TreeItem parent = tree.Parent(item);
            mail->treeItem = item;
            mail->parent = parent == project ? nullptr : MailOf(mails, tree, parent);
            mail->firstChild = MailOf(mails, tree, tree.FirstChild(item));
            mail->prevSibling = MailOf(mails, tree, tree.PrevSibling(item));
            mail->nextSibling = MailOf(mails, tree, tree.NextSibling(item));
        }
        if (const TreeItem child = tree.FirstChild(item)) {
            item = child;
            continue;
        }
        while (item != kNoItem && tree.NextSibling(item) == kNoItem) {
            item = tree.Parent(item);
            if (item == project)
                item = kNoItem;
        }
        if (item != kNoItem)
            item = tree.NextSibling(item);
    }
}

}  // namespace postloom
