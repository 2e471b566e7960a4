#include "app/worker_thread.h"

#include "app/app_context.h"

#include <QString>

namespace postloom {

WorkerThread::WorkerThread(AppContext& context, const Protocol& protocol) : context_(context), protocol_(protocol) {}

WorkerThread::~WorkerThread()
{
    shutDown();
}

void WorkerThread::start()
{
    Q_ASSERT(!thread_);
    thread_.reset(QThread::create([this] { run(); }));
    thread_->setObjectName(QString::fromLatin1(protocol_.name));
    thread_->start();
}

void WorkerThread::requestStop()
{
    abortRequested_.store(true);
    context_.wakeWorkers();
}

void WorkerThread::shutDown()
{
    if (thread_) {
        requestStop();
        thread_->wait();
    }
}

void WorkerThread::run()
{
    work();
    switch (protocol_.notice) {
    case NoticeRule::Always:
        context_.commands().post(protocol_.noticeId);
        break;
    case NoticeRule::UnlessStoppedOnceMainWindowExists:
        if (!abortRequested_.load() && context_.waitForMainWindow(abortRequested_)) {
            context_.commands().post(protocol_.noticeId);
        }
        break;
    }
    finished_.store(true);
}

void WorkerThread::Progress::SetRange(int lower, int upper)
{
    if (worker_.protocol_.rangeFromJob) {
        worker_.context_.sendFromWorker([lower, upper](MainWindow& window) { window.dispProgress(lower, upper); },
                                        worker_.abortRequested_);
    }
}

void WorkerThread::Progress::Report(int position)
{
    const PositionRule rule = worker_.protocol_.positions;
    const int sentPosition = rule == PositionRule::FromJob ? position : count_;
    const bool sent = worker_.context_.sendFromWorker(
        [sentPosition](MainWindow& window) { window.updateProgress(sentPosition, 1); }, worker_.abortRequested_);
    if (rule == PositionRule::Counted || (rule == PositionRule::CountedWhenSent && sent)) {
        ++count_;
    }
}

}  // namespace postloom
