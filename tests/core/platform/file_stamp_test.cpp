#include "core/platform/file_stamp.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace postloom::platform;
using postloom::test::Sjis;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

// The stamps looked up from an open folder must be exactly those of the
// full path, whatever stands at the name.
TEST(FolderStampsTest, AnswerAsTheFullPathDoes)
{
    TempDir dir;
    const std::string folder = dir.path().string();
    std::filesystem::create_directory(dir.path() / "a_files");
    std::filesystem::create_directory(dir.path() / "sub");
    WriteFile(dir.File("a.html"), "page");
    WriteFile(dir.File("a_files/x.txt"), "attachment");
    WriteFile(dir.File("run.html"), "made executable");
    ::chmod(dir.File("run.html").c_str(), 0755);
    WriteFile((dir.path() / "表示.alm").string(), "converted name");
    // A name whose bytes on disk are CP932, as unpacked from a Windows archive.
    WriteFile(dir.path().string() + "/" + Sjis("生.alm"), "raw name");
    std::filesystem::create_symlink(dir.path() / "a.html", dir.path() / "link.html");

    const FolderStamps stamps(folder);
    const std::vector<std::string> names = {"a.html",    "a_files/x.txt", "run.html", Sjis("表示.alm"),
                                            Sjis("生.alm"), "link.html",     "sub",      "missing",
                                            "a_files/missing", std::string("nul\0.html", 9)};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(stamps.Input(name), InputStamp(folder + "/" + name));
        EXPECT_EQ(stamps.Output(name), OutputStamp(folder + "/" + name));
    }
    EXPECT_TRUE(stamps.Input(Sjis("生.alm")).has_value());
    EXPECT_TRUE(stamps.Input("link.html").has_value());
    EXPECT_FALSE(stamps.Output("link.html").has_value());
    EXPECT_FALSE(stamps.Output("run.html").has_value());
    EXPECT_EQ(stamps.Output("a_files/x.txt")->size, 10u);
}

TEST(FolderStampsTest, AFolderThatIsNotThereHasNoFiles)
{
    TempDir dir;
    const FolderStamps stamps(dir.File("missing"));
    EXPECT_FALSE(stamps.Input("a.alm").has_value());
    EXPECT_FALSE(stamps.Output("a.html").has_value());
}

}  // namespace
