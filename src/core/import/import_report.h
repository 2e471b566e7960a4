#pragma once

// The words of an import's outcome, the same in both fronts: postloom-batch
// prints them on stderr, the desktop program shows them. CP932 (paths as
// they are held).

#include "core/import/mail_import.h"
#include "core/report/run_problems.h"

#include <string>

namespace postloom {

// "1,234 mails imported, 56 already there".
std::string ImportSummary(const ImportResult& result);

// One line for the failure and each problem, then one when the import was
// stopped.
void AddImportProblems(const ImportResult& result, ProblemLines& out);

}  // namespace postloom
