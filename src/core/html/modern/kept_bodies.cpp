#include "core/html/modern/kept_bodies.h"

namespace postloom::modern {

KeptBodies::KeptBodies(std::size_t mails, std::size_t limit) : bodies_(mails), limit_(limit) {}

void KeptBodies::Keep(std::size_t mail, std::string_view body)
{
    if (mail >= bodies_.size())
        return;
    const std::size_t before = held_.fetch_add(body.size(), std::memory_order_relaxed);
    if (before + body.size() > limit_) {
        held_.fetch_sub(body.size(), std::memory_order_relaxed);
        return;
    }
    bodies_[mail].emplace(body);
}

std::optional<std::string> KeptBodies::Take(std::size_t mail)
{
    if (mail >= bodies_.size() || !bodies_[mail])
        return std::nullopt;
    std::optional<std::string> body = std::move(bodies_[mail]);
    bodies_[mail].reset();
    held_.fetch_sub(body->size(), std::memory_order_relaxed);
    return body;
}

}  // namespace postloom::modern
