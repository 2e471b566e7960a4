#include "app/page_workers.h"

#include "app/command_ids.h"

#include <utility>

namespace postloom {

CGraphicThread::CGraphicThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder)
    : WorkerThread(context, {.name = "CGraphicThread",
                             .noticeId = ID_UPDATE_GRAPHIC,
                             .notice = NoticeRule::Always,
                             .positions = PositionRule::FromJob}),
      settings_(settings),
      projectFolder_(std::move(projectFolder))
{
}

CGraphicThread::~CGraphicThread()
{
    shutDown();
}

void CGraphicThread::work()
{
    result_ = CopyGraphics(settings_, projectFolder_, progress());
}

CIndexThread::CIndexThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder,
                           const SitePlan& plan, const ThreadTree& tree)
    : WorkerThread(context, {.name = "CIndexThread",
                             .noticeId = ID_UPDATE_INDEX,
                             .notice = NoticeRule::Always,
                             .positions = PositionRule::Counted}),
      settings_(settings),
      projectFolder_(std::move(projectFolder)),
      plan_(plan),
      tree_(tree)
{
}

CIndexThread::~CIndexThread()
{
    shutDown();
}

void CIndexThread::work()
{
    result_ = WriteIndexPage(settings_, projectFolder_, plan_, tree_, progress());
}

CHtmlThread::CHtmlThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder,
                         const SitePlan& plan, MailPageOptions options)
    : WorkerThread(context, {.name = "CHtmlThread",
                             .noticeId = ID_UPDATE_HTML,
                             .notice = NoticeRule::Always,
                             .positions = PositionRule::FromJob}),
      settings_(settings),
      projectFolder_(std::move(projectFolder)),
      plan_(plan),
      options_(options)
{
}

CHtmlThread::~CHtmlThread()
{
    shutDown();
}

void CHtmlThread::work()
{
    // The search lists the mails whose pages are in place, after a whole
    // run of them. It is written on this thread while the rest of the site
    // is made, and goes on with the progress where the pages left it.
    MailPageOptions options = options_;
    options.whenPagesInPlace = [this](const std::vector<std::optional<platform::FileStamp>>& stamps) {
        searchResult_ = WriteSiteSearch(settings_, projectFolder_, plan_, stamps, progress(), stopFlag());
    };
    result_ = WriteMailPages(settings_, projectFolder_, plan_, progress(), stopFlag(), options);
}

}  // namespace postloom
