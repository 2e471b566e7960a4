#include "core/platform/files.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

using namespace postloom::platform;
using postloom::test::ReadFile;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

std::vector<std::string> Lines(const std::string& path)
{
    auto reader = TextReader::Open(path);
    EXPECT_TRUE(reader.has_value());
    std::vector<std::string> lines;
    std::string line;
    while (reader && reader->ReadLine(line))
        lines.push_back(line);
    return lines;
}

TEST(TextReaderTest, CrLfIsOneLineEndAndALoneCrStaysInTheLine)
{
    TempDir dir;
    WriteFile(dir.File("m"), "a\r\nb\rc\n\r\nlast");
    EXPECT_EQ(Lines(dir.File("m")), (std::vector<std::string>{"a", "b\rc", "", "last"}));
}

TEST(TextReaderTest, ByteOneAEndsTheFile)
{
    TempDir dir;
    WriteFile(dir.File("m"), "one\r\ntw\x1Ao\r\nthree\r\n");
    EXPECT_EQ(Lines(dir.File("m")), (std::vector<std::string>{"one", "tw"}));
}

TEST(TextReaderTest, LinesHaveNoLengthLimitAndCrossBufferBoundaries)
{
    TempDir dir;
    std::string longLine(200'000, 'x');
    longLine[65535] = '\r';  // a lone CR at a buffer boundary
    std::string content = longLine + "\r\n";
    // A CR LF pair split across the 64 KiB read buffer.
    std::string second(65536 * 2 - content.size() % 65536 - 1, 'y');
    content += second + "\r\nz";
    WriteFile(dir.File("m"), content);
    const auto lines = Lines(dir.File("m"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(lines[1], second);
    EXPECT_EQ(lines[2], "z");
}

TEST(TextReaderTest, ByteByByteReadingTranslatesTheSameWay)
{
    TempDir dir;
    WriteFile(dir.File("t"), "<a>\r\nb\rc\x1A" "d");
    auto reader = TextReader::Open(dir.File("t"));
    ASSERT_TRUE(reader);
    std::string got;
    for (int c = reader->Get(); c != EOF; c = reader->Get())
        got.push_back(static_cast<char>(c));
    EXPECT_EQ(got, "<a>\nb\rc");
}

TEST(OpenForReadingTest, DirectoriesFifosAndMissingFilesCannotBeOpened)
{
    TempDir dir;
    EXPECT_EQ(OpenForReading(dir.path().string()), nullptr);
    EXPECT_EQ(OpenForReading(dir.File("missing")), nullptr);
    EXPECT_EQ(OpenForReading(""), nullptr);
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(OpenForReading(dir.File("fifo")), nullptr);
    EXPECT_FALSE(TextReader::Open(dir.path().string()).has_value());
}

TEST(FileWriterTest, TextModeWritesCrLfAndBinaryModeBytesAsGiven)
{
    TempDir dir;
    auto text = FileWriter::Create(dir.File("t"), FileWriter::Mode::Text);
    ASSERT_TRUE(text);
    *text << "a\nb" << "\n\n";
    ASSERT_TRUE(text->Close());
    EXPECT_EQ(ReadFile(dir.File("t")), "a\r\nb\r\n\r\n");

    auto binary = FileWriter::Create(dir.File("b"), FileWriter::Mode::Binary);
    ASSERT_TRUE(binary);
    binary->Write(std::string("a\nb\0c", 5));
    ASSERT_TRUE(binary->Close());
    EXPECT_EQ(ReadFile(dir.File("b")), std::string("a\nb\0c", 5));
}

TEST(FileWriterTest, WriteErrorsAreReportedAtClose)
{
    auto full = FileWriter::Create("/dev/full", FileWriter::Mode::Binary);
    ASSERT_TRUE(full);
    full->Write(std::string(100'000, 'x'));
    EXPECT_FALSE(full->Close());
}

TEST(FileWriterTest, CannotCreateInAMissingFolderOrOverADirectory)
{
    TempDir dir;
    EXPECT_FALSE(FileWriter::Create(dir.File("no/such/file"), FileWriter::Mode::Text));
    EXPECT_FALSE(FileWriter::Create(dir.path().string(), FileWriter::Mode::Text));
}

}  // namespace

namespace {

TEST(ReadWholeFileTest, GivesEveryByteOfSmallLargeAndEmptyFiles)
{
    TempDir dir;
    std::string large(200'001, 'x');
    large[7] = '\0';
    large[150'000] = '\x1A';  // no text mode here
    WriteFile(dir.File("large"), large);
    WriteFile(dir.File("empty"), "");
    EXPECT_EQ(ReadWholeFile(dir.File("large")), large);
    EXPECT_EQ(ReadWholeFile(dir.File("empty")), std::string());
    EXPECT_FALSE(ReadWholeFile(dir.path().string()).has_value());
    EXPECT_FALSE(ReadWholeFile(dir.File("missing")).has_value());
}

}  // namespace
