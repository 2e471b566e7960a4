#include "app/pipeline_workers.h"

#include "app/command_ids.h"
#include "core/threading/mail_sort.h"
#include "core/threading/tree_builder.h"

#include <utility>

namespace postloom {

CFileReadThread::CFileReadThread(AppContext& context, ProjectSettings& settings, std::string mailFolder)
    : WorkerThread(context, {.name = "CFileReadThread",
                             .noticeId = ID_MAIL_READ_FIN,
                             .notice = NoticeRule::UnlessStoppedOnceMainWindowExists,
                             .positions = PositionRule::CountedWhenSent,
                             .rangeFromJob = true}),
      settings_(settings),
      mailFolder_(std::move(mailFolder))
{
}

CFileReadThread::~CFileReadThread()
{
    shutDown();
}

void CFileReadThread::work()
{
    result_ = ReadMailFolder(settings_, mailFolder_, progress(), stopFlag());
}

CDataSortThread::CDataSortThread(AppContext& context, ProjectSettings& settings)
    : WorkerThread(context, {.name = "CDataSortThread",
                             .noticeId = ID_MAIL_SORT_FIN,
                             .notice = NoticeRule::UnlessStoppedOnceMainWindowExists,
                             .positions = PositionRule::FromJob}),
      settings_(settings)
{
}

CDataSortThread::~CDataSortThread()
{
    shutDown();
}

void CDataSortThread::work()
{
    SortMailList(settings_.mailList, progress(), stopFlag());
}

CTreeMakeThread::CTreeMakeThread(AppContext& context, ProjectSettings& settings, ThreadTree tree)
    : WorkerThread(context, {.name = "CTreeMakeThread",
                             .noticeId = ID_UPDATE_TREEITEM,
                             .notice = NoticeRule::Always,
                             .positions = PositionRule::Counted}),
      settings_(settings),
      tree_(std::move(tree))
{
}

CTreeMakeThread::~CTreeMakeThread()
{
    shutDown();
}

void CTreeMakeThread::work()
{
    completed_ = BuildThreadTree(settings_.mailList, settings_.CutMLTitle, tree_, progress(), stopFlag(),
                                 ParentRuleOf(settings_));
}

}  // namespace postloom
