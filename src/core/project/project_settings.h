#pragma once

#include "core/mail/mail_record.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace postloom {

using MailList = std::vector<std::unique_ptr<MailRecord>>;

// Every setting of one project, under its project-file key, and the
// project's mails. The settings are plain members read and written by name;
// the table returned by SettingTable() describes them (key, kind, reset and
// construction values) in file order and drives construction, reset, copy,
// load and save.
struct ProjectSettings {
    std::string Title;
    std::string MailExt;
    std::string TargetPath;
    std::string IndexPath;
    std::string MailPath;
    std::int32_t CutMLTitle{};
    std::int32_t ToLower{};
    std::string IndexImagePath;
    std::int32_t DrawGraphic{};
    std::string FirstTree;
    std::string ContTree;
    std::string LastTree;
    std::string NextTree;
    std::string NullTree;
    std::int32_t OutDate{};
    std::int32_t OutFrom{};
    std::int32_t OutPattern{};
    std::int32_t DateFont{};
    std::int32_t FromFont{};
    std::int32_t IndexCreateType{};
    std::int32_t DispIndexTitle{};
    std::int32_t TitleFontSize{};
    std::int32_t TitlePosition{};
    std::int32_t IndexBaseFont{};
    std::int32_t IndexBaseFontSize{};
    std::int32_t IndexBackGround{};
    std::string IndexBackGroundFile;
    std::int32_t IndexBGColor{};
    std::uint32_t IndexBGColorRGB{};
    std::int32_t IndexTextColor{};
    std::uint32_t IndexTextColorRGB{};
    std::int32_t IndexLinkColor{};
    std::uint32_t IndexLinkColorRGB{};
    std::int32_t IndexVLinkColor{};
    std::uint32_t IndexVLinkColorRGB{};
    std::int32_t IndexALinkColor{};
    std::uint32_t IndexALinkColorRGB{};
    std::int32_t IndexTopMarginCheck{};
    std::int32_t IndexTopMargin{};
    std::int32_t IndexBottomMarginCheck{};
    std::int32_t IndexBottomMargin{};
    std::int32_t IndexRightMarginCheck{};
    std::int32_t IndexRightMargin{};
    std::int32_t IndexLeftMarginCheck{};
    std::int32_t IndexLeftMargin{};
    std::int32_t IndexHeader{};
    std::string IndexHeaderFile;
    std::int32_t IndexFooter{};
    std::string IndexFooterFile;
    std::string IndexTemplateFile;
    std::string IndexInsertTag;
    std::string MailImagePath;
    std::int32_t MailCreateType{};
    std::int32_t MailWindowType{};
    std::int32_t DispLink{};
    std::int32_t DispSubject{};
    std::int32_t MailBaseFont{};
    std::int32_t MailBaseFontSize{};
    std::int32_t MailBackGround{};
    std::string MailBackGroundFile;
    std::int32_t MailBGColor{};
    std::uint32_t MailBGColorRGB{};
    std::int32_t MailTextColor{};
    std::uint32_t MailTextColorRGB{};
    std::int32_t MailLinkColor{};
    std::uint32_t MailLinkColorRGB{};
    std::int32_t MailVLinkColor{};
    std::uint32_t MailVLinkColorRGB{};
    std::int32_t MailALinkColor{};
    std::uint32_t MailALinkColorRGB{};
    std::int32_t MailTopMarginCheck{};
    std::int32_t MailTopMargin{};
    std::int32_t MailBottomMarginCheck{};
    std::int32_t MailBottomMargin{};
    std::int32_t MailRightMarginCheck{};
    std::int32_t MailRightMargin{};
    std::int32_t MailLeftMarginCheck{};
    std::int32_t MailLeftMargin{};
    std::int32_t MailHeader{};
    std::string MailHeaderFile;
    std::int32_t MailFooter{};
    std::string MailFooterFile;
    std::string MailTemplateFile;
    std::string MailBodyInsertTag;
    std::string MailSubjectInsertTag;
    std::string MailParentInsertTag;
    std::string MailChildInsertTag;
    std::string MailNextInsertTag;
    std::string MailPrevInsertTag;
    std::string MailIndexInsertTag;

    // Settings added after the 90: stored after them, each only while it is
    // on, so that projects which never turn them on keep their files and
    // pages byte for byte; a file without them loads with them off.
    std::int32_t MimeDecode{};   // decode MIME mail (headers, parts, attachments)
    std::int32_t MetaCharset{};  // declare Shift_JIS in standard pages
    std::int32_t DirectParent{};  // a reply goes under the mail it answers, not the thread's first
    std::int32_t PageStyle{};     // 0 classic pages, 1 modern (UTF-8, HTML5, one stylesheet)
    std::int32_t HideAddresses{};  // 0 addresses shown, 1 masked, 2 removed

    // Not settings, never copied between records.
    MailList mailList;
    std::int32_t mailListChanged = 0;

    // Construction values; an empty mail list.
    ProjectSettings();
    ProjectSettings(const ProjectSettings&) = delete;
    ProjectSettings& operator=(const ProjectSettings&) = delete;

    // Reset values (DateFont and FromFont keep theirs); the mails are deleted.
    void Reset();
    // Copies every setting; mailList and mailListChanged stay as they are.
    void CopySettingsFrom(const ProjectSettings& other);
    // True when every setting is equal.
    bool SettingsEqual(const ProjectSettings& other) const;
};

enum class SettingKind { Text, Integer, Flag, Colour };

struct SettingDefinition {
    std::string_view key;
    SettingKind kind;
    std::variant<std::string ProjectSettings::*, std::int32_t ProjectSettings::*, std::uint32_t ProjectSettings::*>
        member;
    std::string_view resetText;  // text settings
    std::int64_t resetNumber = 0;  // number settings
    bool keptOnReset = false;
    std::int64_t builtNumber = 0;  // construction value of a number; texts are built empty
    bool namesFile = false;  // a text that names a file or a folder
};

inline constexpr std::size_t kSettingCount = 90;

// The 90 settings in project-file order.
const std::array<SettingDefinition, kSettingCount>& SettingTable();

inline constexpr std::size_t kLaterSettingCount = 5;

// The settings added after the 90, in project-file order after them. Their
// construction and reset values are 0 (off), the values of every project
// made before them; a project made new turns them on (NewProjectValues).
const std::array<SettingDefinition, kLaterSettingCount>& LaterSettingTable();

// Every setting, the 90 first: what construction, reset, copy, compare, load
// and save walk.
const std::array<const SettingDefinition*, kSettingCount + kLaterSettingCount>& AllSettings();

// Turns on what a project made with the new-project command gets beyond a
// reset project: MIME decoding, the declared charset, replies under the mail
// they answer, the modern page style and masked addresses.
void ApplyNewProjectValues(ProjectSettings& settings);

enum class PageStyleKind { Classic = 0, Modern = 1 };
// Modern only for 1; anything else is the classic style.
PageStyleKind PageStyleOf(const ProjectSettings& settings);

// How the site shows mail addresses: in full, masked to the part before the
// "@" ("taro@…"), or removed.
enum class AddressHiding { Shown = 0, Masked = 1, Removed = 2 };
AddressHiding AddressHidingOf(const ProjectSettings& settings);

// The entry whose key equals key, ASCII case ignored; nullptr when none.
const SettingDefinition* FindSetting(std::string_view key);

// The keys of the settings that name a file or folder and hold a NUL byte.
// Such a path is cut short by every system call, so it would name another
// file than the one the checks saw: nothing that depends on it is written.
std::vector<std::string_view> PathSettingsWithNul(const ProjectSettings& settings);

}  // namespace postloom
