#pragma once

// The words of every problem kind, in both languages of the program, in one
// table: postloom-batch (and the unattended run's stderr) speaks English,
// the desktop program's problem list Japanese.
//
// A wording is a pattern with these fields:
//   {path} {otherMail} {page} {count}  the problem's fields
//   {reason}                           the system's reason
//   {: reason}                         ": " and the reason, or nothing when
//                                      there is none

#include "core/report/problem.h"

#include <span>
#include <string>
#include <string_view>

namespace postloom {

enum class ProblemLanguage { English, Japanese };

struct ProblemWording {
    ProblemKind kind;
    std::string_view english;
    // English for a count of one, where it says it otherwise; else empty.
    std::string_view englishOne;
    // UTF-8.
    std::string_view japanese;
};

// One entry for each kind, in the order of the kinds.
std::span<const ProblemWording> ProblemWordings();

// The problem as one line of text (CP932).
std::string WordProblem(const Problem& problem, ProblemLanguage language);

}  // namespace postloom
