// The record of the site reads back as written, and any damage makes it no
// record at all (so that nothing is removed on its word).

#include "core/html/site_record.h"

#include <gtest/gtest.h>

namespace postloom {
namespace {

SiteRecord Sample()
{
    SiteRecord record;
    record.pageFolder = "/srv/www/list pages";
    record.pages["00001.html"] = {"00001.alm", {541, 1796772912804851251}, "8e9a", {863, 1796772913056851251}, {}, false};
    // CP932 names, a blank and a percent sign pass through the escapes.
    record.pages["\x93\xb9 %.html"] = {"\x93\xb9 %.eml",
                                      {1, 2},
                                      "ab",
                                      {3, 4},
                                      {{"\x93\xb9 %_files/\x8f\x87 a.pdf", {5, 6}}, {"\x93\xb9 %_files/b", {7, 8}}},
                                      true};
    return record;
}

TEST(SiteRecordTest, ReadsBackWhatWasWritten)
{
    const SiteRecord record = Sample();
    const std::string text = FormatSiteRecord(record);
    EXPECT_EQ(text.find("\x93\xb9 %"), std::string::npos) << "names are escaped";
    // Records written by earlier runs spell names the same way.
    EXPECT_NE(text.find("\npage \x93\xb9%20%25.html \x93\xb9%20%25.eml 1 2 ab 3 4 1\n"), std::string::npos);
    EXPECT_EQ(ParseSiteRecord(text), record);
    EXPECT_EQ(ParseSiteRecord(FormatSiteRecord(SiteRecord{"/x", {}})), (SiteRecord{"/x", {}}));
}

TEST(SiteRecordTest, AnyDamageMakesItNoRecord)
{
    const std::string text = FormatSiteRecord(Sample());
    // Cut anywhere, or one byte changed anywhere.
    for (std::size_t at = 0; at < text.size(); ++at) {
        EXPECT_FALSE(ParseSiteRecord(text.substr(0, at))) << "cut at " << at;
        std::string changed = text;
        changed[at] = static_cast<char>(changed[at] ^ 0x01);
        EXPECT_FALSE(ParseSiteRecord(changed)) << "changed at " << at;
    }
    EXPECT_FALSE(ParseSiteRecord(""));
    EXPECT_FALSE(ParseSiteRecord("<HTML>\n"));
}

TEST(SiteRecordTest, RecordThatNamesFilesOutsideItsFoldersIsRefused)
{
    // Whole and with a right digest, but naming what no run writes: a page
    // outside the page folder, a page that is no page, an attachment
    // outside its page's folder.
    for (const auto& [page, attachment] : std::vector<std::pair<std::string, std::string>>{
             {"../index.html", "x_files/a"},
             {"sample.plp", "x_files/a"},
             {"a.html", "b_files/a"},
             {"a.html", "a_files/../../etc/passwd"},
             {"a.html", "a_files/"},
             {"a.html", "a.html"}}) {
        SiteRecord record{"/w", {}};
        record.pages[page] = {"a.alm", {}, "d", {}, {{attachment, {}}}, false};
        EXPECT_FALSE(ParseSiteRecord(FormatSiteRecord(record))) << page << " " << attachment;
    }
    EXPECT_EQ(AttachmentFolderOf("a.b.html"), "a.b_files");
    // A mail file name without a dot has the page ".html".
    SiteRecord noDot{"/w", {}};
    noDot.pages[".html"] = {"abc", {}, "d", {}, {{"_files/a", {}}}, false};
    EXPECT_EQ(ParseSiteRecord(FormatSiteRecord(noDot)), noDot);
}

}  // namespace
}  // namespace postloom
