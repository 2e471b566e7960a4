#pragma once

// What went wrong in a run, told once for both fronts: postloom-batch
// prints these problems on stderr, the desktop program shows them in its
// problem list, each in its own words (problem_wording.h).

#include "core/html/graphics_copy.h"
#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/output_folders.h"
#include "core/html/site_search.h"
#include "core/mail/folder_reader.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "core/report/problem.h"

#include <string>
#include <string_view>
#include <vector>

namespace postloom {

void AddLoadProblems(const LoadResult& loaded, std::string_view projectFile, Problems& out);
void AddPathSettingProblems(const std::vector<std::string_view>& keysWithNul, Problems& out);
// mailFolder: the resolved mail folder.
void AddReadProblems(const FolderReadResult& read, std::string_view mailFolder, Problems& out);
void AddNoMailsProblem(Problems& out);
// The folders made go to notices; a folder that cannot be made is a problem.
void AddOutputFolderLines(const OutputFoldersResult& folders, Problems& notices, Problems& out);
// Temporary files that interrupted runs had left and this run removed.
void AddLeftOverTemporaryLines(std::size_t removed, Problems& notices);
void AddGraphicsProblems(const GraphicsCopyResult& graphics, Problems& out);
// Relative settings paths resolve against projectFolder.
void AddIndexProblems(const IndexPageResult& index, const ProjectSettings& settings, const std::string& projectFolder,
                      Problems& out);
void AddPageProblems(const MailPageResult& pages, const ProjectSettings& settings, const std::string& projectFolder,
                     Problems& out);
// What the mail pages run did that is no problem: mails whose file is gone
// (their records stay) and the files it took off the site.
void AddPageNotices(const MailPageResult& pages, Problems& notices);
void AddSearchProblems(const SiteSearchResult& search, Problems& out);
// The user stopped the run before its end.
void AddStoppedProblem(Problems& out);
void AddSaveLines(const SaveResult& saved, std::string_view projectFile, Problems& notices, Problems& out);

// Files passed over by a run: the count the summaries give.
std::size_t SkippedFiles(const FolderReadResult& read, const MailPageResult& pages);

}  // namespace postloom
