#pragma once

#include "cli/batch_pipeline.h"

#include <cstdio>

namespace postloom::batch {

// One progress bar per stage, redrawn in place on a terminal. Redraws are
// limited to visible changes, so a stage of 65,535 steps costs a few
// hundred writes, not 65,535.
class TerminalProgress final : public StageProgress, private JobProgress {
public:
    explicit TerminalProgress(std::FILE* out) : out_(out) {}

    JobProgress& Begin(Stage stage) override;
    void End(Stage stage) override;

private:
    void SetRange(int lower, int upper) override;
    void Report(int position) override;
    void Draw(int position, bool force);

    std::FILE* out_;
    Stage stage_ = Stage::Load;
    int lower_ = 0;
    int upper_ = 0;
    int drawnPermille_ = -1;
};

// A display that shows nothing (not a terminal, or --quiet).
class SilentProgress final : public StageProgress {
public:
    JobProgress& Begin(Stage) override { return none_; }
    void End(Stage) override {}

private:
    NoProgress none_;
};

}  // namespace postloom::batch
