#include "core/html/modern/kept_articles.h"

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
    articles_[mail].emplace(KeptArticle{std::string(subject), std::string(written)});
}

std::optional<KeptArticle> KeptArticles::Take(std::size_t mail)
{
    if (mail >= articles_.size() || !articles_[mail])
        return std::nullopt;
    std::optional<KeptArticle> article = std::move(articles_[mail]);
    articles_[mail].reset();
    held_.fetch_sub(article->subject.size() + article->written.size(), std::memory_order_relaxed);
    return article;
}

}  // namespace postloom::modern
