#include "batch_runner.h"

#include "support/test_support.h"

#include <sys/wait.h>

#include <cstdlib>

namespace postloom::test {

RunOutput RunBatchTool(const std::filesystem::path& cwd, const std::string& args)
{
    const std::filesystem::path errFile = cwd / "stderr.txt";
    const std::string command =
        "cd '" + cwd.string() + "' && '" POSTLOOM_BATCH_EXE "' " + args + " 2> '" + errFile.string() + "' > /dev/null";
    const int raw = std::system(command.c_str());
    RunOutput out;
    out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    out.err = ReadFile(errFile.string());
    std::filesystem::remove(errFile);
    return out;
}

}  // namespace postloom::test
