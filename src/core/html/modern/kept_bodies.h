#pragma once

// The mail bodies of a run's mail pages, kept as they were formatted for
// the whole-thread pages written after them: a thread page then copies a
// body instead of reading and converting its mail file a second time. The
// memory they take is bounded; a body past the bound is not kept and its
// thread page reads the mail file as before.

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::modern {

class KeptBodies {
public:
    // About what the bodies of 20,000 mails of a few KB take.
    static constexpr std::size_t kDefaultLimit = 64 * 1024 * 1024;

    // Room for the mails at positions below mails.
    explicit KeptBodies(std::size_t mails, std::size_t limit = kDefaultLimit);

    // Keep and Take may run on several threads at once, each for mails of
    // its own.
    void Keep(std::size_t mail, std::string_view body);
    // The body kept for mail, handed over once.
    std::optional<std::string> Take(std::size_t mail);

private:
    std::vector<std::optional<std::string>> bodies_;
    std::atomic<std::size_t> held_{0};
    const std::size_t limit_;
};

}  // namespace postloom::modern
