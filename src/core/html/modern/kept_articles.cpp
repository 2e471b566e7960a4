#include "core/html/modern/kept_articles.h"

#include <algorithm>
#include <utility>

namespace postloom::modern {

KeptArticles::KeptArticles(std::size_t mails, std::size_t limit) : articles_(mails), limit_(limit) {}

void KeptArticles::Keep(std::size_t mail, std::string_view subject, std::string_view written)
{
    if (mail >= articles_.size())
        return;
    const std::size_t size = subject.size() + written.size();
    const std::size_t before = held_.fetch_add(size, std::memory_order_relaxed);
    if (before + size > limit_) {
        held_.fetch_sub(size, std::memory_order_relaxed);
        return;
    }
    char* room = nullptr;
    if (size != 0) {
        const std::lock_guard lock(bytesLock_);
        room = static_cast<char*>(bytes_.allocate(size, 1));
    }
    // Copied outside the lock: the room is this mail's alone.
    std::copy(written.begin(), written.end(), std::copy(subject.begin(), subject.end(), room));
    articles_[mail].emplace(KeptArticle{std::string_view(room, subject.size()),
                                        std::string_view(room + subject.size(), written.size())});
}

std::optional<KeptArticle> KeptArticles::Take(std::size_t mail)
{
    if (mail >= articles_.size())
        return std::nullopt;
    return std::exchange(articles_[mail], std::nullopt);
}

}  // namespace postloom::modern
