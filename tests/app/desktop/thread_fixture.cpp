#include "thread_fixture.h"

#include "core/platform/job_control.h"
#include "core/threading/tree_builder.h"

namespace postloom::test {

namespace {

class NoProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int) override {}
};

void SnapshotLevel(const ThreadTree& tree, const MailList& mails, TreeItem first, std::string& out)
{
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        out += ' ' + mails[tree.ItemData(item)]->messageId + ':' + std::to_string(tree.Icon(item));
        if (tree.HasChildren(item)) {
            out += " (";
            SnapshotLevel(tree, mails, tree.FirstChild(item), out);
            out += " )";
        }
    }
}

}  // namespace

std::unique_ptr<MailRecord> Mail(const std::string& id, std::int32_t date, const std::string& answers)
{
    auto mail = std::make_unique<MailRecord>();
    mail->messageId = id;
    mail->subject = id;
    mail->fileName = id + ".alm";
    mail->date = mail->orderKey = date;
    if (!answers.empty()) {
        mail->inReplyTo = answers;
        mail->references = {answers};
        mail->noReplyHeaders = 0;
    }
    return mail;
}

MailList Thread()
{
    MailList mails;
    mails.push_back(Mail("t", 100));
    mails.push_back(Mail("a", 110, "t"));
    mails.push_back(Mail("b", 120, "t"));
    mails.push_back(Mail("b1", 130, "b"));
    mails.push_back(Mail("b2", 140, "b"));
    mails.push_back(Mail("c", 150, "t"));
    mails.push_back(Mail("s", 160));
    mails[4]->outputHtml = 0;
    return mails;
}

ThreadTree Build(MailList& mails)
{
    ThreadTree tree;
    tree.Insert("Project", kIconProject, 0, kNoItem, ThreadTree::Place::Last);
    NoProgress progress;
    const StopFlag stop{false};
    BuildThreadTree(mails, 0, tree, progress, stop);
    return tree;
}

std::string Shape(const ThreadTree& tree, const MailList& mails, TreeItem first)
{
    std::string out;
    for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
        if (!out.empty())
            out += ' ';
        out += mails[tree.ItemData(item)]->messageId;
        if (tree.HasChildren(item))
            out += '(' + Shape(tree, mails, tree.FirstChild(item)) + ')';
    }
    return out;
}

QString Shape(const ThreadTreeModel& model, const MailList& mails)
{
    return QString::fromStdString(Shape(model.Tree(), mails, model.Tree().FirstChild(model.Tree().Root())));
}

QString Order(const MailList& mails)
{
    std::string out;
    for (const auto& mail : mails)
        out += mail->messageId + '=' + std::to_string(mail->orderKey) + ' ';
    return QString::fromStdString(out);
}

bool LinksFollowTheTree(const ThreadTree& tree, const MailList& mails)
{
    for (const auto& mail : mails) {
        const TreeItem item = mail->treeItem;
        if (!tree.IsValid(item) || mails[tree.ItemData(item)].get() != mail.get())
            return false;
        const auto mailOf = [&](TreeItem other) {
            return other == kNoItem || other == tree.Root() ? nullptr : mails[tree.ItemData(other)].get();
        };
        if (mail->parent != mailOf(tree.Parent(item)) || mail->firstChild != mailOf(tree.FirstChild(item)) ||
            mail->nextSibling != mailOf(tree.NextSibling(item)) ||
            mail->prevSibling != mailOf(tree.PrevSibling(item)))
            return false;
    }
    return true;
}

std::string Snapshot(const ThreadTree& tree, const MailList& mails)
{
    std::string out = "tree";
    SnapshotLevel(tree, mails, tree.FirstChild(tree.Root()), out);
    out += "\nmails";
    for (const auto& mail : mails) {
        out += ' ' + mail->messageId + '=' + std::to_string(mail->orderKey) + '>' + mail->inReplyTo + '[';
        for (const std::string& reference : mail->references)
            out += reference + ',';
        out += ']' + std::to_string(mail->noReplyHeaders) + std::to_string(mail->outputHtml);
    }
    return out;
}

MailRecord* Find(const MailList& mails, const std::string& id)
{
    for (const auto& mail : mails) {
        if (mail->messageId == id)
            return mail.get();
    }
    return nullptr;
}

}  // namespace postloom::test
