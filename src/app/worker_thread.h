#pragma once

// What the six workers have in common. A worker object stands for one run
// of one core job on a thread of its own: its owner creates it on the
// user-interface thread with its inputs, starts it, keeps it in a
// std::unique_ptr, and destroys it when the worker's completion notice
// arrives. The run: the job (the start step), then the exit step, which
// posts the completion notice through the dispatcher, then isFinished().
//
// Progress reports are sent to the main window (the worker waits until the
// user-interface thread has handled each one); the completion notice is
// posted. A stop request is a flag the job polls between units of work.
//
// A job may report tens of thousands of times, and each report sent costs
// two thread switches and a pass of the user-interface thread's event loop:
// more than the unit of work it reports. So reports are sent in a burst of
// kReportBurst, then at most kReportsPerSecond a second; the reports in
// between are held back, numbered as if they had been sent. The last one
// held back is sent when the job ends, before the completion notice, so the
// display reaches the end. Every position shown is one the job reported, in
// the job's order; a job with few reports has every one of them sent.
//
// Shutting down: destroying a worker asks it to stop and waits for its
// thread to end. That wait never deadlocks: once stop is requested, the
// worker's reports are left out, a report it is already waiting on is given
// up, and a wait for the main window ends. A job without a stop test (the
// graphics copy, the index page) still runs to its end; its data stay alive
// meanwhile because its owner is still in the destructor.

#include "core/platform/job_control.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace postloom {

class AppContext;

class WorkerThread {
public:
    static constexpr int kReportBurst = 30;
    static constexpr int kReportsPerSecond = 30;

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();

    // Starts the thread; once only.
    void start();
    // Asks the worker to stop at its next test and returns at once.
    void requestStop();
    bool stopRequested() const { return abortRequested_.load(); }
    // The exit step has ended; the thread ends right after.
    bool isFinished() const { return finished_.load(); }

protected:
    enum class NoticeRule {
        // Posted at the end of every run, also after a stop.
        Always,
        // None after a stop; otherwise posted once a main window exists
        // (these workers may run during start-up, before it does).
        UnlessStoppedOnceMainWindowExists,
    };
    enum class PositionRule {
        // The position the job reports.
        FromJob,
        // 0, 1, 2, ...: one more after every report.
        Counted,
        // 0, 1, 2, ...: one more after every report made while there is a
        // main window, sent or held back (reports are left out while there
        // is none).
        CountedWhenSent,
    };
    struct Protocol {
        const char* name;  // of the thread, for debuggers
        int noticeId;
        NoticeRule notice;
        PositionRule positions;
        // The job's SetRange() is sent as ID_DISP_PROGRESS; otherwise the
        // range is set on the user-interface thread before the start.
        bool rangeFromJob = false;
    };

    WorkerThread(AppContext& context, const Protocol& protocol);

    // The job, on the worker's thread.
    virtual void work() = 0;

    JobProgress& progress() { return progress_; }
    const StopFlag& stopFlag() const { return abortRequested_; }

    // Asks the worker to stop and waits for the thread's end. Every derived
    // destructor calls it first, so the thread has ended before the members
    // it uses go away.
    void shutDown();

private:
    // Used on the worker's thread only.
    class Progress final : public JobProgress {
    public:
        explicit Progress(WorkerThread& worker) : worker_(worker) {}
        void SetRange(int lower, int upper) override;
        void Report(int position) override;
        // Sends the report held back last, if any.
        void flush();

    private:
        using Clock = std::chrono::steady_clock;

        // Whether the rate allows one more report now; takes its share if so.
        bool takeShare();
        bool send(int position);

        WorkerThread& worker_;
        int count_ = 0;
        // Reports that may be sent at once: up to kReportBurst, growing by
        // kReportsPerSecond a second.
        double shares_ = kReportBurst;
        std::optional<Clock::time_point> lastShare_;
        // The position of the last report held back and not sent yet.
        std::optional<int> held_;
    };

    void run();

    AppContext& context_;
    const Protocol protocol_;
    StopFlag abortRequested_{false};
    std::atomic<bool> finished_{false};
    Progress progress_{*this};
    std::unique_ptr<QThread> thread_;
};

}  // namespace postloom
