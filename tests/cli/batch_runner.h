#pragma once

// Running postloom-batch as a user in a shell would, for the tests that
// check what it prints and returns.

#include <filesystem>
#include <string>

namespace postloom::test {

struct RunOutput {
    int status = -1;
    std::string err;
};

// Runs postloom-batch with args (as a shell would split them) in folder cwd.
RunOutput RunBatchTool(const std::filesystem::path& cwd, const std::string& args);

}  // namespace postloom::test
