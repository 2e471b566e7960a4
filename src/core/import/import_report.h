#pragma once

// An import's outcome for both fronts: postloom-batch prints the summary
// and the problems on stderr, the desktop program lists the problems. CP932
// (paths as they are held).

#include "core/import/mail_import.h"
#include "core/report/run_problems.h"

#include <string>

namespace postloom {

// "1,234 mails imported, 56 already there"; for an mbox followed by
// ", 7 \">From \" lines unquoted as mboxrd", which tells a wrong variant.
std::string ImportSummary(const ImportResult& result);

// One notice for each symbolic link passed over: not a problem, but shown.
void AddImportNotices(const ImportResult& result, Problems& out);

// The failure and each problem, then the stop when the import was stopped.
void AddImportProblems(const ImportResult& result, Problems& out);

}  // namespace postloom
