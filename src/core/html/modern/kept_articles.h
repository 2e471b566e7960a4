#pragma once

// What the whole-thread pages take of the mail pages made in the same run:
// a thread page shows each mail with its subject, then its head and body
// exactly as its own page shows them, so it copies those bytes as they
// were written instead of reading and converting the mail file a second
// time. The memory they take is bounded; a mail past the bound is not kept
// and its thread page reads the mail file as before.

#include <atomic>
#include <cstddef>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace postloom::modern {

// Views into the KeptArticles that kept them, valid while it lives.
struct KeptArticle {
    std::string_view subject;  // as SubjectHtml shows it
    std::string_view written;  // the mail's head and body, with CR LF line ends
};

class KeptArticles {
public:
    // About what the pages of 20,000 mails of a few KB take.
    static constexpr std::size_t kDefaultLimit = 64 * 1024 * 1024;

    // Room for the mails at positions below mails, limit bytes in all.
    explicit KeptArticles(std::size_t mails, std::size_t limit = kDefaultLimit);

    // Keep and Take may run on several threads at once, each for mails of
    // its own. Every mail's bytes stay until the whole goes: the mail pages
    // keep them all before the thread pages take any, so room handed over
    // would not be used again.
    void Keep(std::size_t mail, std::string_view subject, std::string_view written);
    // What was kept for mail, handed over once.
    std::optional<KeptArticle> Take(std::size_t mail);

private:
    // The bytes of all the articles, in a few large blocks given back at
    // once, rather than two allocations of their own for each mail.
    std::pmr::monotonic_buffer_resource bytes_;
    std::mutex bytesLock_;
    std::vector<std::optional<KeptArticle>> articles_;
    std::atomic<std::size_t> held_{0};
    const std::size_t limit_;
};

}  // namespace postloom::modern
