#include "core/project/project_settings.h"
#include "core/text/cp932.h"

#include "setting_values.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace postloom {
namespace {

// The settings whose construction value is not 0 or empty.
const std::map<std::string_view, std::int64_t> kBuiltNumbers = {
    {"ToLower", 1},        {"DateFont", 3},          {"FromFont", 3},       {"DispIndexTitle", 1},
    {"TitleFontSize", 1},  {"TitlePosition", 1},     {"IndexBaseFontSize", 1}, {"MailWindowType", 1},
    {"DispLink", 1},       {"DispSubject", 1},       {"MailBaseFontSize", 1},
};

const std::map<std::string_view, std::string_view> kDefaultInsertTags = {
    {"IndexInsertTag", "Postloom Tree"},
    {"MailBodyInsertTag", "Postloom Body"},
    {"MailSubjectInsertTag", "Postloom Subject"},
    {"MailParentInsertTag", "A HREF=Postloom Parent"},
    {"MailChildInsertTag", "A HREF=Postloom Child"},
    {"MailNextInsertTag", "A HREF=Postloom Next"},
    {"MailPrevInsertTag", "A HREF=Postloom Prev"},
    {"MailIndexInsertTag", "A HREF=Postloom Index"},
};

std::string TextOf(const ProjectSettings& s, const SettingDefinition& def)
{
    return s.*std::get<std::string ProjectSettings::*>(def.member);
}

std::int64_t NumberOf(const ProjectSettings& s, const SettingDefinition& def)
{
    if (const auto* m = std::get_if<std::uint32_t ProjectSettings::*>(&def.member))
        return s.**m;
    return s.*std::get<std::int32_t ProjectSettings::*>(def.member);
}

TEST(SettingTableTest, HoldsTheNinetySettingsInFileOrderWithMatchingTypes)
{
    const auto& table = SettingTable();
    EXPECT_EQ("Title", table.front().key);
    EXPECT_EQ("CutMLTitle", table[5].key);
    EXPECT_EQ("DateFont", table[17].key);
    EXPECT_EQ("IndexBGColorRGB", table[28].key);
    EXPECT_EQ("IndexInsertTag", table[50].key);
    EXPECT_EQ("MailLeftMargin", table[77].key);
    EXPECT_EQ("MailIndexInsertTag", table.back().key);
    std::set<std::string> keys;
    for (const SettingDefinition& def : table) {
        SCOPED_TRACE(def.key);
        EXPECT_TRUE(keys.insert(text::ToLowerAscii(def.key)).second);
        switch (def.kind) {
        case SettingKind::Text:
            EXPECT_TRUE(std::holds_alternative<std::string ProjectSettings::*>(def.member));
            break;
        case SettingKind::Colour:
            EXPECT_TRUE(def.key.ends_with("RGB"));
            EXPECT_TRUE(std::holds_alternative<std::uint32_t ProjectSettings::*>(def.member));
            break;
        case SettingKind::Integer:
        case SettingKind::Flag:
            EXPECT_TRUE(std::holds_alternative<std::int32_t ProjectSettings::*>(def.member));
            break;
        }
    }
}

TEST(SettingTableTest, FindsKeysWithAsciiCaseIgnoredAndNothingElse)
{
    ASSERT_NE(nullptr, FindSetting("indexbgcolorrgb"));
    EXPECT_EQ("IndexBGColorRGB", FindSetting("INDEXBGCOLORRGB")->key);
    EXPECT_EQ(nullptr, FindSetting("Title "));
    EXPECT_EQ(nullptr, FindSetting(""));
    EXPECT_EQ(nullptr, FindSetting("PostloomVer"));
    EXPECT_EQ(nullptr, FindSetting("MailData"));
}

TEST(ProjectSettingsTest, ConstructionGivesBuiltValuesAndEmptyInsertTags)
{
    const ProjectSettings s;
    for (const SettingDefinition& def : SettingTable()) {
        SCOPED_TRACE(def.key);
        if (def.kind == SettingKind::Text) {
            EXPECT_EQ("", TextOf(s, def));
        } else {
            const auto built = kBuiltNumbers.find(def.key);
            EXPECT_EQ(built == kBuiltNumbers.end() ? 0 : built->second, NumberOf(s, def));
        }
    }
    EXPECT_TRUE(s.mailList.empty());
    EXPECT_EQ(0, s.mailListChanged);
}

TEST(ProjectSettingsTest, ResetGivesNewProjectValuesAndKeepsDateAndFromFont)
{
    ProjectSettings s;
    test::FillEverySetting(s, 1);
    s.DateFont = 5;
    s.FromFont = 0;
    s.mailList.push_back(std::make_unique<MailRecord>());
    s.mailListChanged = 1;
    s.Reset();
    for (const SettingDefinition& def : SettingTable()) {
        SCOPED_TRACE(def.key);
        if (def.kind == SettingKind::Text) {
            const auto tag = kDefaultInsertTags.find(def.key);
            EXPECT_EQ(tag == kDefaultInsertTags.end() ? "" : tag->second, TextOf(s, def));
        } else if (def.key != "DateFont" && def.key != "FromFont") {
            EXPECT_EQ(0, NumberOf(s, def));
        }
    }
    EXPECT_EQ(5, s.DateFont);
    EXPECT_EQ(0, s.FromFont);
    EXPECT_TRUE(s.mailList.empty());
    EXPECT_EQ(0, s.mailListChanged);
}

TEST(ProjectSettingsTest, ResetRightAfterConstructionKeepsFontsAtThree)
{
    ProjectSettings s;
    s.Reset();
    EXPECT_EQ(3, s.DateFont);
    EXPECT_EQ(3, s.FromFont);
    EXPECT_EQ(0, s.TitleFontSize);
    EXPECT_EQ(0, s.ToLower);
}

TEST(ProjectSettingsTest, CopyTakesEverySettingButNotTheMails)
{
    ProjectSettings document;
    test::FillEverySetting(document, 1);
    document.mailList.push_back(std::make_unique<MailRecord>());
    document.mailListChanged = 1;

    ProjectSettings sheet;
    sheet.CopySettingsFrom(document);
    EXPECT_TRUE(sheet.SettingsEqual(document));
    EXPECT_TRUE(sheet.mailList.empty());
    EXPECT_EQ(0, sheet.mailListChanged);

    sheet.Title = "changed";
    document.CopySettingsFrom(sheet);
    EXPECT_EQ("changed", document.Title);
    ASSERT_EQ(1u, document.mailList.size());
    EXPECT_EQ(1, document.mailListChanged);

    document.CopySettingsFrom(document);
    EXPECT_EQ("changed", document.Title);
}

TEST(ProjectSettingsTest, SettingsEqualSeesAChangeInAnyOneSetting)
{
    ProjectSettings base;
    test::FillEverySetting(base, 1);
    ProjectSettings other;
    test::FillEverySetting(other, 2);
    for (const SettingDefinition& def : SettingTable()) {
        SCOPED_TRACE(def.key);
        ProjectSettings s;
        s.CopySettingsFrom(base);
        std::visit([&](auto member) { s.*member = other.*member; }, def.member);
        EXPECT_FALSE(s.SettingsEqual(base));
    }
}

}  // namespace
}  // namespace postloom
