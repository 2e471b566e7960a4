// Kills postloom-batch with SIGKILL at random moments while it writes the
// pages and while it saves the project, and checks what is left on disk:
// every file a run replaces holds either its old bytes or its new ones, never
// a cut or empty file, and the next complete run ends in the new state.

#include "corpus_generator.h"

#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace postloom::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Enough mails that a run lasts long enough to be hit in the middle of its
// pages, few enough that the whole test stays within a minute in a debug
// build with sanitizers. Every fifth mail of the archive is new: old mails
// gain new neighbours, parents and replies, so the index, the project and
// many old pages change.
constexpr std::size_t kMails = 1000;
constexpr std::size_t kNewEvery = 5;
constexpr std::size_t kOldMails = kMails - kMails / kNewEvery;
constexpr int kKillsWanted = 20;
constexpr int kMostAttempts = 60;
constexpr std::uint32_t kSeed = 4111;

constexpr const char* kProjectName = "kill.plp";

// Relative path -> bytes of the files a run writes: the project and every
// file under site, temporary (hidden) files aside.
using Files = std::map<std::string, std::string>;

bool Hidden(const fs::path& path)
{
    return path.filename().string().starts_with('.');
}

Files OutputFiles(const fs::path& folder)
{
    Files files;
    if (fs::exists(folder / kProjectName))
        files[kProjectName] = ReadFile((folder / kProjectName).string());
    for (const auto& entry : fs::recursive_directory_iterator(folder / "site")) {
        if (!Hidden(entry.path()) && !entry.is_directory())
            files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
    }
    return files;
}

std::size_t TemporaryFiles(const fs::path& folder)
{
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        count += Hidden(entry.path()) ? 1 : 0;
    return count;
}

bool SaveUnderway(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find("postloom-save") != std::string::npos)
            return true;
    }
    return false;
}

// One postloom-batch process; a process still running when the object goes
// away is killed and reaped.
class BatchProcess {
public:
    explicit BatchProcess(const fs::path& projectFile)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string exe = POSTLOOM_BATCH_EXE;
        std::string quiet = "--quiet";
        std::string project = projectFile.string();
        std::array<char*, 4> argv = {exe.data(), quiet.data(), project.data(), nullptr};
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BatchProcess()
    {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    BatchProcess(const BatchProcess&) = delete;
    BatchProcess& operator=(const BatchProcess&) = delete;

    bool started() const { return pid_ > 0; }

    bool Running()
    {
        if (ended_)
            return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_)
            return true;
        ended_ = true;
        status_ = status;
        return false;
    }

    // True when SIGKILL ended the process; false when it had finished first.
    bool Kill()
    {
        if (!Running())
            return false;
        ::kill(pid_, SIGKILL);
        const int status = Wait();
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    // The raw wait status.
    int Wait()
    {
        if (!ended_) {
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            ended_ = true;
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

int RunToEnd(const fs::path& projectFile)
{
    BatchProcess process(projectFile);
    if (!process.started())
        return -1;
    const int status = process.Wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Names of the files that differ between two states, with a word on how.
std::vector<std::string> Differences(const Files& actual, const Files& expected)
{
    std::vector<std::string> out;
    for (const auto& [name, bytes] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end())
            out.push_back(name + " missing");
        else if (found->second != bytes)
            out.push_back(name + " differs (" + std::to_string(found->second.size()) + " bytes, expected " +
                          std::to_string(bytes.size()) + ")");
    }
    for (const auto& [name, bytes] : actual) {
        if (!expected.count(name))
            out.push_back(name + " should not be there");
    }
    return out;
}

// Every file left by a killed run is whole: the old bytes or the new ones.
// A file that the old state lacks may be absent; one it has may not.
std::vector<std::string> CutOrLostFiles(const Files& left, const Files& oldFiles, const Files& newFiles)
{
    std::vector<std::string> out;
    for (const auto& [name, bytes] : left) {
        const auto before = oldFiles.find(name);
        const auto after = newFiles.find(name);
        if (before == oldFiles.end() && after == newFiles.end())
            out.push_back(name + " belongs to neither state");
        else if ((before == oldFiles.end() || bytes != before->second) &&
                 (after == newFiles.end() || bytes != after->second))
            out.push_back(name + " is neither old nor new (" + std::to_string(bytes.size()) + " bytes)");
    }
    for (const auto& [name, bytes] : oldFiles) {
        if (!left.count(name))
            out.push_back(name + " was lost");
    }
    return out;
}

std::string Listed(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < 8; ++i)
        text += "\n  " + lines[i];
    if (lines.size() > 8)
        text += "\n  ... " + std::to_string(lines.size() - 8) + " more";
    return text;
}

// What a killed run left: every page, the index and the project whole, and
// a project that loads.
void ExpectOldOrNew(const fs::path& folder, const Files& left, const Files& oldFiles, const Files& newFiles)
{
    ASSERT_TRUE(left.count(kProjectName)) << "the project file is gone";
    const std::vector<std::string> damaged = CutOrLostFiles(left, oldFiles, newFiles);
    EXPECT_TRUE(damaged.empty()) << damaged.size() << " files damaged:" << Listed(damaged);
    ProjectSettings settings;
    settings.Reset();
    const LoadResult loaded = LoadProject(settings, (folder / kProjectName).string());
    EXPECT_TRUE(loaded.opened && loaded.looksLikeProject && !loaded.mailBlockDamaged);
    EXPECT_TRUE(loaded.mailsRead == kOldMails || loaded.mailsRead == kMails) << loaded.mailsRead;
}

// How far the killed run had come, judged by what it had changed.
enum class Reached { Nothing, Pages, Save, Saved };

Reached JudgeReached(const Files& left, const Files& oldFiles, const Files& newFiles)
{
    if (left.at(kProjectName) == newFiles.at(kProjectName))
        return Reached::Saved;
    bool anyNew = false;
    bool allNew = true;
    for (const auto& [name, bytes] : newFiles) {
        if (name == kProjectName)
            continue;
        const auto found = left.find(name);
        const bool isNew = found != left.end() && found->second == bytes;
        const auto before = oldFiles.find(name);
        const bool changes = before == oldFiles.end() || before->second != bytes;
        anyNew = anyNew || (isNew && changes);
        allNew = allNew && isNew;
    }
    if (allNew)
        return Reached::Save;
    return anyNew ? Reached::Pages : Reached::Nothing;
}

// Turns the output of folder from the state current into target: writes
// the files that differ, removes the ones target lacks and every temporary
// file. The mail folder stays as it is.
void PutBack(const fs::path& folder, const Files& current, const Files& target)
{
    std::vector<fs::path> temporary;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (Hidden(entry.path()))
            temporary.push_back(entry.path());
    }
    for (const fs::path& path : temporary)
        fs::remove_all(path);
    for (const auto& [name, bytes] : current) {
        if (!target.count(name))
            fs::remove(folder / name);
    }
    for (const auto& [name, bytes] : target) {
        const auto found = current.find(name);
        if (found == current.end() || found->second != bytes)
            WriteFile((folder / name).string(), bytes);
    }
}

TEST(KillRecoveryTest, KilledRunsLeaveOldOrNewFilesAndTheNextRunCompletesTheNewState)
{
    std::cout << "kill test seed: " << kSeed << std::endl;
    std::mt19937 random(kSeed);

    TempDir dir;
    const fs::path old = dir.path() / "old";
    const fs::path work = dir.path() / "work";
    const std::vector<bench::CorpusMail> mails = bench::GenerateCorpus({.mailCount = kMails, .seed = kSeed});
    std::vector<bench::CorpusMail> oldMails;
    for (std::size_t k = 0; k < mails.size(); ++k) {
        if (k % kNewEvery != kNewEvery - 1)
            oldMails.push_back(mails[k]);
    }

    // The old state: a complete run over the old mails.
    ASSERT_TRUE(bench::WriteCorpus((old / "mail").string(), oldMails));
    ASSERT_TRUE(bench::WriteCorpusProject((old / kProjectName).string()).ok);
    ASSERT_EQ(RunToEnd(old / kProjectName), 0);
    const Files oldFiles = OutputFiles(old);

    // The new state: the old one with the new mails added, run to the end.
    // Its duration sets the range of the kill delays.
    ASSERT_TRUE(bench::WriteCorpus((work / "mail").string(), mails));
    fs::copy_file(old / kProjectName, work / kProjectName);
    fs::copy(old / "site", work / "site", fs::copy_options::recursive);
    const auto start = Clock::now();
    ASSERT_EQ(RunToEnd(work / kProjectName), 0);
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    const Files newFiles = OutputFiles(work);

    std::size_t pagesChanged = 0;
    for (const auto& [name, bytes] : oldFiles)
        pagesChanged += newFiles.at(name) != bytes ? 1 : 0;
    std::cout << "complete run: " << runTime.count() / 1000 << " ms; " << pagesChanged << " of " << oldFiles.size()
              << " old files change, " << newFiles.size() - oldFiles.size() << " are new" << std::endl;
    ASSERT_NE(newFiles.at(kProjectName), oldFiles.at(kProjectName));
    ASSERT_NE(newFiles.at("site/index.html"), oldFiles.at("site/index.html"));
    ASSERT_GT(pagesChanged, 10u);

    std::map<Reached, int> reached;
    int kills = 0;
    int attempts = 0;
    Files current = newFiles;
    while (attempts < kMostAttempts && kills < kKillsWanted) {
        ++attempts;
        PutBack(work, current, oldFiles);
        // Every third run is killed in its save: soon after the temporary
        // project file appears. The others at any moment of the run.
        const bool aimAtSave = attempts % 3 == 2;
        const auto delay = std::chrono::microseconds(std::uniform_int_distribution<std::int64_t>(
            0, aimAtSave ? 1000 : runTime.count())(random));
        SCOPED_TRACE("attempt " + std::to_string(attempts) + (aimAtSave ? ", in the save" : "") + ", delay " +
                     std::to_string(delay.count()) + " us");

        BatchProcess process(work / kProjectName);
        ASSERT_TRUE(process.started());
        if (aimAtSave) {
            while (process.Running() && !SaveUnderway(work))
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        std::this_thread::sleep_for(delay);
        const bool killed = process.Kill();
        current = OutputFiles(work);
        if (!killed)
            continue;  // it finished first
        ++kills;

        ExpectOldOrNew(work, current, oldFiles, newFiles);
        if (HasFatalFailure())
            break;
        ++reached[JudgeReached(current, oldFiles, newFiles)];

        EXPECT_EQ(RunToEnd(work / kProjectName), 0);
        current = OutputFiles(work);
        const std::vector<std::string> differences = Differences(current, newFiles);
        EXPECT_TRUE(differences.empty()) << "after the next complete run:" << Listed(differences);
        if (HasFailure())
            break;
    }
    std::cout << kills << " kills in " << attempts << " runs: " << reached[Reached::Nothing]
              << " before the index, " << reached[Reached::Pages] << " while writing the index and pages, "
              << reached[Reached::Save] << " after the pages but before the project was replaced, "
              << reached[Reached::Saved] << " after it was replaced; " << TemporaryFiles(work)
              << " temporary files left in the folder" << std::endl;
    if (HasFailure())
        return;
    EXPECT_GE(kills, kKillsWanted);
    EXPECT_GT(reached[Reached::Pages], 0);
    EXPECT_GT(reached[Reached::Save] + reached[Reached::Saved], 0);
}

}  // namespace
}  // namespace postloom::test
