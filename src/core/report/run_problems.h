#pragma once

// What went wrong in a run, worded once for both fronts: postloom-batch
// prints these lines on stderr, the desktop program shows them in its
// problem list. Each line is CP932 (paths as they are held); the fronts
// convert for their display.

#include "core/html/graphics_copy.h"
#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/output_folders.h"
#include "core/mail/folder_reader.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace postloom {

using ProblemLines = std::vector<std::string>;

void AddLoadProblems(const LoadResult& loaded, std::string_view projectFile, ProblemLines& out);
void AddPathSettingProblems(const std::vector<std::string_view>& keysWithNul, ProblemLines& out);
// mailFolder: the resolved mail folder.
void AddReadProblems(const FolderReadResult& read, std::string_view mailFolder, ProblemLines& out);
void AddNoMailsProblem(ProblemLines& out);
// The folders made go to notices; a folder that cannot be made is a problem.
void AddOutputFolderLines(const OutputFoldersResult& folders, ProblemLines& notices, ProblemLines& out);
// Temporary files that interrupted runs had left and this run removed.
void AddLeftOverTemporaryLines(std::size_t removed, ProblemLines& notices);
void AddGraphicsProblems(const GraphicsCopyResult& graphics, ProblemLines& out);
// Relative settings paths resolve against projectFolder.
void AddIndexProblems(const IndexPageResult& index, const ProjectSettings& settings, const std::string& projectFolder,
                      ProblemLines& out);
void AddPageProblems(const MailPageResult& pages, const ProjectSettings& settings, const std::string& projectFolder,
                     ProblemLines& out);
// What the mail pages run did that is no problem: mails whose file is gone
// (their records stay) and the files it took off the site.
void AddPageNotices(const MailPageResult& pages, ProblemLines& notices);
// The user stopped the run before its end.
void AddStoppedProblem(ProblemLines& out);
void AddSaveLines(const SaveResult& saved, std::string_view projectFile, ProblemLines& notices, ProblemLines& out);

// Files passed over by a run: the count the summaries give.
std::size_t SkippedFiles(const FolderReadResult& read, const MailPageResult& pages);

}  // namespace postloom
