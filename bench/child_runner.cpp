// Runs one program for a benchmark and prints its wall-clock time, processor
// time, peak resident memory and how it ended on one line (RunChild reads
// it). The benchmarks hold large archives in memory, and a child they
// started directly would report at least their own peak memory: the kernel
// counts what the child held before its exec. Started from this small
// process, the peak is the program's own.
//
//   postloom_bench_child_runner PROGRAM [ARGUMENT...]

#include "bench_timing.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("Usage: postloom_bench_child_runner PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    const std::vector<std::string> program(argv + 1, argv + argc);
    std::fputs(postloom::bench::FormatChildRun(postloom::bench::SpawnAndWait(program)).c_str(), stdout);
    return 0;
}
