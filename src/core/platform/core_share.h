#pragma once

// Work on many independent items, shared among the cores in a few long
// runs: handing items out one by one would cost more than most of them.

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace postloom::platform {

// The cores of the machine, at least one.
inline unsigned CoreCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

// Calls run(begin, end) over consecutive ranges that together cover
// [0, count), at most one range per core (one for none) and none shorter than about
// minimumRun items; the calling thread takes the first range. run must be
// safe to call from several threads at once on different ranges.
template <typename Run>
void ShareAmongCores(std::size_t count, unsigned cores, Run run, std::size_t minimumRun = 1024)
{
    const std::size_t runs = std::max<std::size_t>(1, std::min<std::size_t>(cores, count / minimumRun));
    const std::size_t perRun = (count + runs - 1) / runs;
    std::vector<std::jthread> helpers;
    for (std::size_t r = 1; r < runs; ++r)
        helpers.emplace_back(run, r * perRun, std::min(count, (r + 1) * perRun));
    run(0, std::min(count, perRun));
}

}  // namespace postloom::platform
