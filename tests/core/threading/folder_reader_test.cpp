#include "core/mail/folder_reader.h"
#include "core/mail/mail_parser.h"

#include "core/project/project_file.h"
#include "core/report/run_problems.h"
#include "core/text/cp932.h"

#include "progress_recorder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using postloom::FolderReadResult;
using postloom::MailRecord;
using postloom::MatchesMailPattern;
using postloom::ProjectSettings;
using postloom::ReadMailFolder;
using postloom::kMaxStoredMails;
using postloom::platform::FileProblem;
using postloom::StopFlag;
using postloom::test::Positions;
using postloom::test::ProgressRecorder;
using postloom::test::Sjis;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace fs = std::filesystem;

namespace {

TEST(MailPatternTest, WildcardsMatchCharactersWithAsciiCaseIgnored)
{
    EXPECT_TRUE(MatchesMailPattern("00001.alm", "*.alm"));
    EXPECT_TRUE(MatchesMailPattern("00001.ALM", "*.alm"));
    EXPECT_FALSE(MatchesMailPattern("00001.alm.bak", "*.alm"));
    EXPECT_FALSE(MatchesMailPattern("alm", "*.alm"));
    EXPECT_TRUE(MatchesMailPattern("00001.alm", "0000?.alm"));
    EXPECT_FALSE(MatchesMailPattern("000001.alm", "0000?.alm"));
    EXPECT_TRUE(MatchesMailPattern("axxbyyc", "a*b*c"));
    EXPECT_FALSE(MatchesMailPattern("axxbyy", "a*b*c"));
    EXPECT_TRUE(MatchesMailPattern("anything", "*"));
    EXPECT_FALSE(MatchesMailPattern("a", ""));
}

TEST(MailPatternTest, StarDotStarMatchesEveryName)
{
    EXPECT_TRUE(MatchesMailPattern("README", "*.*"));
    EXPECT_TRUE(MatchesMailPattern("a.b.c", "*.*"));
    EXPECT_FALSE(MatchesMailPattern("README", "*.*.*"));
}

TEST(MailPatternTest, DoubleByteCharacterIsOneCharacter)
{
    // "ア" is 0x83 0x41: one character for "?", and its trail byte is no "A".
    EXPECT_TRUE(MatchesMailPattern(Sjis("ア.alm"), "?.alm"));
    EXPECT_FALSE(MatchesMailPattern(Sjis("ア.alm"), "??.alm"));
    EXPECT_FALSE(MatchesMailPattern("\x83" "a.alm", Sjis("ア.alm")));
    EXPECT_TRUE(MatchesMailPattern(Sjis("メール.ALM"), Sjis("*ル.alm")));
}

// The matching as plainly as it can be said: both texts split into
// character lists first.
bool PlainPatternMatch(std::string_view name, std::string_view pattern)
{
    if (pattern == "*.*")
        return true;
    const auto characters = [](std::string_view s) {
        std::vector<std::string_view> chars;
        for (std::size_t i = 0; i < s.size(); i += postloom::text::CharLength(s, i))
            chars.push_back(s.substr(i, postloom::text::CharLength(s, i)));
        return chars;
    };
    const auto same = [](std::string_view p, std::string_view n) {
        return p.size() == 1 && n.size() == 1 ? postloom::text::EqualsIgnoreCase(p, n) : p == n;
    };
    const std::vector<std::string_view> p = characters(pattern);
    const std::vector<std::string_view> n = characters(name);
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::optional<std::size_t> star;
    std::size_t starName = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == "*") {
            star = pi++;
            starName = ni;
        } else if (pi < p.size() && (p[pi] == "?" || same(p[pi], n[ni]))) {
            ++pi;
            ++ni;
        } else if (star) {
            pi = *star + 1;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == "*")
        ++pi;
    return pi == p.size();
}

// Random names and patterns over a small alphabet that holds wildcards,
// case pairs, double-byte characters whose trail byte is "A", "*" or "?",
// and a lead byte cut off at the end.
TEST(MailPatternTest, SameAnswersAsMatchingCharacterLists)
{
    const std::vector<std::string> pieces = {"a", "A", "b", ".", "*", "?", "\x83\x41", "\x81\x2a", "\x81\x3f", "\x83"};
    std::mt19937 random(20261210);
    const auto text = [&](std::size_t most) {
        std::string s;
        for (std::size_t k = std::uniform_int_distribution<std::size_t>(0, most)(random); k > 0; --k)
            s += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        return s;
    };
    for (int round = 0; round < 200000; ++round) {
        const std::string name = text(8);
        const std::string pattern = text(6);
        ASSERT_EQ(MatchesMailPattern(name, pattern), PlainPatternMatch(name, pattern))
            << "name " << ::testing::PrintToString(name) << " pattern " << ::testing::PrintToString(pattern);
    }
}

std::string MailText(const std::string& subject, const std::string& date)
{
    return "Subject: " + subject + "\r\nDate: " + date + "\r\nMessage-Id: <" + subject + "@example>\r\n\r\nbody\r\n";
}

std::unique_ptr<MailRecord> StoredMail(const std::string& fileName)
{
    auto mail = std::make_unique<MailRecord>();
    mail->fileName = fileName;
    mail->subject = "stored";
    return mail;
}

struct Reading {
    FolderReadResult result;
    ProgressRecorder progress;
};

Reading Read(ProjectSettings& settings, const std::string& folder)
{
    Reading reading;
    const StopFlag stop{false};
    reading.result = ReadMailFolder(settings, folder, reading.progress, stop);
    return reading;
}

std::vector<std::string> FileNames(const ProjectSettings& settings)
{
    std::vector<std::string> names;
    for (const auto& mail : settings.mailList)
        names.push_back(mail->fileName);
    return names;
}

class FolderReaderTest : public ::testing::Test {
protected:
    FolderReaderTest() { settings.MailExt = "*.alm"; }

    void AddMail(const std::string& name, const std::string& subject = "s",
                 const std::string& date = "Mon, 01 Jan 98 10:00:00 +0900")
    {
        WriteFile(folder.File(name), MailText(subject, date));
    }

    TempDir folder;
    ProjectSettings settings;
};

TEST_F(FolderReaderTest, AppendsMatchingFilesInByteOrderOfTheirNames)
{
    AddMail("b.alm", "second", "Tue, 02 Jan 98 10:00:00 +0900");
    AddMail("a.alm", "first");
    AddMail("A.ALM", "upper");
    AddMail("c.txt");
    AddMail("メ.alm", "kana");  // the name on disk is UTF-8, in the list CP932

    const Reading reading = Read(settings, folder.path().string());
    EXPECT_TRUE(reading.result.folderFound);
    EXPECT_EQ(reading.result.matched, 4u);
    EXPECT_EQ(reading.result.appended, 4u);
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"A.ALM", "a.alm", "b.alm", Sjis("メ.alm")}));
    EXPECT_EQ(settings.mailListChanged, 1);
    EXPECT_EQ(reading.progress.ranges, (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_EQ(reading.progress.positions, Positions(4));

    const MailRecord& b = *settings.mailList[2];
    EXPECT_EQ(b.subject, "second");
    EXPECT_NE(b.date, 0);
    EXPECT_EQ(b.orderKey, b.date);
    EXPECT_EQ(b.date - settings.mailList[1]->date, 24 * 60 * 60);
}

TEST_F(FolderReaderTest, ReadsOnlyFilesNotYetInTheList)
{
    for (int i = 0; i < 10; ++i) {
        const std::string name = "m" + std::to_string(i) + ".alm";
        settings.mailList.push_back(StoredMail(name));
        if (i != 3)
            AddMail(name);
    }
    AddMail("new1.alm");
    AddMail("new2.alm");
    AddMail("new3.alm");
    settings.mailListChanged = 0;

    const Reading first = Read(settings, folder.path().string());
    EXPECT_EQ(first.result.matched, 12u);
    EXPECT_EQ(first.result.appended, 3u);
    EXPECT_EQ(first.progress.positions, Positions(12));
    ASSERT_EQ(settings.mailList.size(), 13u);
    EXPECT_EQ(settings.mailList[3]->fileName, "m3.alm");  // its file is gone; the mail stays
    EXPECT_EQ(settings.mailList[0]->subject, "stored");   // stored mails are not parsed again
    EXPECT_EQ(settings.mailListChanged, 1);

    settings.mailListChanged = 0;
    const Reading second = Read(settings, folder.path().string());
    EXPECT_EQ(second.result.appended, 0u);
    EXPECT_EQ(settings.mailList.size(), 13u);
    EXPECT_EQ(settings.mailListChanged, 0);
}

TEST_F(FolderReaderTest, NamesDifferingInCaseAreTwoMails)
{
    settings.mailList.push_back(StoredMail("A.alm"));
    AddMail("a.alm");
    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.appended, 1u);
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"A.alm", "a.alm"}));
}

// The lookup as a linear search of the list for each entry, names compared
// exactly, against the hashed lookup.
TEST(FolderLookupTest, SameMailsAppendedAsLinearSearchOnRandomFolders)
{
    static const char* const pool[] = {"a.alm", "A.alm", "a.ALM", "b.alm", "c.alm", "d.alm", "", "x/a.alm"};
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        TempDir folder;
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        std::set<std::string> files;
        for (int k = random() % 6; k > 0; --k) {
            const std::string name = pool[random() % 6];
            files.insert(name);
            WriteFile(folder.File(name), MailText("s", "1 Jan 2000 00:00:00 +0000"));
        }
        for (int k = random() % 5; k > 0; --k)
            settings.mailList.push_back(StoredMail(pool[random() % std::size(pool)]));

        std::vector<std::string> expected = FileNames(settings);
        for (const std::string& name : files) {  // byte order
            bool stored = false;
            for (const std::string& known : expected)
                stored = stored || known == name;
            if (!stored)
                expected.push_back(name);
        }
        Read(settings, folder.path().string());
        ASSERT_EQ(FileNames(settings), expected) << "round " << round;
    }
}

// A large folder is parsed ahead on other threads; what the list gets must
// be what reading the files one by one in name order gives: stored mails
// skipped, folders passed over, dangling links reported, the order kept,
// and a stop ending it after the entry being handled.
TEST(FolderReadAheadTest, LargeFoldersGiveWhatReadingOneByOneGives)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 4; ++round) {
        TempDir folder;
        ProjectSettings settings;
        settings.MailExt = "*.alm";
        for (int i = 0; i < 400; ++i) {
            const std::string name = std::to_string(random() % 100000) + "-" + std::to_string(i) + ".alm";
            switch (random() % 20) {
            case 0:
                fs::create_directory(folder.path() / name);
                break;
            case 1:
                fs::create_symlink(folder.path() / "nowhere", folder.path() / name);
                break;
            case 2:
                settings.mailList.push_back(StoredMail(name));
                [[fallthrough]];
            default:
                WriteFile(folder.File(name), MailText("s" + std::to_string(i), "Mon, 0" +
                                                      std::to_string(1 + random() % 9) + " Jan 98 10:00:00 +0900"));
            }
        }
        const std::size_t stored = settings.mailList.size();
        const std::size_t stopAt = round % 2 == 0 ? 0 : 1 + random() % 300;

        // One by one, in byte order of the names.
        std::vector<std::pair<std::string, std::string>> expected;  // file name, subject
        std::vector<std::string> expectedUnreadable;
        std::set<std::string> storedNames;
        for (const auto& mail : settings.mailList)
            storedNames.insert(mail->fileName);
        std::set<std::string> listed;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            listed.insert(entry.path().filename().string());
        std::size_t position = 0;
        for (const std::string& name : listed) {
            if (stopAt != 0 && position++ == stopAt)
                break;
            if (fs::is_directory(folder.path() / name) || storedNames.contains(name))
                continue;
            MailRecord record;
            if (ParseMailFile(record, folder.File(name), name) == postloom::MailFileRead::Mail)
                expected.emplace_back(name, record.subject);
            else
                expectedUnreadable.push_back(name);
        }

        StopFlag stop{false};
        ProgressRecorder progress(stop, stopAt);
        const FolderReadResult result = ReadMailFolder(settings, folder.path().string(), progress, stop);
        EXPECT_EQ(result.stopped, stopAt != 0) << "round " << round;
        std::vector<std::pair<std::string, std::string>> read;
        for (std::size_t i = stored; i < settings.mailList.size(); ++i)
            read.emplace_back(settings.mailList[i]->fileName, settings.mailList[i]->subject);
        EXPECT_EQ(read, expected) << "round " << round;
        std::vector<std::string> unreadable;
        for (const auto& problem : result.unreadable)
            unreadable.push_back(problem.path);
        EXPECT_EQ(unreadable, expectedUnreadable) << "round " << round;
        EXPECT_EQ(progress.positions, Positions(stopAt != 0 ? stopAt : listed.size())) << "round " << round;
    }
}

TEST_F(FolderReaderTest, PassesOverFoldersAndSpecialFilesButCountsThem)
{
    fs::create_directory(folder.path() / "d.alm");
    fs::create_directory(folder.path() / "target");
    fs::create_directory_symlink(folder.path() / "target", folder.path() / "e.alm");
    ASSERT_EQ(::mkfifo(folder.File("f.alm").c_str(), 0600), 0);
    AddMail("g.alm");
    settings.MailExt = "*.*";

    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.matched, 5u);
    EXPECT_EQ(reading.progress.positions, Positions(5));
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"g.alm"}));
    EXPECT_TRUE(reading.result.unreadable.empty());
}

TEST_F(FolderReaderTest, FileThatCannotBeOpenedIsLeftForTheNextReading)
{
    fs::create_symlink(folder.path() / "later", folder.path() / "x.alm");
    settings.mailListChanged = 0;

    const Reading first = Read(settings, folder.path().string());
    EXPECT_EQ(first.result.unreadable, (std::vector<FileProblem>{{"x.alm", "No such file or directory"}}));
    EXPECT_EQ(first.result.appended, 0u);
    EXPECT_TRUE(settings.mailList.empty());
    EXPECT_EQ(settings.mailListChanged, 0);
    EXPECT_EQ(first.progress.positions, Positions(1));

    AddMail("later", "arrived");
    const Reading second = Read(settings, folder.path().string());
    EXPECT_EQ(second.result.appended, 1u);
    ASSERT_EQ(settings.mailList.size(), 1u);
    EXPECT_EQ(settings.mailList[0]->subject, "arrived");
}

TEST_F(FolderReaderTest, EachUnreadableFileComesWithItsReason)
{
    fs::create_symlink(folder.path() / "gone", folder.path() / "a.alm");
    fs::create_symlink(folder.path() / "b.alm", folder.path() / "b.alm");
    AddMail("c.alm");

    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.unreadable, (std::vector<FileProblem>{{"a.alm", "No such file or directory"},
                                                                  {"b.alm", "Too many levels of symbolic links"}}));
    EXPECT_EQ(FileNames(settings), std::vector<std::string>{"c.alm"});
}

TEST_F(FolderReaderTest, FilesThatAreNoMailsAreNamedAndGetNoRecord)
{
    WriteFile(folder.File("a.alm"), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    WriteFile(folder.File("b.alm"), "");
    WriteFile(folder.File("c.alm"), "just some text\r\n\r\nSubject: in the body\r\n");
    AddMail("d.alm");
    WriteFile(folder.File("e.alm"), "Subject: a header and no body");
    settings.mailListChanged = 0;

    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.notMail, (std::vector<std::string>{"a.alm", "b.alm", "c.alm"}));
    EXPECT_TRUE(reading.result.unreadable.empty());
    EXPECT_EQ(reading.result.appended, 2u);
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"d.alm", "e.alm"}));
    EXPECT_EQ(reading.progress.positions, Positions(5));

    postloom::Problems problems;
    postloom::AddReadProblems(reading.result, folder.path().string(), problems);
    using postloom::ProblemKind;
    EXPECT_EQ(problems, (postloom::Problems{{.kind = ProblemKind::NotAMailFile, .path = "a.alm"},
                                            {.kind = ProblemKind::NotAMailFile, .path = "b.alm"},
                                            {.kind = ProblemKind::NotAMailFile, .path = "c.alm"}}));
    EXPECT_EQ(postloom::SkippedFiles(reading.result, {}), 3u);

    // A file that becomes a mail is read at the next reading.
    AddMail("b.alm", "arrived");
    const Reading second = Read(settings, folder.path().string());
    EXPECT_EQ(second.result.notMail, (std::vector<std::string>{"a.alm", "c.alm"}));
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"d.alm", "e.alm", "b.alm"}));
}

TEST_F(FolderReaderTest, TheProgramsOwnHiddenFilesAreNoMails)
{
    settings.MailExt = "*.*";
    WriteFile(folder.File(".postloom-site"), "postloom-site 1\n");
    WriteFile(folder.File(".postloom-out-0123456789ab"), MailText("cut", "Mon, 01 Jan 98 10:00:00 +0900"));
    WriteFile(folder.File(".hidden"), MailText("hidden", "Mon, 01 Jan 98 10:00:00 +0900"));
    AddMail("a.alm");

    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.matched, 2u);
    EXPECT_TRUE(reading.result.notMail.empty());
    EXPECT_EQ(FileNames(settings), (std::vector<std::string>{".hidden", "a.alm"}));
}

// "テスト.alm" as an archive from Windows leaves it on disk: CP932 bytes.
const std::string kCp932Name = "\x83\x65\x83\x58\x83\x67.alm";

TEST_F(FolderReaderTest, ANameInCp932OnDiskIsReadAndKeptAsItsBytes)
{
    WriteFile(folder.File(kCp932Name), MailText("kana", "Mon, 01 Jan 98 10:00:00 +0900"));
    const Reading reading = Read(settings, folder.path().string());
    EXPECT_TRUE(reading.result.unreadable.empty());
    EXPECT_EQ(reading.result.appended, 1u);
    ASSERT_EQ(FileNames(settings), std::vector<std::string>{Sjis("テスト.alm")});
    EXPECT_EQ(settings.mailList[0]->subject, "kana");

    settings.mailListChanged = 0;
    EXPECT_EQ(Read(settings, folder.path().string()).result.appended, 0u);
    EXPECT_EQ(settings.mailListChanged, 0);
}

TEST_F(FolderReaderTest, OneNameOnDiskInUtf8AndInCp932IsOneMail)
{
    AddMail("テスト.alm", "utf-8");
    WriteFile(folder.File(kCp932Name), MailText("cp932", "Mon, 01 Jan 98 10:00:00 +0900"));
    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.matched, 2u);
    EXPECT_EQ(reading.progress.positions, Positions(2));
    ASSERT_EQ(FileNames(settings), std::vector<std::string>{Sjis("テスト.alm")});
    EXPECT_EQ(settings.mailList[0]->subject, "utf-8");
}

// A project file stores at most kMaxStoredMails mails. The list starts as a
// project holding that many less a few would load it; the files on disk are
// the new ones.
class MailCapTest : public FolderReaderTest {
protected:
    void StoreMails(std::size_t count)
    {
        settings.mailList.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            settings.mailList.push_back(StoredMail("stored" + std::to_string(i)));
        settings.mailListChanged = 0;
    }
};

TEST_F(MailCapTest, ReadingStopsAppendingAtTheMostAProjectStores)
{
    StoreMails(kMaxStoredMails - 1);
    AddMail("a.alm");
    AddMail("b.alm");
    AddMail("c.alm");
    fs::create_symlink(folder.path() / "gone", folder.path() / "d.alm");

    const Reading first = Read(settings, folder.path().string());
    EXPECT_EQ(first.result.appended, 1u);
    EXPECT_EQ(first.result.leftOut, 3u);
    EXPECT_TRUE(first.result.unreadable.empty());  // not opened at all
    EXPECT_EQ(first.progress.positions, Positions(4));
    ASSERT_EQ(settings.mailList.size(), kMaxStoredMails);
    EXPECT_EQ(settings.mailList.back()->fileName, "a.alm");
    EXPECT_EQ(settings.mailListChanged, 1);

    // The next run finds the project full: nothing changes, nothing to save.
    settings.mailListChanged = 0;
    const Reading second = Read(settings, folder.path().string());
    EXPECT_EQ(second.result.appended, 0u);
    EXPECT_EQ(second.result.leftOut, 3u);
    EXPECT_EQ(settings.mailList.size(), kMaxStoredMails);
    EXPECT_EQ(settings.mailListChanged, 0);
}

TEST_F(MailCapTest, AnOlderMailNeverPushesAStoredOneOut)
{
    StoreMails(kMaxStoredMails);
    AddMail("old.alm", "old", "Mon, 01 Jan 90 10:00:00 +0900");
    AddMail("stored7", "replaced?");

    settings.MailExt = "*";
    const Reading reading = Read(settings, folder.path().string());
    EXPECT_EQ(reading.result.appended, 0u);
    EXPECT_EQ(reading.result.leftOut, 1u);  // a stored name is no new mail
    ASSERT_EQ(settings.mailList.size(), kMaxStoredMails);
    EXPECT_EQ(settings.mailList.front()->fileName, "stored0");
    EXPECT_EQ(settings.mailList.back()->fileName, "stored" + std::to_string(kMaxStoredMails - 1));
    EXPECT_EQ(settings.mailList[7]->subject, "stored");
    EXPECT_EQ(settings.mailListChanged, 0);
}

TEST_F(FolderReaderTest, MissingFolderReadsNoMail)
{
    // The working folder holds files that "*.*" would match: none may be read.
    settings.MailExt = "*.*";
    AddMail("plain-file");
    for (const std::string& missing : {folder.File("nowhere"), folder.File("plain-file"), std::string()}) {
        const Reading reading = Read(settings, missing);
        EXPECT_FALSE(reading.result.folderFound) << missing;
        EXPECT_EQ(reading.progress.ranges, (std::vector<std::pair<int, int>>{{0, 0}})) << missing;
        EXPECT_TRUE(reading.progress.positions.empty()) << missing;
        EXPECT_TRUE(settings.mailList.empty()) << missing;
    }
}

TEST_F(FolderReaderTest, StopEndsTheReadingAfterTheEntryBeingHandled)
{
    AddMail("1.alm");
    AddMail("2.alm");
    AddMail("3.alm");
    // Requested before the start: the first entry is still handled.
    {
        StopFlag stop{true};
        ProgressRecorder progress;
        const FolderReadResult result = ReadMailFolder(settings, folder.path().string(), progress, stop);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.matched, 3u);
        EXPECT_EQ(progress.positions, Positions(1));
        EXPECT_EQ(FileNames(settings), std::vector<std::string>{"1.alm"});
    }
    // Requested while the second entry is reported.
    {
        settings.mailList.clear();
        StopFlag stop{false};
        ProgressRecorder progress(stop, 2);
        const FolderReadResult result = ReadMailFolder(settings, folder.path().string(), progress, stop);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(progress.positions, Positions(2));
        EXPECT_EQ(FileNames(settings), (std::vector<std::string>{"1.alm", "2.alm"}));
    }
}

}  // namespace
