#include "core/html/modern/thread_page_plan.h"

#include <utility>

namespace postloom::modern {

namespace {

bool MakesThreadPages(const ProjectSettings& settings)
{
    return PageStyleOf(settings) == PageStyleKind::Modern && settings.MailCreateType == 0;
}

// "" for "index.html", "../" for "../index.html": the link to the index
// page without its file name.
std::string FolderPartOfLink(std::string_view link)
{
    const std::size_t slash = link.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(link.substr(0, slash + 1));
}

}  // namespace

ThreadPagePlan::ThreadPagePlan(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan)
    : folder_(JoinPath(paths.IndexFolder(), kThreadFolder, paths.style())), plan_(plan)
{
    if (!MakesThreadPages(settings) || !plan.parts().threadPages || plan.pageFolder() == folder_)
        return;
    indexFolderFromMail_ = FolderPartOfLink(paths.IndexLinkFromMail().value_or(""));
    const MailList& mails = settings.mailList;
    threadAt_.assign(mails.size(), kNoThread);
    std::unordered_map<const MailRecord*, std::size_t> position;
    position.reserve(mails.size());
    for (std::size_t i = 0; i < mails.size(); ++i)
        position.emplace(mails[i].get(), i);
    std::vector<char> seen(mails.size(), 0);
    // Each level holds the next mail of its sibling chain; no recursion, as
    // a thread can be tens of thousands of replies deep.
    std::vector<const MailRecord*> levels;
    for (std::size_t root = 0; root < mails.size(); ++root) {
        const MailRecord* parent = mails[root]->parent;
        if (parent != nullptr && position.contains(parent))
            continue;
        ThreadPageEntry thread;
        levels.assign(1, mails[root].get());
        bool first = true;
        while (!levels.empty()) {
            const MailRecord* mail = levels.back();
            if (mail == nullptr) {
                levels.pop_back();
                continue;
            }
            const auto found = position.find(mail);
            // A mail outside the list, or met before (a loop no tree makes),
            // ends its chain.
            if (found == position.end() || seen[found->second] != 0) {
                levels.pop_back();
                continue;
            }
            const std::size_t i = found->second;
            seen[i] = 1;
            levels.back() = first ? nullptr : mail->nextSibling;
            first = false;
            if (plan.HasPage(i)) {
                if (thread.mails.empty())
                    thread.name = plan[i].name;
                thread.mails.push_back({i, static_cast<int>(levels.size()) - 1});
            }
            levels.push_back(mail->firstChild);
        }
        if (thread.mails.empty())
            continue;
        for (const ThreadMail& member : thread.mails)
            threadAt_[member.mail] = threads_.size();
        threads_.push_back(std::move(thread));
    }
}

std::string ThreadPagePlan::LinkFromIndex(const ThreadPageEntry& thread)
{
    return std::string(kThreadFolder) + "/" + EncodeUrl(thread.name);
}

std::optional<std::string> ThreadPagePlan::LinkFromMail(std::size_t mail) const
{
    if (!Shows(mail))
        return std::nullopt;
    return indexFolderFromMail_ + LinkFromIndex(threads_[threadAt_[mail]]) + "#" + MailAnchor(plan_[mail].name);
}

std::string MailAnchor(std::string_view pageName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string anchor = "m-";
    for (const char c : pageName) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            c == '_' || c == '-') {
            anchor.push_back(c);
        } else {
            anchor.push_back('.');
            anchor.push_back(kHex[byte >> 4]);
            anchor.push_back(kHex[byte & 0xF]);
        }
    }
    return anchor;
}

}  // namespace postloom::modern
