#include "app/app_context.h"

#include <QCoreApplication>
#include <QThread>

#include <memory>
#include <utility>

namespace postloom {

// Travels with a worker's queued call and marks the send as handled when
// the last copy of the call goes away: after it ran, or when Qt discarded it
// undelivered. So a worker never waits for a call that will not come.
class AppContext::Receipt {
public:
    Receipt(AppContext& context, std::shared_ptr<bool> handled) : context_(context), handled_(std::move(handled)) {}
    Receipt(const Receipt&) = delete;
    Receipt& operator=(const Receipt&) = delete;
    ~Receipt()
    {
        {
            const std::lock_guard lock(context_.mutex_);
            *handled_ = true;
        }
        context_.changed_.notify_all();
    }

private:
    AppContext& context_;
    std::shared_ptr<bool> handled_;
};

AppContext::AppContext(QObject* parent) : QObject(parent) {}

AppContext::~AppContext()
{
    // Discard the queued calls while the mutex that their receipts use
    // still exists (QObject would discard them only after it is gone).
    QCoreApplication::removePostedEvents(this);
}

void AppContext::setMainWindow(MainWindow* window)
{
    {
        const std::lock_guard lock(mutex_);
        window_.store(window);
    }
    changed_.notify_all();
}

void AppContext::sendToMainWindow(const MainWindowCall& call)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (MainWindow* const window = window_.load()) {
        call(*window);
    }
}

void AppContext::postToMainWindow(MainWindowCall call)
{
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (MainWindow* const window = window_.load()) {
                call(*window);
            }
        },
        Qt::QueuedConnection);
}

bool AppContext::sendFromWorker(MainWindowCall call, const StopFlag& stop)
{
    Q_ASSERT(QThread::currentThread() != thread());
    if (stop.load() || window_.load() == nullptr) {
        return false;
    }
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call), receipt = std::make_shared<Receipt>(*this, handled)] {
            if (MainWindow* const window = window_.load()) {
                call(*window);
            }
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return *handled || stop.load(); });
    return true;
}

bool AppContext::waitForMainWindow(const StopFlag& stop)
{
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.wait(lock, [&] { return window_.load() != nullptr || stop.load(); });
    --waiting_;
    return !stop.load();
}

void AppContext::wakeWorkers()
{
    {
        // Taking the mutex orders the caller's stop flag before the waiters'
        // next look at it, so no wake-up is lost.
        const std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

int AppContext::workersWaitingForMainWindow() const
{
    const std::lock_guard lock(mutex_);
    return waiting_;
}

}  // namespace postloom
