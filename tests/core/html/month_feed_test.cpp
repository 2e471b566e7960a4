// The month pages and the Atom feed of a modern site: which mails each
// shows, how they follow the mails from run to run, and what they leave
// behind when mails lose their pages.

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/modern/atom_feed.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/month_pages.h"
#include "core/html/site_record.h"
#include "core/platform/local_time.h"
#include "core/text/codec.h"

#include "core/platform/job_control.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <random>
#include <regex>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

// The time zone of the test, put back afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope()
    {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    std::optional<std::string> old_;
};

// A record's date for a Greenwich wall-clock time, as the reader makes it.
std::int32_t RecordDate(int year, int month, int day, int hour, int minute)
{
    return platform::MakeLocalTime(year, month, day, hour, minute, 0);
}

std::vector<std::string> Matches(const std::string& text, const std::string& pattern)
{
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

// Mails in "mails", index in "web", pages in "web/pages", modern style.
class MonthFeedTest : public ::testing::Test {
protected:
    MonthFeedTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        settings.MailPath = "pages";
        settings.MailExt = "*.*";
        settings.PageStyle = 1;
        settings.HideAddresses = 1;
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web" / "pages");
        project = tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
    }

    MailRecord& AddMail(const std::string& fileName, const std::string& subject, std::int32_t date,
                        const std::string& body = "text\n")
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = Sjis(subject);
        mail->from = Sjis("山田 太郎 <taro@example.jp>");
        mail->messageId = "<" + fileName + "@example.jp>";
        mail->date = date;
        mail->orderKey = date;
        WriteFile(dir.File("mails/" + fileName), Crlf(Sjis("Subject: x\n\n" + body)));
        settings.mailList.push_back(std::move(mail));
        const auto index = static_cast<std::uint32_t>(settings.mailList.size() - 1);
        tree.Insert(fileName, 0, index, project, ThreadTree::Place::Last);
        return *settings.mailList.back();
    }

    MailPageResult Run()
    {
        const SitePlan plan(settings, dir.path().string());
        NoProgress progress;
        WriteIndexPage(settings, dir.path().string(), plan, tree, progress);
        StopFlag stop{false};
        MailPageResult result = WriteMailPages(settings, dir.path().string(), plan, progress, stop, {.threads = 1});
        return result;
    }

    std::string Web(const std::string& name) const { return dir.File("web/" + name); }
    bool Exists(const std::string& name) const { return fs::exists(dir.path() / "web" / name); }
    // The ids of the entries (the feed's own stands before the first).
    std::vector<std::string> FeedIds() const
    {
        return Matches(ReadFile(Web("feed.atom")), "<entry>\r\n<title>[^<]*</title>\r\n<id>([^<]*)</id>");
    }

    TempDir dir;
    ProjectSettings settings;
    ThreadTree tree;
    TreeItem project = kNoItem;
};

TEST(MonthOfMail, FollowsTheShownDateAcrossTimeZoneChanges)
{
    // Every half hour around both changes of 2024 and the month ends near
    // them: the month is always the one of the date the pages show.
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Tokyo"}) {
        const ZoneScope scope(zone);
        for (const auto& [month, first, last] : {std::tuple{3, 28, 31}, std::tuple{10, 25, 31}, std::tuple{11, 1, 4}}) {
            for (int day = first; day <= last; ++day) {
                for (int minutes = 0; minutes < 24 * 60; minutes += 30) {
                    MailRecord mail;
                    mail.date = RecordDate(2024, month, day, minutes / 60, minutes % 60);
                    const std::string shown = modern::DateHtml(mail, true);
                    ASSERT_FALSE(shown.empty());
                    const std::string expected = shown.substr(shown.find('"') + 1, 7);
                    ASSERT_EQ(modern::MonthOf(mail), expected) << zone << " " << shown;
                }
            }
        }
    }
    MailRecord undated;
    EXPECT_FALSE(modern::MonthOf(undated));
}

TEST_F(MonthFeedTest, MonthPagesSplitAtTheShownMonthBoundary)
{
    const ZoneScope scope("Europe/Berlin");
    // Shown nine hours ahead of Greenwich: 23:30 on 31 March and 00:30 on
    // 1 April, the day the clocks went forward.
    AddMail("late.alm", "三月最後", RecordDate(2024, 3, 31, 14, 30));
    AddMail("early.alm", "四月最初", RecordDate(2024, 3, 31, 15, 30));
    AddMail("first.alm", "三月最初", RecordDate(2024, 2, 29, 15, 0));
    const MailPageResult result = Run();
    EXPECT_TRUE(result.pagesNotWritten.empty());

    const std::string march = ReadFile(Web("months/2024-03.html"));
    EXPECT_EQ(Matches(march, "<a href=\"\\.\\./pages/([a-z]+)\\.html\">"), (std::vector<std::string>{"first", "late"}));
    EXPECT_NE(march.find("<time datetime=\"2024-03-31T23:30\">2024/03/31 23:30</time>"), std::string::npos);
    EXPECT_NE(march.find("<span class=\"meta\">山田 太郎</span>"), std::string::npos);
    const std::string april = ReadFile(Web("months/2024-04.html"));
    EXPECT_EQ(Matches(april, "<a href=\"\\.\\./pages/([a-z]+)\\.html\">"), (std::vector<std::string>{"early"}));

    const std::string index = ReadFile(Web("months/index.html"));
    EXPECT_EQ(Matches(index, "<li><a href=\"([^\"]+)\">"), (std::vector<std::string>{"2024-04.html", "2024-03.html"}));
    EXPECT_NE(index.find("2024年3月</a> <span class=\"meta\">2通</span>"), std::string::npos);
    EXPECT_FALSE(Exists("months/undated.html"));

    const std::string indexPage = ReadFile(Web("index.html"));
    EXPECT_NE(indexPage.find("<link rel=\"alternate\" type=\"application/atom+xml\""), std::string::npos);
    EXPECT_NE(indexPage.find("<a href=\"months/index.html\">"), std::string::npos);
}

TEST_F(MonthFeedTest, UndatedMailsHaveAPageOfTheirOwnAndNoFeedEntry)
{
    AddMail("dated.alm", "日付あり", RecordDate(2023, 12, 1, 0, 0));
    AddMail("undated.alm", "日付なし", 0);
    Run();
    const std::string undated = ReadFile(Web("months/undated.html"));
    EXPECT_EQ(Matches(undated, "<a href=\"\\.\\./pages/([a-z]+)\\.html\">"), (std::vector<std::string>{"undated"}));
    EXPECT_EQ(undated.find("<time"), std::string::npos);
    EXPECT_EQ(Matches(ReadFile(Web("months/index.html")), "<li><a href=\"([^\"]+)\">"),
              (std::vector<std::string>{"2023-12.html", "undated.html"}));
    EXPECT_EQ(FeedIds(), (std::vector<std::string>{"mid:dated.alm@example.jp"}));
}

TEST_F(MonthFeedTest, FeedHoldsTheNewestMailsWithIdsThatLastAcrossRuns)
{
    for (int i = 0; i < 52; ++i)
        AddMail("m" + std::to_string(100 + i) + ".alm", "件名", RecordDate(2024, 1, 1, 0, 0) + i * 3600,
                "\n\n連絡は hanako@example.jp まで\n二行目\n三行目\n四行目\n五行目\n");
    // Without a Message-Id, and with one another mail holds too.
    settings.mailList[51]->messageId.clear();
    settings.mailList[50]->messageId = settings.mailList[49]->messageId;
    Run();
    const std::string feed = ReadFile(Web("feed.atom"));
    EXPECT_TRUE(text::IsValidUtf8(feed));
    std::vector<std::string> ids = FeedIds();
    ASSERT_EQ(ids.size(), modern::kFeedEntries);
    EXPECT_TRUE(ids[0].starts_with("tag:postloom.invalid,2000:")) << ids[0];
    EXPECT_TRUE(ids[0].ends_with("/m151.html")) << ids[0];
    EXPECT_EQ(ids[1], "mid:m149.alm@example.jp");
    EXPECT_TRUE(ids[2].ends_with("/m149.html")) << ids[2];
    EXPECT_EQ(ids.back(), "mid:m102.alm@example.jp");
    EXPECT_NE(feed.find("<author><name>山田 太郎</name></author>"), std::string::npos);
    EXPECT_NE(feed.find("<summary type=\"text\">連絡は hanako@… まで\r\n二行目\r\n三行目\r\n四行目</summary>"),
              std::string::npos);
    EXPECT_EQ(feed.find("hanako@example.jp"), std::string::npos);
    EXPECT_NE(feed.find("<link rel=\"alternate\" type=\"text/html\" href=\"pages/m151.html\"/>"), std::string::npos);

    // A newer mail joins: the others keep their ids, and an unchanged site
    // leaves the feed as it stands.
    AddMail("m200.alm", "新着", RecordDate(2024, 2, 1, 0, 0));
    Run();
    const std::vector<std::string> later = FeedIds();
    ASSERT_EQ(later.size(), modern::kFeedEntries);
    EXPECT_EQ(later[0], "mid:m200.alm@example.jp");
    EXPECT_EQ(std::vector<std::string>(later.begin() + 1, later.end()),
              std::vector<std::string>(ids.begin(), ids.end() - 1));
    const auto written = fs::last_write_time(Web("feed.atom"));
    const auto monthWritten = fs::last_write_time(Web("months/2024-01.html"));
    fs::last_write_time(Web("feed.atom"), written - std::chrono::hours(1));
    fs::last_write_time(Web("months/2024-01.html"), monthWritten - std::chrono::hours(1));
    const SiteRecord before = *LoadSiteRecord(Web(".postloom-site"), dir.File("web/pages"));
    ASSERT_EQ(before.views.size(), 4u);
    // The record knows the files by their stamps: set them back to match.
    SiteRecord touched = before;
    touched.views.at("feed.atom").file = *platform::OutputStamp(Web("feed.atom"));
    touched.views.at("months/2024-01.html").file = *platform::OutputStamp(Web("months/2024-01.html"));
    ASSERT_FALSE(SaveSiteRecord(Web(".postloom-site"), touched));
    Run();
    EXPECT_EQ(fs::last_write_time(Web("feed.atom")), written - std::chrono::hours(1));
    EXPECT_EQ(fs::last_write_time(Web("months/2024-01.html")), monthWritten - std::chrono::hours(1));
}

// The feed's mails as first written: every dated mail with a page whose
// date can be shown, newest first, the first kFeedEntries of them.
std::vector<std::size_t> PlainFeedMails(const ProjectSettings& settings, const SitePlan& plan)
{
    std::vector<std::size_t> mails;
    for (std::size_t i = 0; i < settings.mailList.size(); ++i) {
        const std::optional<std::tm> tm = platform::BreakDownLocal(settings.mailList[i]->date);
        if (plan.HasPage(i) && settings.mailList[i]->date != 0 && tm && tm->tm_year + 1900 >= 1 &&
            tm->tm_year + 1900 <= 9999)
            mails.push_back(i);
    }
    std::stable_sort(mails.begin(), mails.end(), [&](std::size_t a, std::size_t b) {
        const std::int32_t dateA = settings.mailList[a]->date;
        const std::int32_t dateB = settings.mailList[b]->date;
        return dateA != dateB ? dateA > dateB : a > b;
    });
    mails.resize(std::min(mails.size(), modern::kFeedEntries));
    return mails;
}

TEST_F(MonthFeedTest, FeedMailsAreTheNewestWithPagesOnRandomArchives)
{
    std::mt19937 random(21);
    const std::array<std::int32_t, 6> edges{0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), RecordDate(2024, 1, 1, 0, 0)};
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 60; ++i) {
            const std::int32_t date = random() % 4 == 0 ? edges[random() % edges.size()]
                                                        : RecordDate(2024, 1, 1, 0, 0) + static_cast<int>(random() % 90) * 3600;
            MailRecord& mail = AddMail("r" + std::to_string(round * 100 + i) + ".alm", "件名", date);
            mail.outputHtml = random() % 5 == 0 ? 0 : 1;
        }
        const SitePlan plan(settings, dir.path().string());
        EXPECT_EQ(modern::FeedMails(settings, plan), PlainFeedMails(settings, plan)) << "round " << round;
    }
}

TEST_F(MonthFeedTest, MailsThatLoseTheirPagesLeaveMonthsAndFeed)
{
    AddMail("jan.alm", "一月", RecordDate(2024, 1, 10, 0, 0));
    MailRecord& feb = AddMail("feb.alm", "二月", RecordDate(2024, 2, 10, 0, 0));
    AddMail("nodate.alm", "日付なし", 0);
    Run();
    ASSERT_TRUE(Exists("months/2024-02.html"));
    ASSERT_TRUE(Exists("months/undated.html"));

    feb.outputHtml = 0;
    fs::remove(dir.File("mails/nodate.alm"));
    const MailPageResult result = Run();
    EXPECT_TRUE(result.filesNotRemoved.empty());
    // The mail pages are told apart from the month pages in the counts.
    EXPECT_EQ(result.pagesRemoved, 2);
    EXPECT_EQ(result.viewsRemoved, 2);
    EXPECT_FALSE(Exists("months/2024-02.html"));
    EXPECT_FALSE(Exists("months/undated.html"));
    EXPECT_EQ(Matches(ReadFile(Web("months/index.html")), "<li><a href=\"([^\"]+)\">"),
              (std::vector<std::string>{"2024-01.html"}));
    EXPECT_EQ(FeedIds(), (std::vector<std::string>{"mid:jan.alm@example.jp"}));

    // A page the user changed since is the user's: it stays.
    WriteFile(Web("months/2024-01.html"), "mine");
    settings.PageStyle = 0;
    Run();
    EXPECT_FALSE(Exists("feed.atom"));
    EXPECT_FALSE(Exists("months/index.html"));
    EXPECT_EQ(ReadFile(Web("months/2024-01.html")), "mine");
    EXPECT_TRUE(LoadSiteRecord(Web(".postloom-site"), dir.File("web/pages"))->views.empty());
}

TEST_F(MonthFeedTest, ARerunWritesWhatAFullRunWrites)
{
    AddMail("a.alm", "一", RecordDate(2024, 1, 10, 0, 0));
    MailRecord& b = AddMail("b.alm", "二", RecordDate(2024, 2, 10, 0, 0));
    Run();
    AddMail("c.alm", "三", RecordDate(2024, 1, 20, 0, 0));
    b.outputHtml = 0;
    Run();
    const std::vector<std::string> names = {"feed.atom", "months/index.html", "months/2024-01.html"};
    std::vector<std::string> rerun;
    for (const std::string& name : names)
        rerun.push_back(ReadFile(Web(name)));
    EXPECT_FALSE(Exists("months/2024-02.html"));

    fs::remove_all(dir.path() / "web");
    fs::create_directories(dir.path() / "web" / "pages");
    Run();
    for (std::size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(ReadFile(Web(names[k])), rerun[k]) << names[k];
}

// A re-run makes a month page again only when something it shows changed:
// a mail's subject, or the time the time zone gives its date.
TEST_F(MonthFeedTest, AMonthPageIsMadeAgainOnlyWhenWhatItShowsChanged)
{
    const ZoneScope scope("UTC0");
    AddMail("jan.alm", "一月", RecordDate(2024, 1, 10, 0, 0));
    MailRecord& feb = AddMail("feb.alm", "二月", RecordDate(2024, 2, 10, 0, 0));
    Run();
    const auto stampOf = [&](const std::string& view) {
        return LoadSiteRecord(Web(".postloom-site"), dir.File("web/pages"))->views.at(view).file;
    };
    const platform::FileStamp january = stampOf("months/2024-01.html");

    feb.subject = Sjis("二月の件");
    Run();
    EXPECT_EQ(stampOf("months/2024-01.html"), january);
    EXPECT_NE(ReadFile(Web("months/2024-02.html")).find("二月の件"), std::string::npos);

    // An hour later everywhere, in the same months.
    const ZoneScope later("UTC-1");
    Run();
    EXPECT_NE(ReadFile(Web("months/2024-01.html")).find("2024/01/10 10:00"), std::string::npos);
    EXPECT_NE(ReadFile(Web("months/2024-02.html")).find("2024/02/10 10:00"), std::string::npos);
}

TEST_F(MonthFeedTest, AMailPageInTheMonthsFolderKeepsItsName)
{
    settings.MailPath = "months";
    fs::create_directories(dir.path() / "web" / "months");
    AddMail("index.alm", "名前が同じ", RecordDate(2024, 1, 10, 0, 0));
    const MailPageResult result = Run();
    ASSERT_EQ(result.pagesNotWritten.size(), 1u);
    EXPECT_EQ(result.pagesNotWritten[0].path, Web("months/index.html"));
    EXPECT_NE(ReadFile(Web("months/index.html")).find("<body class=\"mail\">"), std::string::npos);
    EXPECT_TRUE(Exists("months/2024-01.html"));
}

TEST(SiteRecordViews, ReadBackAndRefuseForeignPaths)
{
    SiteRecord record{"/site/pages", {}};
    record.views["feed.atom"] = RecordedView{"abc", {10, 20}};
    record.views["months/2024-01.html"] = RecordedView{"def", {30, 40}};
    EXPECT_EQ(ParseSiteRecord(FormatSiteRecord(record)), record);

    for (const char* path : {"../feed.atom", "months/../index.html", "index.html", "months/a/b.html", "months/"}) {
        SiteRecord foreign{"/site/pages", {}};
        foreign.views[path] = RecordedView{"abc", {1, 2}};
        EXPECT_FALSE(ParseSiteRecord(FormatSiteRecord(foreign))) << path;
    }
}

}  // namespace
}  // namespace postloom
