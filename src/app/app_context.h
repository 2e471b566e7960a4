#pragma once

// What the parts of the desktop program share: the command dispatcher, the
// start-up marks and the main window. One object, made on the user-interface
// thread before anything else and passed to whoever needs it; it must
// outlive every worker.
//
// Calls into the main window are "sent" (the caller waits until the call
// has been handled) or "posted" (queued; the caller goes on). Every call
// runs on the user-interface thread. A worker's send is a queued call plus
// a wait that also ends when the worker is asked to stop: so an owner that
// stops a worker and then waits for its end never blocks against a progress
// report that the worker is waiting on.

#include "app/command_dispatcher.h"
#include "app/main_window.h"
#include "app/problem_log.h"
#include "core/platform/job_control.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace postloom {

// Taken from the command line at start-up ("auto", "exit"); the document and
// the view read them, the end of the first mail-page run clears both.
struct StartupMarks {
    std::int32_t autoRun = 0;
    std::int32_t exitAfterRun = 0;
};

using MainWindowCall = std::function<void(MainWindow&)>;

class AppContext final : public QObject {
public:
    explicit AppContext(QObject* parent = nullptr);
    ~AppContext() override;

    CommandDispatcher& commands() { return commands_; }
    StartupMarks& marks() { return marks_; }
    ProblemLog& problems() { return problems_; }

    // User-interface thread. The main window registers itself once it
    // exists and deregisters (nullptr) before it goes away.
    void setMainWindow(MainWindow* window);
    MainWindow* mainWindow() const { return window_.load(); }

    // User-interface thread: runs call at once when there is a main window.
    void sendToMainWindow(const MainWindowCall& call);
    // Any thread: runs call later on the user-interface thread, when there
    // is a main window then.
    void postToMainWindow(MainWindowCall call);

    // Worker threads. Sends call and waits until the user-interface thread
    // has handled it, or until stop is set (the owner then calls
    // wakeWorkers()). Left out, returning false, while there is no main
    // window or once stop is set.
    bool sendFromWorker(MainWindowCall call, const StopFlag& stop);
    // Waits until there is a main window (true) or stop is set (false).
    bool waitForMainWindow(const StopFlag& stop);
    // Lets every waiting worker look at its stop flag again.
    void wakeWorkers();

    // Workers waiting in waitForMainWindow() now.
    int workersWaitingForMainWindow() const;

private:
    class Receipt;

    CommandDispatcher commands_;
    StartupMarks marks_;
    ProblemLog problems_;
    std::atomic<MainWindow*> window_{nullptr};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;  // guarded by mutex_
};

}  // namespace postloom
