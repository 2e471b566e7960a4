#include "app/worker_thread.h"

#include "app/app_context.h"

#include <QString>

#include <algorithm>

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
    progress_.flush();
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
        // A position held back belongs to the range before.
        flush();
        worker_.context_.sendFromWorker([lower, upper](MainWindow& window) { window.dispProgress(lower, upper); },
                                        worker_.abortRequested_);
    }
}

void WorkerThread::Progress::Report(int position)
{
    const PositionRule rule = worker_.protocol_.positions;
    const int shownPosition = rule == PositionRule::FromJob ? position : count_;
    // Without a main window, or once stop is set, the report is left out.
    bool sent = false;
    if (worker_.context_.mainWindow() != nullptr && !worker_.abortRequested_.load()) {
        if (takeShare()) {
            sent = send(shownPosition);
        } else {
            // Numbered like a report that was sent.
            held_ = shownPosition;
            sent = true;
        }
    }
    if (rule == PositionRule::Counted || (rule == PositionRule::CountedWhenSent && sent)) {
        ++count_;
    }
}

void WorkerThread::Progress::flush()
{
    if (held_) {
        send(*held_);
    }
}

bool WorkerThread::Progress::takeShare()
{
    const Clock::time_point now = Clock::now();
    if (lastShare_) {
        const double seconds = std::chrono::duration<double>(now - *lastShare_).count();
        shares_ = std::min<double>(kReportBurst, shares_ + seconds * kReportsPerSecond);
    }
    lastShare_ = now;
    if (shares_ < 1) {
        return false;
    }
    shares_ -= 1;
    return true;
}

bool WorkerThread::Progress::send(int position)
{
    held_.reset();
    return worker_.context_.sendFromWorker([position](MainWindow& window) { window.updateProgress(position, 1); },
                                           worker_.abortRequested_);
}

}  // namespace postloom
