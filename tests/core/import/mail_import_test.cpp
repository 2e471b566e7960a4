#include "core/import/mail_import.h"

#include "core/import/import_report.h"
#include "core/import/imported_bytes.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

const std::string kArchive = TEST_DATA_DIR "/list-archive.mbox";

// The files of a folder by name, with their bytes.
std::map<std::string, std::string> FilesIn(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFile(entry.path().string());
    return files;
}

std::vector<std::string> NamesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : FilesIn(folder))
        names.push_back(name);
    return names;
}

// Calls a hook before each mail, as an owner's progress display would be
// called.
class ProgressHook final : public JobProgress {
public:
    explicit ProgressHook(std::function<void(std::size_t)> hook = {}) : hook_(std::move(hook)) {}
    void SetRange(int lower, int upper) override { ranges.emplace_back(lower, upper); }
    void Report(int position) override
    {
        positions.push_back(position);
        if (hook_)
            hook_(positions.size());
    }
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;

private:
    std::function<void(std::size_t)> hook_;
};

ImportResult Import(const std::string& source, const std::string& folder, ImportOptions options = {})
{
    NoProgress progress;
    const StopFlag stop{false};
    return ImportMails(source, folder, options, progress, stop);
}

std::string MboxMail(std::string_view from, std::string_view text)
{
    return "From " + std::string(from) + " Mon Apr  5 09:00:00 2004\n" + std::string(text) + "\n";
}

// The mails of the archive fixture as the folder must hold them.
const std::vector<std::string>& ArchiveMails()
{
    static const std::vector<std::string> mails = {
        Crlf(Sjis("Date: Mon, 05 Apr 2004 09:00:00 +0900\n"
                  "From: tanaka@example.jp\n"
                  "To: garden-ml@example.jp\n"
                  "Subject: [garden-ml:00001] 春の植え付け\n"
                  "Message-Id: <20040405090000.t1@example.jp>\n"
                  "MIME-Version: 1.0\n"
                  "Content-Type: text/plain; charset=Shift_JIS\n"
                  "\n"
                  "みなさん、こんにちは。\n"
                  "今年のトマトは表の畑に植えます。\n")),
        Crlf(Sjis("Date: Mon, 05 Apr 2004 12:30:00 +0900\n"
                  "From: suzuki@example.jp\n"
                  "To: garden-ml@example.jp\n"
                  "Subject: Re: [garden-ml:00001] 春の植え付け\n"
                  "Message-Id: <20040405123000.s1@example.jp>\n"
                  "In-Reply-To: <20040405090000.t1@example.jp>\n"
                  "\n"
                  "田中さん\n"
                  "From the seed catalogue: plant after the last frost.\n"
                  ">From an older note, quoted twice.\n"
                  "> From a quote with a blank.\n"
                  "\n")),
        Crlf(Sjis("Date: Tue, 06 Apr 2004 08:15:00 +0900\n"
                  "From: sato@example.jp\n"
                  "To: garden-ml@example.jp\n"
                  "Subject: 水やり当番\n"
                  "\n"
                  "Message-Id のないメールです。\n")),
    };
    return mails;
}

TEST(ImportedMailBytesTest, EveryLineEndsInCrLfAndNothingElseChanges)
{
    EXPECT_EQ(ImportedMailBytes("a\nb\r\nc\n", std::nullopt), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(ImportedMailBytes("\n\n", std::nullopt), "\r\n\r\n");
    // A CR alone is kept, as the mail reader keeps it.
    EXPECT_EQ(ImportedMailBytes("a\rb\r\r\n", std::nullopt), "a\rb\r\r\n");
    // The last line gets its end; a CR at the very end counts as one.
    EXPECT_EQ(ImportedMailBytes("a\nlast", std::nullopt), "a\r\nlast\r\n");
    EXPECT_EQ(ImportedMailBytes("a\r", std::nullopt), "a\r\n");
    EXPECT_EQ(ImportedMailBytes("", std::nullopt), "");
    const std::string sjis = Sjis("表示\n");  // a trail byte 0x5C
    EXPECT_EQ(ImportedMailBytes(sjis, std::nullopt), Crlf(sjis));
}

TEST(ImportedMailBytesTest, UndoesTheQuotingOfEachMboxVariant)
{
    struct Case {
        std::string line;
        std::string mboxrd;
        std::string mboxo;
    };
    const std::vector<Case> cases = {
        {">From here", "From here", "From here"},
        {">>From here", ">From here", ">>From here"},
        {">>>From here", ">>From here", ">>>From here"},
        {"> From here", "> From here", "> From here"},
        {">Fromage", ">Fromage", ">Fromage"},
        {">from here", ">from here", ">from here"},
        {">>", ">>", ">>"},
        {"x>From here", "x>From here", "x>From here"},
    };
    for (const Case& c : cases) {
        const std::string mail = "Subject: s\n\n" + c.line + "\n";
        EXPECT_EQ(ImportedMailBytes(mail, MboxVariant::Mboxrd), "Subject: s\r\n\r\n" + c.mboxrd + "\r\n") << c.line;
        EXPECT_EQ(ImportedMailBytes(mail, MboxVariant::Mboxo), "Subject: s\r\n\r\n" + c.mboxo + "\r\n") << c.line;
        EXPECT_EQ(ImportedMailBytes(mail, std::nullopt), Crlf(mail)) << "a file of its own is not quoted";
    }
}

TEST(ImportedBytesTest, AnySplitIntoPiecesGivesTheBytesAndCountOfTheWhole)
{
    // Every case ends lines differently or quotes at a different depth; a
    // piece may end between any two bytes, also inside "\r\n" or ">>From ".
    const std::string mail = "Subject: s\r\n\r\n>From a\n>>From b\r\n>>>Fro\n>From\r\n"
                             "x>From c\r>From d\n\r\n>Fromage\n>From ";
    for (const auto quoting : {std::optional<MboxVariant>{}, std::optional{MboxVariant::Mboxrd},
                               std::optional{MboxVariant::Mboxo}}) {
        const std::string whole = ImportedMailBytes(mail, quoting);
        ImportedBytes once(quoting);
        std::string unsplit;
        once.Feed(mail, unsplit);
        once.Finish(unsplit);
        for (std::size_t first = 0; first <= mail.size(); ++first) {
            for (std::size_t second = first; second <= mail.size(); second += 3) {
                ImportedBytes bytes(quoting);
                std::string out;
                bytes.Feed(std::string_view(mail).substr(0, first), out);
                bytes.Feed(std::string_view(mail).substr(first, second - first), out);
                bytes.Feed(std::string_view(mail).substr(second), out);
                bytes.Finish(out);
                ASSERT_EQ(out, whole) << first << " " << second;
                ASSERT_EQ(bytes.UnquotedLines(), once.UnquotedLines());
            }
        }
    }
    ImportedBytes rd(MboxVariant::Mboxrd);
    ImportedBytes o(MboxVariant::Mboxo);
    std::string out;
    rd.Feed(mail, out);
    o.Feed(mail, out);
    // ">From a", ">>From b" (mboxrd only) and ">From " at the end; ">From"
    // without a blank is none, and ">From d" follows a CR alone, mid-line.
    EXPECT_EQ(rd.UnquotedLines(), 3u);
    EXPECT_EQ(o.UnquotedLines(), 2u);
}

TEST(ImportMailsTest, WritesEachMailOfAnMboxAsANumberedCrLfFile)
{
    const TempDir dir;
    const std::string folder = dir.File("mail");
    const ImportResult result = Import(kArchive, folder);
    EXPECT_TRUE(result.ok()) << testing::PrintToString(result.problems);
    EXPECT_EQ(result.source, ImportSource::Mbox);
    EXPECT_EQ(result.imported, 3u);
    EXPECT_EQ(result.alreadyThere, 0u);
    EXPECT_EQ(result.written,
              (std::vector<std::string>{folder + "/00001.alm", folder + "/00002.alm", folder + "/00003.alm"}));
    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files.at("00001.alm"), ArchiveMails()[0]);
    EXPECT_EQ(files.at("00002.alm"), ArchiveMails()[1]);
    EXPECT_EQ(files.at("00003.alm"), ArchiveMails()[2]);
}

TEST(ImportMailsTest, CountsTheUnquotedLinesOfTheMailsWritten)
{
    const TempDir dir;
    // ">From the seed catalogue" and ">>From an older note".
    EXPECT_EQ(Import(kArchive, dir.File("rd")).unquotedLines, 2u);
    EXPECT_EQ(Import(kArchive, dir.File("o"), {.mboxVariant = MboxVariant::Mboxo}).unquotedLines, 1u);
    // Mails already there were not written again: nothing of them counts.
    EXPECT_EQ(Import(kArchive, dir.File("rd")).unquotedLines, 0u);
}

TEST(ImportMailsTest, MboxoLeavesDeeperQuotingAlone)
{
    const TempDir dir;
    ASSERT_TRUE(Import(kArchive, dir.File("mail"), {.mboxVariant = MboxVariant::Mboxo}).ok());
    const std::string mail = ReadFile(dir.File("mail/00002.alm"));
    EXPECT_NE(mail.find("\r\nFrom the seed catalogue"), std::string::npos);
    EXPECT_NE(mail.find("\r\n>>From an older note"), std::string::npos);
}

TEST(ImportMailsTest, CrLfAndLfMailboxesGiveTheSameFiles)
{
    const TempDir dir;
    const std::string lf = MboxMail("a@example.jp", "Subject: one\n\nbody\n") +
                           MboxMail("b@example.jp", "Subject: two\n\n>From me\n");
    WriteFile(dir.File("lf.mbox"), lf);
    WriteFile(dir.File("crlf.mbox"), Crlf(lf));
    ASSERT_TRUE(Import(dir.File("lf.mbox"), dir.File("from-lf")).ok());
    ASSERT_TRUE(Import(dir.File("crlf.mbox"), dir.File("from-crlf")).ok());
    const auto files = FilesIn(dir.File("from-lf"));
    EXPECT_EQ(files, FilesIn(dir.File("from-crlf")));
    EXPECT_EQ(files.at("00002.alm"), "Subject: two\r\n\r\nFrom me\r\n");
}

TEST(ImportMailsTest, MboxWithoutFinalLineBreakEndsItsLastLine)
{
    const TempDir dir;
    WriteFile(dir.File("box.mbox"), MboxMail("a@example.jp", "Subject: one\n\nbody\n") +
                                        "From b@example.jp Mon Apr  5 09:00:00 2004\nSubject: two\n\nno end");
    const ImportResult result = Import(dir.File("box.mbox"), dir.File("mail"));
    EXPECT_TRUE(result.ok()) << testing::PrintToString(result.problems);
    EXPECT_EQ(ReadFile(dir.File("mail/00002.alm")), "Subject: two\r\n\r\nno end\r\n");
}

TEST(ImportMailsTest, CutLastMailIsImportedAsItStandsAndReported)
{
    const TempDir dir;
    const std::string whole = MboxMail("a@example.jp", "Subject: one\n\nbody\n");
    WriteFile(dir.File("box.mbox"), whole + "From b@example.jp Mon Apr  5 09:00:00 2004\nSubject: cut\nDate: Mo");
    const ImportResult result = Import(dir.File("box.mbox"), dir.File("mail"));
    EXPECT_EQ(result.imported, 2u);
    EXPECT_EQ(ReadFile(dir.File("mail/00002.alm")), "Subject: cut\r\nDate: Mo\r\n");
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, dir.File("box.mbox"));
    EXPECT_EQ(result.problems[0].reason,
              "the last mail (from byte " + std::to_string(whole.size()) +
                  ") is cut off: the file ends inside its header or an unclosed part; imported as it stands as " +
                  dir.File("mail") + "/00002.alm");
    EXPECT_FALSE(result.ok());
}

TEST(ImportMailsTest, AFromLineFollowedByAnEmptyLineStartsAMailAsItStands)
{
    const TempDir dir;
    const std::string one = MboxMail("a@example.jp", "Subject: one\n\nbody\n");
    const std::string bare = "From b@example.jp Mon Apr  5 09:00:00 2004\n\n";
    for (const std::string& mbox : {one + bare, one + bare + "\n" + one + "From c@x Mon Apr  5 09:00:00 2004\n\nc\n"}) {
        const TempDir run;
        WriteFile(run.File("box.mbox"), mbox);
        const ImportResult result = Import(run.File("box.mbox"), run.File("mail"));
        EXPECT_TRUE(result.ok()) << testing::PrintToString(result.problems);
        EXPECT_EQ(ReadFile(run.File("mail/00001.alm")), "Subject: one\r\n\r\nbody\r\n");
        EXPECT_EQ(ReadFile(run.File("mail/00002.alm")), "\r\n");
    }
}

TEST(ImportMailsTest, TextBeforeTheFirstMailIsReportedNotImported)
{
    const TempDir dir;
    WriteFile(dir.File("box.mbox"), "exported by hand\n" + MboxMail("a@example.jp", "Subject: one\n\nbody\n"));
    const ImportResult result = Import(dir.File("box.mbox"), dir.File("mail"));
    EXPECT_EQ(result.imported, 1u);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_NE(result.problems[0].reason.find("before the first \"From \" line"), std::string::npos);
}

TEST(ImportMailsTest, NumbersOnFromTheHighestAllDigitName)
{
    const TempDir dir;
    const std::string folder = dir.File("mail");
    fs::create_directory(folder);
    WriteFile(folder + "/00007.alm", "old seven\r\n");
    WriteFile(folder + "/00012.ALM", "old twelve\r\n");
    WriteFile(folder + "/00040.txt", "no mail file\r\n");
    WriteFile(folder + "/2004-04.alm", "not all digits\r\n");
    const ImportResult result = Import(kArchive, folder);
    ASSERT_TRUE(result.ok()) << testing::PrintToString(result.problems);
    EXPECT_EQ(result.written,
              (std::vector<std::string>{folder + "/00013.alm", folder + "/00014.alm", folder + "/00015.alm"}));
    EXPECT_EQ(ReadFile(folder + "/00007.alm"), "old seven\r\n");
}

TEST(ImportMailsTest, NumbersGoOnToSixDigitsPast99999)
{
    const TempDir dir;
    const std::string folder = dir.File("mail");
    fs::create_directory(folder);
    WriteFile(folder + "/99998.alm", "an old mail\r\n");
    const ImportResult result = Import(kArchive, folder);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.written,
              (std::vector<std::string>{folder + "/99999.alm", folder + "/100000.alm", folder + "/100001.alm"}));
}

TEST(ImportMailsTest, NeverReplacesAFileThatAppearsWhileImporting)
{
    const TempDir dir;
    const std::string folder = dir.File("mail");
    // Another program takes the name the second mail was going to get.
    ProgressHook progress([&](std::size_t report) {
        if (report == 2)
            WriteFile(folder + "/00002.alm", "written by someone else\r\n");
    });
    const StopFlag stop{false};
    const ImportResult result = ImportMails(kArchive, folder, {}, progress, stop);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(ReadFile(folder + "/00002.alm"), "written by someone else\r\n");
    EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"00001.alm", "00002.alm", "00003.alm", "00004.alm"}));
    EXPECT_EQ(ReadFile(folder + "/00003.alm"), ArchiveMails()[1]);
    EXPECT_EQ(ReadFile(folder + "/00004.alm"), ArchiveMails()[2]);
}

TEST(ImportMailsTest, SecondImportAddsOnlyTheNewMails)
{
    const TempDir dir;
    const std::string box = dir.File("box.mbox");
    const std::string folder = dir.File("mail");
    const std::string archive = ReadFile(kArchive);
    WriteFile(box, archive);
    ASSERT_EQ(Import(box, folder).imported, 3u);

    // The mailbox grew by a mail without Message-Id and one that shares a
    // Message-Id with an imported mail but differs in its bytes.
    const std::string resent = "Message-Id: <20040405090000.t1@example.jp>\nSubject: resent\n\nagain\n";
    WriteFile(box, archive + MboxMail("c@example.jp", "Subject: no id\n\nnew\n") + MboxMail("t@example.jp", resent));
    const ImportResult second = Import(box, folder);
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(second.imported, 2u);
    EXPECT_EQ(second.alreadyThere, 3u);
    EXPECT_EQ(second.written, (std::vector<std::string>{folder + "/00004.alm", folder + "/00005.alm"}));
    EXPECT_EQ(ReadFile(folder + "/00005.alm"), Crlf(resent));

    const ImportResult third = Import(box, folder);
    EXPECT_EQ(third.imported, 0u);
    EXPECT_EQ(third.alreadyThere, 5u);
    EXPECT_EQ(NamesIn(folder).size(), 5u);
}

TEST(ImportMailsTest, TheSameMailTwiceInOneSourceIsImportedOnce)
{
    const TempDir dir;
    const std::string mail = MboxMail("a@example.jp", "Subject: twice\n\nbody\n");
    WriteFile(dir.File("box.mbox"), mail + MboxMail("b@example.jp", "Subject: other\n\nx\n") + mail);
    const ImportResult result = Import(dir.File("box.mbox"), dir.File("mail"));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.imported, 2u);
    EXPECT_EQ(result.alreadyThere, 1u);
}

TEST(ImportMailsTest, ReadsAMaildirByDeliveryTimeThenName)
{
    const TempDir dir;
    const fs::path maildir = dir.path() / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"})
        fs::create_directories(maildir / sub);
    const auto put = [&](const char* sub, const char* name, const std::string& text) {
        WriteFile((maildir / sub / name).string(), text);
    };
    put("new", "1700000300.M1P7.host", "Subject: fourth\n\n>From stays quoted\n");
    put("cur", "1700000100.M5P7.host:2,S", "Subject: second\n\nb\n");
    put("cur", "1700000100.M40P7.host:2,RS", "Subject: first of the same second\n\na\n");
    put("cur", "1699999999.M1P7.host:2,", "Subject: earliest\n\nz\n");
    put("cur", "renamed-by-hand", "Subject: third, by its file time\n\nc\n");
    put("cur", ".hidden", "Subject: hidden\n\n");
    put("tmp", "1600000000.M1P1.host", "Subject: still being delivered\n\n");
    const timeval times[2] = {{1700000200, 0}, {1700000200, 0}};
    ASSERT_EQ(::utimes((maildir / "cur" / "renamed-by-hand").c_str(), times), 0);

    const ImportResult result = Import(maildir.string(), dir.File("mail"));
    EXPECT_TRUE(result.ok()) << testing::PrintToString(result.problems);
    EXPECT_EQ(result.source, ImportSource::Maildir);
    std::vector<std::string> subjects;
    for (const auto& [name, bytes] : FilesIn(dir.File("mail")))
        subjects.push_back(bytes.substr(9, bytes.find('\r') - 9));
    EXPECT_EQ(subjects, (std::vector<std::string>{"earliest", "first of the same second", "second",
                                                  "third, by its file time", "fourth"}));
    EXPECT_EQ(ReadFile(dir.File("mail/00005.alm")), "Subject: fourth\r\n\r\n>From stays quoted\r\n");
}

TEST(ImportMailsTest, ReadsTheEmlFilesOfAFolderByName)
{
    const TempDir dir;
    const fs::path source = dir.path() / "saved";
    fs::create_directories(source / "sub.eml");
    WriteFile((source / "b.eml").string(), "Subject: b\n\n");
    WriteFile((source / "a.EML").string(), "Subject: a\n\n");
    WriteFile((source / "c.eml").string(), "Subject: c\n\n");
    WriteFile((source / "notes.txt").string(), "Subject: not a mail\n\n");
    const ImportResult result = Import(source.string(), dir.File("mail"));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.source, ImportSource::EmlFolder);
    const auto files = FilesIn(dir.File("mail"));
    EXPECT_EQ(files, (std::map<std::string, std::string>{{"00001.alm", "Subject: a\r\n\r\n"},
                                                         {"00002.alm", "Subject: b\r\n\r\n"},
                                                         {"00003.alm", "Subject: c\r\n\r\n"}}));
}

TEST(ImportMailsTest, NeverFollowsASymbolicLinkInsideTheSource)
{
    const TempDir dir;
    const std::string secret = dir.File("secret");
    WriteFile(secret, "root:x:0:0\n");
    fs::create_directory(dir.File("elsewhere"));
    WriteFile(dir.File("elsewhere/1700000000.M1P1.host"), "Subject: behind a linked folder\n\n");

    // A Maildir: a link in cur/ and a new/ that is a link to a folder.
    const fs::path maildir = dir.path() / "Maildir";
    fs::create_directories(maildir / "cur");
    WriteFile((maildir / "cur" / "1700000001.M1P1.host").string(), "Subject: real\n\n");
    fs::create_symlink(secret, maildir / "cur" / "1700000002.M1P1.host");
    fs::create_directory_symlink(dir.File("elsewhere"), maildir / "new");
    const ImportResult fromMaildir = Import(maildir.string(), dir.File("m"));
    EXPECT_TRUE(fromMaildir.ok()) << testing::PrintToString(fromMaildir.problems);
    EXPECT_EQ(fromMaildir.imported, 1u);
    EXPECT_EQ(fromMaildir.passedLinks, (std::vector<std::string>{(maildir / "new").string(),
                                                                 (maildir / "cur" / "1700000002.M1P1.host").string()}));
    EXPECT_EQ(FilesIn(dir.File("m")), (std::map<std::string, std::string>{{"00001.alm", "Subject: real\r\n\r\n"}}));

    // A folder of .eml files, named through a link of its own: the source
    // the user names may be one.
    const fs::path saved = dir.path() / "saved";
    fs::create_directory(saved);
    WriteFile((saved / "a.eml").string(), "Subject: a\n\n");
    fs::create_symlink(secret, saved / "b.eml");
    fs::create_symlink(saved / "a.eml", saved / "c.eml");
    fs::create_directory_symlink(saved, dir.path() / "saved-link");
    const ImportResult fromEml = Import(dir.File("saved-link"), dir.File("e"));
    EXPECT_TRUE(fromEml.ok());
    EXPECT_EQ(fromEml.imported, 1u);
    EXPECT_EQ(fromEml.passedLinks,
              (std::vector<std::string>{dir.File("saved-link") + "/b.eml", dir.File("saved-link") + "/c.eml"}));
    EXPECT_EQ(FilesIn(dir.File("e")), (std::map<std::string, std::string>{{"00001.alm", "Subject: a\r\n\r\n"}}));

    // Only links: nothing to import, and the links are still named.
    const fs::path links = dir.path() / "links";
    fs::create_directory(links);
    fs::create_symlink(secret, links / "x.eml");
    const ImportResult onlyLinks = Import(links.string(), dir.File("l"));
    EXPECT_TRUE(onlyLinks.failure);
    EXPECT_EQ(onlyLinks.passedLinks, std::vector<std::string>{(links / "x.eml").string()});
    EXPECT_FALSE(fs::exists(dir.File("l")));
}

TEST(ImportMailsTest, MailsLargerThanAPieceAreComparedAndWrittenWhole)
{
    const TempDir dir;
    // Quoted lines and CR LF pairs fall on every kind of piece border.
    std::string body;
    for (int line = 0; body.size() < 3'500'000; ++line)
        body += line % 7 == 0 ? ">From line " + std::to_string(line) + "\r\n" : std::string(line % 1000, 'x') + "\n";
    const std::string mail = "Subject: big\n\n" + body;
    WriteFile(dir.File("box.mbox"), MboxMail("a@example.jp", mail) + MboxMail("b@example.jp", "Subject: small\n\n"));
    const ImportResult first = Import(dir.File("box.mbox"), dir.File("mail"));
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(ReadFile(dir.File("mail/00001.alm")), ImportedMailBytes(mail, MboxVariant::Mboxrd));

    // Alike in size and all but the last byte: a mail of its own.
    std::string other = mail;
    other.back() = 'y';
    WriteFile(dir.File("box.mbox"), MboxMail("a@example.jp", mail) + MboxMail("c@example.jp", other));
    const ImportResult second = Import(dir.File("box.mbox"), dir.File("mail"));
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(second.alreadyThere, 1u);
    EXPECT_EQ(second.written, std::vector<std::string>{dir.File("mail") + "/00003.alm"});
}

TEST(ImportMailsTest, AnEmptyFileIsNoMailAndIsReported)
{
    const TempDir dir;
    const fs::path source = dir.path() / "saved";
    fs::create_directory(source);
    WriteFile((source / "a.eml").string(), "");
    WriteFile((source / "b.eml").string(), "Subject: b\n\n");
    const ImportResult result = Import(source.string(), dir.File("mail"));
    EXPECT_EQ(result.imported, 1u);
    EXPECT_EQ(result.problems,
              (std::vector<platform::FileProblem>{{(source / "a.eml").string(), "an empty mail; nothing to import"}}));
    EXPECT_EQ(NamesIn(dir.File("mail")), std::vector<std::string>{"00001.alm"});
}

TEST(ImportMailsTest, ASourceThatCannotBeReadFailsAndMakesNothing)
{
    const TempDir dir;
    const std::string folder = dir.File("mail");

    const ImportResult missing = Import(dir.File("none.mbox"), folder);
    ASSERT_TRUE(missing.failure);
    EXPECT_EQ(*missing.failure, (platform::FileProblem{dir.File("none.mbox"), "No such file or directory"}));

    WriteFile(dir.File("note.txt"), "Subject: a lone mail\n\nbody\n");
    const ImportResult noMbox = Import(dir.File("note.txt"), folder);
    ASSERT_TRUE(noMbox.failure);
    EXPECT_EQ(noMbox.failure->reason, "no line starts with \"From \": not an mbox");

    fs::create_directory(dir.File("empty"));
    EXPECT_TRUE(Import(dir.File("empty"), folder).failure);

    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_TRUE(Import(dir.File("fifo"), folder).failure);

    EXPECT_FALSE(fs::exists(folder));
}

TEST(ImportMailsTest, MakesTheMailFolderWithItsParentsOrFailsOnAFileInTheWay)
{
    const TempDir dir;
    const ImportResult made = Import(kArchive, dir.File("lists/garden/mail"));
    EXPECT_TRUE(made.ok());
    EXPECT_EQ(made.imported, 3u);

    WriteFile(dir.File("taken"), "a file");
    const ImportResult blocked = Import(kArchive, dir.File("taken"));
    ASSERT_TRUE(blocked.failure);
    EXPECT_EQ(blocked.failure->path, dir.File("taken"));
    EXPECT_EQ(ReadFile(dir.File("taken")), "a file");
}

TEST(ImportMailsTest, AMailThatCannotBeWrittenStopsTheImportWithoutACutFile)
{
    const TempDir dir;
    const std::string big(4000, 'x');
    WriteFile(dir.File("box.mbox"), MboxMail("a@example.jp", "Subject: small\n\nbody\n") +
                                        MboxMail("b@example.jp", "Subject: big\n\n" + big + "\n") +
                                        MboxMail("c@example.jp", "Subject: small too\n\nbody\n"));
    // A file size limit fails the big mail's writing as a full disk would.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const ImportResult result = Import(dir.File("box.mbox"), dir.File("mail"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.imported, 1u);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, dir.File("mail") + "/00002.alm");
    EXPECT_EQ(result.problems[0].reason, "cannot be written: File too large; the import stopped there");
    EXPECT_EQ(NamesIn(dir.File("mail")), std::vector<std::string>{"00001.alm"});
}

TEST(ImportMailsTest, StopsBeforeTheNextMailWhenAsked)
{
    const TempDir dir;
    StopFlag stop{false};
    ProgressHook progress([&](std::size_t report) { stop = report == 2; });
    const ImportResult result = ImportMails(kArchive, dir.File("mail"), {}, progress, stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.imported, 2u);
    EXPECT_EQ(NamesIn(dir.File("mail")), (std::vector<std::string>{"00001.alm", "00002.alm"}));
}

TEST(ImportMailsTest, ReportsProgressBeforeEachMail)
{
    const TempDir dir;
    const fs::path source = dir.path() / "saved";
    fs::create_directory(source);
    for (const char* name : {"1.eml", "2.eml", "3.eml"})
        WriteFile((source / name).string(), std::string("Subject: ") + name + "\n\n");
    ProgressHook files;
    const StopFlag stop{false};
    ImportMails(source.string(), dir.File("a"), {}, files, stop);
    EXPECT_EQ(files.ranges, (std::vector<std::pair<int, int>>{{0, 3}}));
    EXPECT_EQ(files.positions, (std::vector<int>{0, 1, 2}));

    ProgressHook mbox;
    ImportMails(kArchive, dir.File("b"), {}, mbox, stop);
    ASSERT_EQ(mbox.ranges.size(), 1u);
    EXPECT_EQ(mbox.positions.size(), 3u);
    EXPECT_TRUE(std::is_sorted(mbox.positions.begin(), mbox.positions.end()));
}

TEST(ImportReportTest, SummaryCountsWithThousandsSeparators)
{
    ImportResult result;
    result.source = ImportSource::Maildir;
    result.imported = 1234;
    result.alreadyThere = 56;
    EXPECT_EQ(ImportSummary(result), "1,234 mails imported, 56 already there");
    result.imported = 1;
    result.alreadyThere = 1000000;
    EXPECT_EQ(ImportSummary(result), "1 mail imported, 1,000,000 already there");

    // An mbox also says how many quoted lines lost a ">", and as what.
    result.source = ImportSource::Mbox;
    result.unquotedLines = 73;
    EXPECT_EQ(ImportSummary(result), "1 mail imported, 1,000,000 already there, 73 \">From \" lines unquoted as mboxrd");
    result.mboxVariant = MboxVariant::Mboxo;
    result.unquotedLines = 1;
    EXPECT_EQ(ImportSummary(result), "1 mail imported, 1,000,000 already there, 1 \">From \" line unquoted as mboxo");
}

TEST(ImportReportTest, NamesEachLinkPassedOverAsANotice)
{
    ImportResult result;
    result.passedLinks = {"Maildir/cur/x", "saved/b.eml"};
    Problems notices;
    AddImportNotices(result, notices);
    EXPECT_EQ(notices, (Problems{{.kind = ProblemKind::LinkPassedOver, .path = "Maildir/cur/x"},
                                 {.kind = ProblemKind::LinkPassedOver, .path = "saved/b.eml"}}));
    EXPECT_TRUE(result.ok());
}

TEST(ImportReportTest, ListsTheFailureEachProblemAndAStop)
{
    ImportResult result;
    result.failure = platform::FileProblem{"box.mbox", "Permission denied"};
    result.problems.push_back({"saved/a.eml", "Input/output error"});
    result.stopped = true;
    Problems problems;
    AddImportProblems(result, problems);
    EXPECT_EQ(problems,
              (Problems{{.kind = ProblemKind::ImportFailed, .path = "box.mbox", .reason = "Permission denied"},
                        {.kind = ProblemKind::ImportFileProblem, .path = "saved/a.eml", .reason = "Input/output error"},
                        {.kind = ProblemKind::ImportStopped}}));
}

}  // namespace
}  // namespace postloom
