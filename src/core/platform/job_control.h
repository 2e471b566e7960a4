#pragma once

// What every long job of the core receives besides its inputs: a sink for
// its progress reports and a flag by which its owner asks it to stop.

#include <atomic>

namespace postloom {

class JobProgress {
public:
    virtual ~JobProgress() = default;
    // The progress range of the step (the reading job sets its own).
    virtual void SetRange(int lower, int upper) = 0;
    // One report. The receiver may wait until it is shown, or hold back
    // some of a long run's reports and show only the latest.
    virtual void Report(int position) = 0;
};

// A sink that drops every report.
class NoProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int) override {}
};

// Set by the owner, polled by the job between units of work.
using StopFlag = std::atomic<bool>;

}  // namespace postloom
