#include "cli/terminal_progress.h"

#include <algorithm>

namespace postloom::batch {

namespace {
constexpr int kBarWidth = 30;
}

JobProgress& TerminalProgress::Begin(Stage stage)
{
    stage_ = stage;
    lower_ = upper_ = 0;
    drawnPermille_ = -1;
    Draw(0, true);
    return *this;
}

void TerminalProgress::End(Stage)
{
    Draw(upper_, true);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void TerminalProgress::SetRange(int lower, int upper)
{
    lower_ = lower;
    upper_ = std::max(lower, upper);
    Draw(lower_, true);
}

void TerminalProgress::Report(int position)
{
    Draw(position, false);
}

void TerminalProgress::Draw(int position, bool force)
{
    const long long span = static_cast<long long>(upper_) - lower_;
    const int permille =
        span <= 0 ? (force ? 1000 : 0)
                  : static_cast<int>(std::clamp((static_cast<long long>(position) - lower_ + 1) * 1000 / span, 0LL, 1000LL));
    if (!force && permille == drawnPermille_)
        return;
    drawnPermille_ = permille;
    const int filled = permille * kBarWidth / 1000;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(out_, "\r%-20s [%s] %3d%%", StageName(stage_), bar, permille / 10);
    std::fflush(out_);
}

}  // namespace postloom::batch
