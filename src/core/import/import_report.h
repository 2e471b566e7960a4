#pragma once

// The words of an import's outcome, the same in both fronts: postloom-batch
// prints them on stderr, the desktop program shows them. CP932 (paths as
// they are held).

#include "core/import/mail_import.h"
#include "core/report/run_problems.h"

#include <string>

namespace postloom {

// "1,234 mails imported, 56 already there"; for an mbox followed by
// ", 7 \">From \" lines unquoted as mboxrd", which tells a wrong variant.
std::string ImportSummary(const ImportResult& result);

// One line for each symbolic link passed over: not a problem, but shown.
void AddImportNotices(const ImportResult& result, ProblemLines& out);

// One line for the failure and each problem, then one when the import was
// stopped.
void AddImportProblems(const ImportResult& result, ProblemLines& out);

}  // namespace postloom
