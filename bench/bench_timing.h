#pragma once

// Timing helpers the benchmarks share: wall-clock and processor time of a
// step, medians of paired runs, child processes with their peak memory, and
// the `cp` floor.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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

inline double Milliseconds(const timeval& time)
{
    return time.tv_sec * 1000.0 + time.tv_usec / 1000.0;
}

// Processor time (user + system) of this process's threads, or of its
// finished children, in milliseconds: steadier than wall-clock time on a
// machine that is busy with other work.
inline double ProcessorMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ChildRun {
    Timing timing;
    double peakKb = 0;    // peak resident memory of the child
    std::string failure;  // why it did not exit with status 0; empty when it did
    bool ok() const { return failure.empty(); }
};

// Starts a program (looked up on PATH when argv[0] holds no slash) with
// stdin and stderr on /dev/null and stdout on stdoutFd, or on /dev/null
// when that is -1. Returns its process id, or -1 with error set.
inline pid_t Spawn(std::vector<std::string> argv, int stdoutFd, std::string& error)
{
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (stdoutFd == -1)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawnError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError == 0)
        return pid;
    error = argv[0] + std::string(" cannot be started: ") + std::strerror(spawnError);
    return -1;
}

// Runs a program with its output thrown away and waits for it; the figures
// come from wait4. The child's peak memory counts from the peak of the
// calling process (the kernel carries over the memory the child held before
// its exec), so only a small process should call this: the child runner.
inline ChildRun SpawnAndWait(const std::vector<std::string>& argv)
{
    ChildRun run;
    const auto start = Clock::now();
    const pid_t pid = Spawn(argv, -1, run.failure);
    if (pid == -1)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        run.failure = std::string("cannot wait for the child: ") + std::strerror(errno);
        return run;
    }
    run.timing = {MillisecondsSince(start), Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime)};
    run.peakKb = static_cast<double>(usage.ru_maxrss);
    if (WIFSIGNALED(status))
        run.failure = "ended by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        run.failure = "exit status " + std::to_string(WEXITSTATUS(status));
    return run;
}

// The child runner's report: "wall processor peakKb failure", one line.
inline std::string FormatChildRun(const ChildRun& run)
{
    char figures[100];
    std::snprintf(figures, sizeof figures, "%.3f %.3f %.0f ", run.timing.wall, run.timing.processor, run.peakKb);
    return figures + run.failure + "\n";
}

inline ChildRun ParseChildRun(const std::string& report)
{
    ChildRun run;
    int consumed = 0;
    if (std::sscanf(report.c_str(), "%lf %lf %lf %n", &run.timing.wall, &run.timing.processor, &run.peakKb,
                    &consumed) != 3 || report.empty() || report.back() != '\n') {
        run.failure = "the child runner gave no figures";
        return run;
    }
    run.failure = report.substr(static_cast<std::size_t>(consumed), report.size() - consumed - 1);
    return run;
}

// Runs a program through postloom_bench_child_runner, which sits beside the
// benchmark, so that the figures are the program's own.
inline ChildRun RunChild(const std::vector<std::string>& argv)
{
    std::vector<std::string> runnerArgv = {
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "postloom_bench_child_runner").string()};
    runnerArgv.insert(runnerArgv.end(), argv.begin(), argv.end());
    ChildRun failed;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        failed.failure = std::string("no pipe for the child runner: ") + std::strerror(errno);
        return failed;
    }
    const pid_t pid = Spawn(runnerArgv, pipeFds[1], failed.failure);
    close(pipeFds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; pid != -1 && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    if (pid == -1)
        return failed;
    waitpid(pid, nullptr, 0);
    return ParseChildRun(report);
}

// `cp -r from to`, timed as a child process.
inline Timing TimeCopy(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const ChildRun run = RunChild({"cp", "-r", from.string(), to.string()});
    if (!run.ok())
        std::fprintf(stderr, "cp -r %s %s: %s\n", from.c_str(), to.c_str(), run.failure.c_str());
    return run.timing;
}

}  // namespace postloom::bench
