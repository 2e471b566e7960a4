#pragma once

#include "core/platform/job_control.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace postloom::test {

// Records every progress call; optionally sets a stop flag while the
// receiver handles report number stopAtReport (counted from 1), as an owner
// would between two reports.
class ProgressRecorder final : public JobProgress {
public:
    ProgressRecorder() = default;
    ProgressRecorder(StopFlag& stop, std::size_t stopAtReport) : stop_(&stop), stopAtReport_(stopAtReport) {}

    void SetRange(int lower, int upper) override { ranges.emplace_back(lower, upper); }
    void Report(int position) override
    {
        positions.push_back(position);
        if (stop_ != nullptr && positions.size() == stopAtReport_)
            *stop_ = true;
    }

    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;

private:
    StopFlag* stop_ = nullptr;
    std::size_t stopAtReport_ = 0;
};

// 0, 1, ..., count - 1.
inline std::vector<int> Positions(std::size_t count)
{
    std::vector<int> positions(count);
    for (std::size_t i = 0; i < count; ++i)
        positions[i] = static_cast<int>(i);
    return positions;
}

}  // namespace postloom::test
