#include "core/html/graphics_copy.h"

#include "core/html/index_page_writer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class RecordingProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

// Binary content: line ends and the text-mode end mark must survive.
const std::string kImage("GIF89a\r\n\x1a\n\0\xff", 12);

// Graphics in "gif" below a temporary project folder, the index page in
// "web"; every settings path relative to the project folder.
class GraphicsCopyTest : public ::testing::Test {
protected:
    GraphicsCopyTest()
    {
        settings.Reset();
        settings.IndexPath = "web/index.html";
        fs::create_directories(dir.path() / "gif");
        fs::create_directories(dir.path() / "web");
        const std::vector<std::pair<std::string*, std::string>> trees{
            {&settings.FirstTree, "First.gif"}, {&settings.ContTree, "Cont.gif"}, {&settings.LastTree, "Last.gif"},
            {&settings.NextTree, "Next.gif"},   {&settings.NullTree, "Null.gif"}};
        for (const auto& [setting, name] : trees) {
            *setting = "gif/" + name;
            WriteFile(dir.File("gif/" + name), kImage + name);
        }
        WriteFile(dir.File("gif/Back.gif"), kImage + "back");
    }

    GraphicsCopyResult Run() { return CopyGraphics(settings, dir.path().string(), progress); }
    bool Exists(const std::string& name) const { return fs::exists(dir.File(name)); }

    TempDir dir;
    ProjectSettings settings;
    RecordingProgress progress;
};

TEST_F(GraphicsCopyTest, NothingSwitchedOnCopiesNothingAndReportsNothing)
{
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 0);
    EXPECT_TRUE(result.copiesFailed.empty());
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_TRUE(fs::is_empty(dir.path() / "web"));
}

TEST_F(GraphicsCopyTest, TreeGraphicsGoBesideTheIndexByteForByte)
{
    settings.DrawGraphic = 1;
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 5);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3, 4}));
    for (const char* name : {"First.gif", "Cont.gif", "Last.gif", "Next.gif", "Null.gif"})
        EXPECT_EQ(ReadFile(dir.File(std::string("web/") + name)), kImage + name) << name;
}

TEST_F(GraphicsCopyTest, ToLowerNamesTreeGraphicCopiesButNotBackgrounds)
{
    settings.DrawGraphic = 1;
    settings.ToLower = 1;
    settings.IndexBackGround = 1;
    settings.IndexBackGroundFile = "gif/Back.gif";
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 6);
    EXPECT_EQ(ReadFile(dir.File("web/first.gif")), kImage + "First.gif");
    EXPECT_FALSE(Exists("web/First.gif"));
    EXPECT_TRUE(Exists("web/Back.gif"));
}

TEST_F(GraphicsCopyTest, BackgroundsGoToTheirPagesFoldersWithoutTreeGraphics)
{
    settings.MailPath = "mail";
    fs::create_directories(dir.path() / "web/mail");
    settings.IndexBackGround = 1;
    settings.IndexBackGroundFile = "gif/Back.gif";
    settings.MailBackGround = 1;
    settings.MailBackGroundFile = dir.File("gif/Back.gif");
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 2);
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(ReadFile(dir.File("web/Back.gif")), kImage + "back");
    EXPECT_EQ(ReadFile(dir.File("web/mail/Back.gif")), kImage + "back");
}

TEST_F(GraphicsCopyTest, TheModernStyleTakesOnlyTheBackgrounds)
{
    // Its index draws the tree with the stylesheet.
    settings.PageStyle = 1;
    settings.DrawGraphic = 1;
    settings.IndexBackGround = 1;
    settings.IndexBackGroundFile = "gif/Back.gif";
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 1);
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_TRUE(Exists("web/Back.gif"));
    EXPECT_FALSE(Exists("web/First.gif"));
}

TEST_F(GraphicsCopyTest, ImageFoldersTakeTheCopies)
{
    settings.DrawGraphic = 1;
    settings.IndexImagePath = "web/img";
    settings.MailImagePath = "pics";
    settings.MailBackGround = 1;
    settings.MailBackGroundFile = "gif/Back.gif";
    fs::create_directories(dir.path() / "web/img");
    fs::create_directories(dir.path() / "pics");
    EXPECT_EQ(Run().copiesDone, 6);
    EXPECT_TRUE(Exists("web/img/Null.gif"));
    EXPECT_TRUE(Exists("pics/Back.gif"));
}

TEST_F(GraphicsCopyTest, CopyOntoItselfLeavesTheFileIntact)
{
    settings.DrawGraphic = 1;
    settings.IndexImagePath = "gif";
    fs::create_hard_link(dir.path() / "gif/Back.gif", dir.path() / "web/Back.gif");
    settings.IndexBackGround = 1;
    settings.IndexBackGroundFile = "web/Back.gif";  // the same file under another name
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 0);
    EXPECT_EQ(result.copiesOntoThemselves.size(), 6u);
    EXPECT_TRUE(result.copiesFailed.empty());
    EXPECT_EQ(ReadFile(dir.File("gif/First.gif")), kImage + "First.gif");
    EXPECT_EQ(ReadFile(dir.File("gif/Back.gif")), kImage + "back");
}

TEST_F(GraphicsCopyTest, SourceOrFolderThatFailsLeavesOnlyThatCopyOut)
{
    settings.DrawGraphic = 1;
    settings.LastTree = "gif/missing.gif";
    settings.NullTree = "";
    settings.MailBackGround = 1;
    settings.MailBackGroundFile = "gif/Back.gif";
    settings.MailPath = "no-such-folder";
    const GraphicsCopyResult result = Run();
    EXPECT_EQ(result.copiesDone, 3);
    // A source that cannot be read is named with the reason; a copy that
    // cannot be made is named by where it would go.
    const std::vector<platform::FileProblem> failed{
        {dir.File("gif/missing.gif"), "No such file or directory"},
        {dir.path().string(), "is a folder or a special file"},
        {dir.File("web/no-such-folder/Back.gif"), "No such file or directory"}};
    EXPECT_EQ(result.copiesFailed, failed);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(GraphicsCopyTest, IndexBackgroundReferenceFindsTheCopy)
{
    settings.IndexBackGround = 1;
    settings.IndexBackGroundFile = "gif/Back.gif";
    settings.IndexImagePath = "img";
    fs::create_directories(dir.path() / "img");
    EXPECT_EQ(Run().copiesDone, 1);
    ThreadTree tree;
    NoProgress none;
    ASSERT_TRUE(WriteIndexPage(settings, dir.path().string(), tree, none).written);
    const std::string page = ReadFile(dir.File("web/index.html"));
    const std::size_t begin = page.find("BACKGROUND=\"") + 12;
    const std::string url = page.substr(begin, page.find('"', begin) - begin);
    EXPECT_EQ(url, "../img/./Back.gif");
    EXPECT_TRUE(fs::exists(dir.path() / "web" / url));
}

}  // namespace
}  // namespace postloom
