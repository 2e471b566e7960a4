#pragma once

// Ordering mailList by orderKey (compared as unsigned 32-bit numbers) with
// exactly the exchanges of the classic selection-by-exchange sort, so mails
// with equal keys end in the same order as ever.

#include "core/platform/job_control.h"
#include "core/project/project_settings.h"

namespace postloom {

// Reports the outer step i (from 0) before each step. Returns false when the
// stop flag ended it early.
bool SortMailList(MailList& mails, JobProgress& progress, const StopFlag& stop);

}  // namespace postloom
