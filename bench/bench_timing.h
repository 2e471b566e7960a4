#pragma once

// Timing helpers the benchmarks share: wall-clock and processor time of a
// step, medians of paired runs, and the `cp` floor.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace postloom::bench {

using Clock = std::chrono::steady_clock;

struct Timing {
    double wall = 0;
    double processor = 0;
};

inline double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time (user + system) of this process's threads, or of its
// finished children, in milliseconds: steadier than wall-clock time on a
// machine that is busy with other work.
inline double ProcessorMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// `cp -r from to`, timed as a child process.
inline Timing TimeCopy(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const std::string command = "cp -r '" + from.string() + "' '" + to.string() + "'";
    const double cpuBefore = ProcessorMilliseconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "cp failed\n");
    return {MillisecondsSince(start), ProcessorMilliseconds(RUSAGE_CHILDREN) - cpuBefore};
}

}  // namespace postloom::bench
