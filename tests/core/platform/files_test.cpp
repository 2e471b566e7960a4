#include "core/platform/files.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <vector>

using namespace postloom::platform;
using postloom::test::ReadFile;
using postloom::test::Sjis;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

// The lines as pieces of at most pieceBytes bytes give them.
std::vector<std::string> LinesInPieces(const std::string& path, std::size_t pieceBytes)
{
    auto reader = TextReader::Open(path);
    EXPECT_TRUE(reader.has_value());
    std::vector<std::string> lines;
    std::string line;
    std::string piece;
    bool lineEnded = false;
    while (reader && reader->ReadLinePiece(piece, pieceBytes, lineEnded)) {
        EXPECT_LE(piece.size(), pieceBytes);
        line += piece;
        if (lineEnded) {
            lines.push_back(line);
            line.clear();
        }
    }
    EXPECT_FALSE(lineEnded && !line.empty());
    return lines;
}

// Every piece size reads the same lines.
std::vector<std::string> Lines(const std::string& path)
{
    const std::vector<std::string> whole = LinesInPieces(path, std::size_t{1} << 30);
    for (const std::size_t pieceBytes : {1, 2, 3, 7, 4096, 65536})
        EXPECT_EQ(LinesInPieces(path, pieceBytes), whole) << pieceBytes;
    return whole;
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

TEST(TextReaderTest, PiecesOfALongLineAreNeverLongerThanAsked)
{
    TempDir dir;
    WriteFile(dir.File("m"), std::string(10'000, 'x') + "\r\n\r\nab");
    auto reader = TextReader::Open(dir.File("m"));
    ASSERT_TRUE(reader);
    std::string piece;
    bool lineEnded = true;
    std::vector<std::size_t> sizes;
    std::vector<bool> ends;
    while (reader->ReadLinePiece(piece, 4096, lineEnded)) {
        sizes.push_back(piece.size());
        ends.push_back(lineEnded);
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{4096, 4096, 1808, 0, 2}));
    EXPECT_EQ(ends, (std::vector<bool>{false, false, true, true, true}));
}

TEST(TextReaderTest, PeekStartShowsTheBytesBeforeTranslation)
{
    TempDir dir;
    WriteFile(dir.File("m"), std::string("a\r\n\x1A\0b", 6));
    auto reader = TextReader::Open(dir.File("m"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->PeekStart(4), std::string_view("a\r\n\x1A", 4));
    EXPECT_EQ(reader->PeekStart(100), std::string_view("a\r\n\x1A\0b", 6));
    std::string piece;
    bool lineEnded = false;
    ASSERT_TRUE(reader->ReadLinePiece(piece, 100, lineEnded));
    EXPECT_EQ(piece, "a");
    EXPECT_FALSE(reader->ReadLinePiece(piece, 100, lineEnded));
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

namespace {

// Why opening failed, through each way of opening for reading.
std::vector<FileError> OpenErrors(const std::string& path)
{
    std::vector<FileError> errors(3);
    EXPECT_EQ(OpenForReading(path, errors[0]), nullptr) << path;
    EXPECT_FALSE(ReadWholeFile(path, errors[1]).has_value()) << path;
    EXPECT_FALSE(TextReader::Open(path, errors[2]).has_value()) << path;
    return errors;
}

TEST(ReadFailureTest, EveryWayOfOpeningTellsTheSystemsReason)
{
    TempDir dir;
    const FileError missing{.code = ENOENT};
    EXPECT_EQ(OpenErrors(dir.File("missing")), std::vector<FileError>(3, missing));
    EXPECT_EQ(OpenErrors(""), std::vector<FileError>(3, missing));
    WriteFile(dir.File("plain"), "x");
    EXPECT_EQ(OpenErrors(dir.File("plain") + "/below"), std::vector<FileError>(3, FileError{.code = ENOTDIR}));
    EXPECT_EQ(ReasonText(missing), "No such file or directory");
}

TEST(ReadFailureTest, FoldersAndSpecialFilesAreNoFiles)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const FileError notAFile{.notAFile = true};
    EXPECT_EQ(OpenErrors(dir.path().string()), std::vector<FileError>(3, notAFile));
    EXPECT_EQ(OpenErrors(dir.File("fifo")), std::vector<FileError>(3, notAFile));
    EXPECT_EQ(ReasonText(notAFile), "is a folder or a special file");
}

TEST(ReadFailureTest, ASuccessfulOpenClearsAnEarlierError)
{
    TempDir dir;
    WriteFile(dir.File("m"), "x");
    FileError error{.code = EIO};
    EXPECT_EQ(ReadWholeFile(dir.File("m"), error), "x");
    EXPECT_EQ(error, FileError{});
}

// "テスト.alm" as an archive from Windows leaves it on disk: CP932 bytes.
const std::string kCp932Name = "\x83\x65\x83\x58\x83\x67.alm";

TEST(StoredCp932NameTest, AFileNamedInCp932OnDiskIsRead)
{
    TempDir dir;
    ASSERT_EQ(kCp932Name, Sjis("テスト.alm"));
    WriteFile(dir.File(kCp932Name), "Subject: s\r\n");
    EXPECT_EQ(ReadWholeFile(dir.File(kCp932Name)), "Subject: s\r\n");
    EXPECT_TRUE(TextReader::Open(dir.File(kCp932Name)).has_value());
}

TEST(StoredCp932NameTest, AFolderNamedInUtf8MayHoldNamesInCp932)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "メール");  // UTF-8 on disk
    WriteFile((dir.path() / "メール").string() + "/" + kCp932Name, "raw");
    // The whole path as the settings hold it: CP932 throughout.
    EXPECT_EQ(ReadWholeFile(dir.File(Sjis("メール")) + "/" + kCp932Name), "raw");
}

TEST(StoredCp932NameTest, TheConvertedNameComesFirst)
{
    TempDir dir;
    WriteFile(dir.File("テスト.alm"), "utf-8");
    WriteFile(dir.File(kCp932Name), "cp932");
    EXPECT_EQ(ReadWholeFile(dir.File(kCp932Name)), "utf-8");
}

TEST(StoredCp932NameTest, AMissingCp932NameIsMissing)
{
    TempDir dir;
    FileError error;
    EXPECT_FALSE(ReadWholeFile(dir.File(kCp932Name), error).has_value());
    EXPECT_EQ(error, FileError{.code = ENOENT});
}

// A system call would stop at the NUL and act on the file before it.
TEST(NulInPathTest, NoFileIsOpenedOrCreatedThroughAPathWithANul)
{
    TempDir dir;
    WriteFile(dir.File("x.html"), "old");
    const std::string withNul = dir.File("x.html") + std::string(1, '\0') + "/y";

    FileError error;
    EXPECT_EQ(OpenForReading(withNul, error), nullptr);
    EXPECT_EQ(error, FileError{.code = EINVAL});
    EXPECT_FALSE(ReadWholeFile(withNul, error).has_value());
    EXPECT_EQ(error, FileError{.code = EINVAL});
    EXPECT_FALSE(TextReader::Open(withNul).has_value());

    errno = 0;
    EXPECT_EQ(CreateForWriting(withNul), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(FileWriter::Create(withNul, FileWriter::Mode::Binary).has_value());
    EXPECT_EQ(ReadFile(dir.File("x.html")), "old");
}

}  // namespace
