// Pages of MIME mail with decoding on: the texts as mail programs show them,
// attachments saved beside the page, and the declared charset; with both
// settings off, the pages of before.

#include "core/html/mail_page_writer.h"
#include "core/html/mime_page_body.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

class SilentProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int) override {}
};

const std::string kHead = "<!-- Created Postloom Ver.1.00 by Quillwright-->\n<HTML>\n<HEAD>\n";
const std::string kMeta = "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n";

// "こんにちは 😀" in UTF-8, base64.
const std::string kBase64Mail =
    "From: Hanako <hanako@example.jp>\n"
    "Subject: greeting\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=UTF-8\n"
    "Content-Transfer-Encoding: base64\n"
    "\n"
    "44GT44KT44Gr44Gh44GvIPCfmIAK\n";

// A text, then an attachment whose name tries to climb out of its folder.
const std::string kAttachmentMail =
    "From: Taro <taro@example.jp>\n"
    "Subject: report\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"sep\"\n"
    "\n"
    "--sep\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "\n"
    "See the <file>.\n"
    "--sep\n"
    "Content-Type: application/octet-stream; name=\"../../x\"\n"
    "Content-Disposition: attachment; filename=\"../../x\"\n"
    "Content-Transfer-Encoding: base64\n"
    "\n"
    "AAECAwQ=\n"
    "--sep--\n";

class MimePagesTest : public ::testing::Test {
protected:
    MimePagesTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web");
    }

    void AddMail(const std::string& fileName, const std::string& subject, std::string_view fileText)
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = subject;
        WriteFile(dir.File("mails/" + fileName), Crlf(fileText));
        settings.mailList.push_back(std::move(mail));
    }

    MailPageResult Run()
    {
        SilentProgress progress;
        const StopFlag stop{false};
        return WriteMailPages(settings, dir.path().string(), progress, stop, MailPageOptions{1});
    }

    std::string Page(std::string_view name) const { return ReadFile(dir.File("web/" + std::string(name))); }

    // The page of the only mail, written with decoding off and then on.
    std::pair<std::string, std::string> PageOffAndOn(std::string_view pageName)
    {
        settings.MimeDecode = 0;
        Run();
        const std::string off = Page(pageName);
        settings.MimeDecode = 1;
        fs::remove(Web(pageName));
        Run();
        return {off, Page(pageName)};
    }
    std::string Web(std::string_view name) const { return dir.File("web/" + std::string(name)); }

    TempDir dir;
    ProjectSettings settings;
};

// A UTF-8 text whose addresses are masked before it turns into CP932.
TEST_F(MimePagesTest, DecodedTextsHideTheirAddresses)
{
    AddMail("00001.alm", "reply",
            "From: Hanako <hanako@example.jp>\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"
            "山田 <taro@example.jp> さんは書きました:\n> 😀taro@example.jp\n");
    settings.MimeDecode = 1;
    settings.HideAddresses = 1;
    ASSERT_EQ(Run().pagesWritten, 1);
    EXPECT_NE(Page("00001.html").find(Crlf(Sjis("山田 &lt;taro@…&gt; さんは書きました:<BR>\n") +
                                           "&gt; &#x1F600;taro@\x81\x63<BR>\n")),
              std::string::npos);
}

TEST_F(MimePagesTest, WithBothSettingsOffMimeMailIsWrittenAsItStands)
{
    AddMail("00001.alm", "greeting", kBase64Mail);
    ASSERT_EQ(Run().pagesWritten, 1);
    EXPECT_EQ(Page("00001.html"), Crlf(kHead + "<TITLE>greeting</TITLE>\n</HEAD>\n<BODY>\n"
                                              "44GT44KT44Gr44Gh44GvIPCfmIAK<BR>\n</BODY>\n</HTML>\n"));
    EXPECT_FALSE(fs::exists(Web("00001_files")));
}

TEST_F(MimePagesTest, MailWithoutMimeHeadersIsWrittenAsBeforeWithDecodingOn)
{
    const std::string plain = "From: Taro <taro@example.jp>\nSubject: old\n\n" + Sjis("本文です\n=?ISO-2022-JP?B?x?=\n");
    AddMail("a.alm", "old", plain);
    const auto [off, on] = PageOffAndOn("a.html");
    EXPECT_EQ(on, off);
}

TEST_F(MimePagesTest, PlainShiftJisTextIsWrittenAsBeforeWithDecodingOn)
{
    // Old clients' text, with what only a reading of the file as it stands
    // keeps: a lone CR, a blank last line and an end-of-text byte.
    const std::string sjis = "From: Taro <taro@example.jp>\nSubject: x\nMIME-Version: 1.0\n"
                             "Content-Type: text/plain; charset=Shift_JIS\nContent-Transfer-Encoding: 8bit\n\n" +
                             Sjis("表示\ra\n\n") + "\x1a" + "after";
    AddMail("a.alm", "x", sjis);
    const auto [off, on] = PageOffAndOn("a.html");
    EXPECT_EQ(on, off);
    EXPECT_EQ(off.find("after"), std::string::npos);
}

TEST_F(MimePagesTest, DecodedTextKeepsWhatCp932CannotHoldAsCharacterReferences)
{
    settings.MimeDecode = 1;
    settings.MetaCharset = 1;
    AddMail("00001.alm", "greeting", kBase64Mail);
    ASSERT_EQ(Run().pagesWritten, 1);
    EXPECT_EQ(Page("00001.html"), Crlf(kHead + kMeta + "<TITLE>greeting</TITLE>\n</HEAD>\n<BODY>\n" +
                                       Sjis("こんにちは") + " &#x1F600;<BR>\n</BODY>\n</HTML>\n"));
}

TEST_F(MimePagesTest, AttachmentIsSavedBesideThePageAndNeverOutsideItsFolder)
{
    settings.MimeDecode = 1;
    AddMail("00012.alm", "report", kAttachmentMail);
    const MailPageResult result = Run();
    ASSERT_EQ(result.pagesWritten, 1);
    EXPECT_TRUE(result.attachmentsNotSaved.empty());

    const std::string page = Page("00012.html");
    EXPECT_NE(page.find("See the &lt;file&gt;.<BR>\r\n<HR>\r\n<A HREF=00012_files/"), std::string::npos) << page;
    EXPECT_NE(page.find("(application/octet-stream, 5 bytes)<BR>\r\n</BODY>"), std::string::npos) << page;

    // Exactly one file, in the page's folder, with the decoded bytes, not
    // executable; nothing was written above it.
    std::vector<fs::path> saved;
    for (const auto& entry : fs::directory_iterator(Web("00012_files")))
        saved.push_back(entry.path());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(ReadFile(saved.front().string()), std::string("\0\1\2\3\4", 5));
    EXPECT_EQ(fs::status(saved.front()).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
    EXPECT_FALSE(fs::exists(dir.path() / "web" / "x"));
    const std::string name = saved.front().filename().string();
    EXPECT_NE(page.find("<A HREF=00012_files/" + EncodeUrlStep(name) + ">"), std::string::npos);
}

// Parts that a browser or a server would run if saved under their own
// names: an HTML part without a name, names from RFC 2231 and RFC 2047, an
// upper-case extension, a script whose name needs escaping, and a PDF that
// keeps its name.
const std::string kActiveAttachmentsMail =
    "From: Taro <taro@example.jp>\n"
    "Subject: parts\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"sep\"\n"
    "\n"
    "--sep\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "\n"
    "Hello.\n"
    "--sep\n"
    "Content-Type: text/html; charset=us-ascii\n"
    "\n"
    "<script>alert(1)</script>\n"
    "--sep\n"
    "Content-Type: text/html; charset=UTF-8\n"
    "Content-Disposition: attachment; filename*=UTF-8''%E8%A9%A6%E9%A8%93.html\n"
    "\n"
    "<p>x</p>\n"
    "--sep\n"
    "Content-Type: image/svg+xml; name=\"=?UTF-8?B?5pS75pKDLnN2Zw==?=\"\n"
    "\n"
    "<svg/>\n"
    "--sep\n"
    "Content-Type: text/html; name=\"X.HTML\"\n"
    "\n"
    "<p>y</p>\n"
    "--sep\n"
    "Content-Type: application/javascript\n"
    "Content-Disposition: attachment; filename=\"a<b>.php.js\"\n"
    "\n"
    "alert(2)\n"
    "--sep\n"
    "Content-Type: application/pdf; name=\"report.pdf\"\n"
    "\n"
    "%PDF\n"
    "--sep--\n";

TEST_F(MimePagesTest, AttachmentsThatWouldRunAreSavedUnderPassiveNamesAndShowTheSendersName)
{
    settings.MimeDecode = 1;
    AddMail("00012.alm", "parts", kActiveAttachmentsMail);
    const MailPageResult result = Run();
    ASSERT_EQ(result.pagesWritten, 1);
    EXPECT_TRUE(result.attachmentsNotSaved.empty());

    struct Expected {
        std::string file;   // UTF-8, as on disk
        std::string shown;  // the link text, CP932 and escaped
    };
    const Expected expected[] = {
        {"part-1.txt", "part-1.txt"},
        {"試験_html.txt", Sjis("試験.html")},
        {"攻撃_svg.bin", Sjis("攻撃.svg")},
        {"X_HTML.txt", "X.HTML"},
        {"a<b>_php_js.bin", "a&lt;b&gt;.php.js"},
        {"report.pdf", "report.pdf"},
    };
    std::set<std::string> onDisk;
    for (const auto& entry : fs::directory_iterator(Web("00012_files"))) {
        onDisk.insert(entry.path().filename().string());
        EXPECT_EQ(entry.status().permissions() & (fs::perms::owner_exec | fs::perms::group_exec |
                                                  fs::perms::others_exec),
                  fs::perms::none);
    }
    std::set<std::string> expectedFiles;
    for (const Expected& e : expected)
        expectedFiles.insert(e.file);
    EXPECT_EQ(onDisk, expectedFiles);
    EXPECT_EQ(ReadFile(Web("00012_files/part-1.txt")), "<script>alert(1)</script>");

    const std::string page = Page("00012.html");
    for (const Expected& e : expected) {
        EXPECT_NE(page.find("<A HREF=00012_files/" + EncodeUrlStep(e.file) + ">" + e.shown + "</A>"),
                  std::string::npos)
            << e.file << "\n"
            << page;
    }
    EXPECT_EQ(page.find(".html>"), std::string::npos);
    EXPECT_EQ(page.find(".svg>"), std::string::npos);
}

TEST_F(MimePagesTest, RerunLeavesUnchangedAttachmentsAloneAndTakesAnExecuteBitAway)
{
    settings.MimeDecode = 1;
    AddMail("00012.alm", "report", kAttachmentMail);
    Run();
    const fs::path saved = fs::directory_iterator(Web("00012_files"))->path();
    struct stat before {};
    ASSERT_EQ(::stat(saved.c_str(), &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const MailPageResult again = Run();
    EXPECT_EQ(again.pagesUnchanged, 1);
    struct stat after {};
    ASSERT_EQ(::stat(saved.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    fs::permissions(saved, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add);
    Run();
    EXPECT_EQ(fs::status(saved).permissions() & (fs::perms::owner_exec | fs::perms::group_exec), fs::perms::none);
}

TEST_F(MimePagesTest, AttachmentFolderThatIsALinkIsReportedAndNotWrittenThrough)
{
    settings.MimeDecode = 1;
    AddMail("00012.alm", "report", kAttachmentMail);
    fs::create_directories(dir.path() / "elsewhere");
    fs::create_directory_symlink(dir.path() / "elsewhere", Web("00012_files"));
    const MailPageResult result = Run();
    EXPECT_EQ(result.pagesWritten, 1);
    ASSERT_EQ(result.attachmentsNotSaved.size(), 1u);
    EXPECT_EQ(result.attachmentsNotSaved.front().path, Web("00012_files"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "elsewhere"));
}

TEST_F(MimePagesTest, TemplatePageShowsTheDecodedBodyWhereverItsTagStands)
{
    settings.MimeDecode = 1;
    settings.MetaCharset = 1;
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "t.html";
    WriteFile(dir.File("t.html"), "<HTML><HEAD></HEAD><Postloom Body><HR><Postloom Body></HTML>");
    AddMail("00001.alm", "greeting", kBase64Mail);
    ASSERT_EQ(Run().pagesWritten, 1);
    const std::string body = Sjis("こんにちは") + " &#x1F600;<BR>\r\n";
    // A template page declares what its template declares, nothing more.
    EXPECT_EQ(Page("00001.html"), "<HTML><HEAD></HEAD>" + body + "<HR>" + body + "</HTML>");
}

// A mail of a few megabytes: long texts with markup characters in two
// charsets (one with characters CP932 cannot hold) and a base64 attachment
// of "abc" repeated.
std::string LargeMimeMail()
{
    std::string jis;
    while (jis.size() < 300000)
        jis += "\x1b$B$\"$$\x1b(B <b>text</b> & \"more\"\n";
    std::string utf8;
    while (utf8.size() < 300000)
        utf8 += "\xe3\x81\x93\xf0\x9f\x98\x80<";
    std::string attachment;
    for (int line = 0; line < 5000; ++line)
        attachment += "YWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJj\n";
    return "From: Taro <taro@example.jp>\nSubject: large\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"sep\"\n\n"
           "--sep\nContent-Type: text/plain; charset=ISO-2022-JP\n\n" + jis +
           "--sep\nContent-Type: text/plain; charset=UTF-8\n\n" + utf8 +
           "\n--sep\nContent-Type: application/octet-stream; name=\"abc.bin\"\n"
           "Content-Transfer-Encoding: base64\n\n" + attachment + "--sep--\n";
}

// The body as the page of the mail's bytes held in memory shows it, with
// the page's CR LF line ends.
std::string BodyHeldInMemory(const std::string& fileBytes, std::string_view pageName)
{
    const std::optional<MimePageBody> body = MimePageBody::FromMailFile(fileBytes, pageName);
    EXPECT_TRUE(body);
    std::string page;
    std::string text;
    EXPECT_TRUE(body->AppendTo(page, [&](std::string_view piece) { text.append(piece); }));
    return Crlf(text + page);
}

// A mail too large to be held is decoded from its file piece by piece;
// its page and attachment are those of its bytes held in memory, and a
// second run finds both unchanged.
TEST_F(MimePagesTest, LargeMailGivesThePageAndFilesOfItsBytesHeldInMemory)
{
    settings.MimeDecode = 1;
    const std::string mail = LargeMimeMail();
    AddMail("00001.alm", "large", mail);
    const MailPageResult result = Run();
    ASSERT_EQ(result.pagesWritten, 1);
    EXPECT_TRUE(result.attachmentsNotSaved.empty());

    const std::string body = BodyHeldInMemory(Crlf(mail), "00001.html");
    EXPECT_NE(body.find("\r\n<HR>\r\n<A HREF=00001_files/abc.bin>abc.bin</A> (application/octet-stream, 285000 bytes)"),
              std::string::npos);
    EXPECT_NE(body.find(Sjis("こ") + "&#x1F600;&lt;" + Sjis("こ")), std::string::npos);
    const std::string page = Page("00001.html");
    EXPECT_TRUE(page == Crlf(kHead + "<TITLE>large</TITLE>\n</HEAD>\n<BODY>\n") + body + Crlf("</BODY>\n</HTML>\n"));
    std::string abc;
    while (abc.size() < 285000)
        abc += "abc";
    EXPECT_TRUE(ReadFile(Web("00001_files/abc.bin")) == abc);

    struct stat before {};
    ASSERT_EQ(::stat(Web("00001_files/abc.bin").c_str(), &before), 0);
    const MailPageResult again = Run();
    EXPECT_EQ(again.pagesUnchanged, 1);
    struct stat after {};
    ASSERT_EQ(::stat(Web("00001_files/abc.bin").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

// The same bytes read from the file: the same page text and files.
TEST_F(MimePagesTest, MailFromItsFileAndFromItsBytesGivesTheSamePageAndFiles)
{
    for (const std::string& mail : {LargeMimeMail(), kAttachmentMail, kBase64Mail}) {
        const std::string path = dir.File("mail.eml");
        WriteFile(path, mail);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        bool readFailed = false;
        const std::optional<MimePageBody> fromFile = MimePageBody::FromOpenFile(fd, "f.html", readFailed);
        ::close(fd);
        ASSERT_TRUE(fromFile);
        EXPECT_FALSE(readFailed);
        std::string page;
        std::string text;
        EXPECT_TRUE(fromFile->AppendTo(page, [&](std::string_view piece) { text.append(piece); }));
        EXPECT_TRUE(Crlf(text + page) == BodyHeldInMemory(mail, "f.html"));

        std::vector<platform::FileProblem> problems;
        fs::create_directories(dir.path() / "file" / "bytes");
        fromFile->SaveAttachments(dir.File("file/f.html"), problems);
        MimePageBody::FromMailFile(mail, "f.html")->SaveAttachments(dir.File("file/bytes/f.html"), problems);
        EXPECT_TRUE(problems.empty());
        if (fs::exists(dir.path() / "file" / "f_files")) {
            const std::vector<std::string> names = test::Names(dir.path() / "file" / "f_files");
            EXPECT_EQ(names, test::Names(dir.path() / "file" / "bytes" / "f_files"));
            for (const std::string& name : names)
                EXPECT_TRUE(ReadFile(dir.File("file/f_files/" + name)) == ReadFile(dir.File("file/bytes/f_files/" + name)));
        }
        fs::remove_all(dir.path() / "file");
    }
}

TEST_F(MimePagesTest, TemplateShowsTheBodyOfALargeMailWhereverItsTagStands)
{
    settings.MimeDecode = 1;
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "t.html";
    WriteFile(dir.File("t.html"), "<HTML><Postloom Body><HR><Postloom Body></HTML>");
    const std::string mail = LargeMimeMail();
    AddMail("00001.alm", "large", mail);
    ASSERT_EQ(Run().pagesWritten, 1);
    const std::string body = BodyHeldInMemory(Crlf(mail), "00001.html");
    EXPECT_TRUE(Page("00001.html") == "<HTML>" + body + "<HR>" + body + "</HTML>");
}

TEST(EncodeUrlStepTest, KeepsOnlyUnreservedBytes)
{
    EXPECT_EQ(EncodeUrlStep("a-b_c.d~9"), "a-b_c.d~9");
    EXPECT_EQ(EncodeUrlStep("a b/c%\"<>&"), "a%20b%2Fc%25%22%3C%3E%26");
    EXPECT_EQ(EncodeUrlStep("\xE6\x97\xA5"), "%E6%97%A5");
    EXPECT_EQ(EncodeUrlStep(std::string_view("\0x", 2)), "%00x");
}

}  // namespace
}  // namespace postloom
