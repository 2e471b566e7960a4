#include "core/project/project_settings.h"

#include "core/text/cp932.h"

namespace postloom {

namespace {

using PS = ProjectSettings;

constexpr SettingDefinition Text(std::string_view key, std::string PS::*member, std::string_view reset)
{
    return {key, SettingKind::Text, member, reset, 0, false, 0};
}

// A text that names a file or a folder.
constexpr SettingDefinition Path(std::string_view key, std::string PS::*member)
{
    return {key, SettingKind::Text, member, "", 0, false, 0, true};
}

constexpr SettingDefinition Number(std::string_view key, SettingKind kind, std::int32_t PS::*member,
                                   std::int64_t reset, std::int64_t built)
{
    return {key, kind, member, {}, reset, false, built};
}

constexpr SettingDefinition KeptOnReset(std::string_view key, std::int32_t PS::*member, std::int64_t built)
{
    return {key, SettingKind::Integer, member, {}, 0, true, built};
}

constexpr SettingDefinition Colour(std::string_view key, std::uint32_t PS::*member)
{
    return {key, SettingKind::Colour, member, {}, 0, false, 0};
}

const std::array<SettingDefinition, kSettingCount> kSettings = {{
    Text("Title", &ProjectSettings::Title, ""),
    Text("MailExt", &ProjectSettings::MailExt, ""),
    Path("TargetPath", &ProjectSettings::TargetPath),
    Path("IndexPath", &ProjectSettings::IndexPath),
    Path("MailPath", &ProjectSettings::MailPath),
    Number("CutMLTitle", SettingKind::Flag, &ProjectSettings::CutMLTitle, 0, 0),
    Number("ToLower", SettingKind::Flag, &ProjectSettings::ToLower, 0, 1),
    Path("IndexImagePath", &ProjectSettings::IndexImagePath),
    Number("DrawGraphic", SettingKind::Flag, &ProjectSettings::DrawGraphic, 0, 0),
    Path("FirstTree", &ProjectSettings::FirstTree),
    Path("ContTree", &ProjectSettings::ContTree),
    Path("LastTree", &ProjectSettings::LastTree),
    Path("NextTree", &ProjectSettings::NextTree),
    Path("NullTree", &ProjectSettings::NullTree),
    Number("OutDate", SettingKind::Flag, &ProjectSettings::OutDate, 0, 0),
    Number("OutFrom", SettingKind::Flag, &ProjectSettings::OutFrom, 0, 0),
    Number("OutPattern", SettingKind::Integer, &ProjectSettings::OutPattern, 0, 0),
    KeptOnReset("DateFont", &ProjectSettings::DateFont, 3),
    KeptOnReset("FromFont", &ProjectSettings::FromFont, 3),
    Number("IndexCreateType", SettingKind::Integer, &ProjectSettings::IndexCreateType, 0, 0),
    Number("DispIndexTitle", SettingKind::Flag, &ProjectSettings::DispIndexTitle, 0, 1),
    Number("TitleFontSize", SettingKind::Integer, &ProjectSettings::TitleFontSize, 0, 1),
    Number("TitlePosition", SettingKind::Integer, &ProjectSettings::TitlePosition, 0, 1),
    Number("IndexBaseFont", SettingKind::Flag, &ProjectSettings::IndexBaseFont, 0, 0),
    Number("IndexBaseFontSize", SettingKind::Integer, &ProjectSettings::IndexBaseFontSize, 0, 1),
    Number("IndexBackGround", SettingKind::Flag, &ProjectSettings::IndexBackGround, 0, 0),
    Path("IndexBackGroundFile", &ProjectSettings::IndexBackGroundFile),
    Number("IndexBGColor", SettingKind::Flag, &ProjectSettings::IndexBGColor, 0, 0),
    Colour("IndexBGColorRGB", &ProjectSettings::IndexBGColorRGB),
    Number("IndexTextColor", SettingKind::Flag, &ProjectSettings::IndexTextColor, 0, 0),
    Colour("IndexTextColorRGB", &ProjectSettings::IndexTextColorRGB),
    Number("IndexLinkColor", SettingKind::Flag, &ProjectSettings::IndexLinkColor, 0, 0),
    Colour("IndexLinkColorRGB", &ProjectSettings::IndexLinkColorRGB),
    Number("IndexVLinkColor", SettingKind::Flag, &ProjectSettings::IndexVLinkColor, 0, 0),
    Colour("IndexVLinkColorRGB", &ProjectSettings::IndexVLinkColorRGB),
    Number("IndexALinkColor", SettingKind::Flag, &ProjectSettings::IndexALinkColor, 0, 0),
    Colour("IndexALinkColorRGB", &ProjectSettings::IndexALinkColorRGB),
    Number("IndexTopMarginCheck", SettingKind::Flag, &ProjectSettings::IndexTopMarginCheck, 0, 0),
    Number("IndexTopMargin", SettingKind::Integer, &ProjectSettings::IndexTopMargin, 0, 0),
    Number("IndexBottomMarginCheck", SettingKind::Flag, &ProjectSettings::IndexBottomMarginCheck, 0, 0),
    Number("IndexBottomMargin", SettingKind::Integer, &ProjectSettings::IndexBottomMargin, 0, 0),
    Number("IndexRightMarginCheck", SettingKind::Flag, &ProjectSettings::IndexRightMarginCheck, 0, 0),
    Number("IndexRightMargin", SettingKind::Integer, &ProjectSettings::IndexRightMargin, 0, 0),
    Number("IndexLeftMarginCheck", SettingKind::Flag, &ProjectSettings::IndexLeftMarginCheck, 0, 0),
    Number("IndexLeftMargin", SettingKind::Integer, &ProjectSettings::IndexLeftMargin, 0, 0),
    Number("IndexHeader", SettingKind::Flag, &ProjectSettings::IndexHeader, 0, 0),
    Path("IndexHeaderFile", &ProjectSettings::IndexHeaderFile),
    Number("IndexFooter", SettingKind::Flag, &ProjectSettings::IndexFooter, 0, 0),
    Path("IndexFooterFile", &ProjectSettings::IndexFooterFile),
    Path("IndexTemplateFile", &ProjectSettings::IndexTemplateFile),
    Text("IndexInsertTag", &ProjectSettings::IndexInsertTag, "Postloom Tree"),
    Path("MailImagePath", &ProjectSettings::MailImagePath),
    Number("MailCreateType", SettingKind::Integer, &ProjectSettings::MailCreateType, 0, 0),
    Number("MailWindowType", SettingKind::Integer, &ProjectSettings::MailWindowType, 0, 1),
    Number("DispLink", SettingKind::Flag, &ProjectSettings::DispLink, 0, 1),
    Number("DispSubject", SettingKind::Flag, &ProjectSettings::DispSubject, 0, 1),
    Number("MailBaseFont", SettingKind::Flag, &ProjectSettings::MailBaseFont, 0, 0),
    Number("MailBaseFontSize", SettingKind::Integer, &ProjectSettings::MailBaseFontSize, 0, 1),
    Number("MailBackGround", SettingKind::Flag, &ProjectSettings::MailBackGround, 0, 0),
    Path("MailBackGroundFile", &ProjectSettings::MailBackGroundFile),
    Number("MailBGColor", SettingKind::Flag, &ProjectSettings::MailBGColor, 0, 0),
    Colour("MailBGColorRGB", &ProjectSettings::MailBGColorRGB),
    Number("MailTextColor", SettingKind::Flag, &ProjectSettings::MailTextColor, 0, 0),
    Colour("MailTextColorRGB", &ProjectSettings::MailTextColorRGB),
    Number("MailLinkColor", SettingKind::Flag, &ProjectSettings::MailLinkColor, 0, 0),
    Colour("MailLinkColorRGB", &ProjectSettings::MailLinkColorRGB),
    Number("MailVLinkColor", SettingKind::Flag, &ProjectSettings::MailVLinkColor, 0, 0),
    Colour("MailVLinkColorRGB", &ProjectSettings::MailVLinkColorRGB),
    Number("MailALinkColor", SettingKind::Flag, &ProjectSettings::MailALinkColor, 0, 0),
    Colour("MailALinkColorRGB", &ProjectSettings::MailALinkColorRGB),
    Number("MailTopMarginCheck", SettingKind::Flag, &ProjectSettings::MailTopMarginCheck, 0, 0),
    Number("MailTopMargin", SettingKind::Integer, &ProjectSettings::MailTopMargin, 0, 0),
    Number("MailBottomMarginCheck", SettingKind::Flag, &ProjectSettings::MailBottomMarginCheck, 0, 0),
    Number("MailBottomMargin", SettingKind::Integer, &ProjectSettings::MailBottomMargin, 0, 0),
    Number("MailRightMarginCheck", SettingKind::Flag, &ProjectSettings::MailRightMarginCheck, 0, 0),
    Number("MailRightMargin", SettingKind::Integer, &ProjectSettings::MailRightMargin, 0, 0),
    Number("MailLeftMarginCheck", SettingKind::Flag, &ProjectSettings::MailLeftMarginCheck, 0, 0),
    Number("MailLeftMargin", SettingKind::Integer, &ProjectSettings::MailLeftMargin, 0, 0),
    Number("MailHeader", SettingKind::Flag, &ProjectSettings::MailHeader, 0, 0),
    Path("MailHeaderFile", &ProjectSettings::MailHeaderFile),
    Number("MailFooter", SettingKind::Flag, &ProjectSettings::MailFooter, 0, 0),
    Path("MailFooterFile", &ProjectSettings::MailFooterFile),
    Path("MailTemplateFile", &ProjectSettings::MailTemplateFile),
    Text("MailBodyInsertTag", &ProjectSettings::MailBodyInsertTag, "Postloom Body"),
    Text("MailSubjectInsertTag", &ProjectSettings::MailSubjectInsertTag, "Postloom Subject"),
    Text("MailParentInsertTag", &ProjectSettings::MailParentInsertTag, "A HREF=Postloom Parent"),
    Text("MailChildInsertTag", &ProjectSettings::MailChildInsertTag, "A HREF=Postloom Child"),
    Text("MailNextInsertTag", &ProjectSettings::MailNextInsertTag, "A HREF=Postloom Next"),
    Text("MailPrevInsertTag", &ProjectSettings::MailPrevInsertTag, "A HREF=Postloom Prev"),
    Text("MailIndexInsertTag", &ProjectSettings::MailIndexInsertTag, "A HREF=Postloom Index"),
}};

const std::array<SettingDefinition, kLaterSettingCount> kLaterSettings = {{
    Number("MimeDecode", SettingKind::Flag, &ProjectSettings::MimeDecode, 0, 0),
    Number("MetaCharset", SettingKind::Flag, &ProjectSettings::MetaCharset, 0, 0),
    Number("DirectParent", SettingKind::Flag, &ProjectSettings::DirectParent, 0, 0),
    Number("PageStyle", SettingKind::Integer, &ProjectSettings::PageStyle, 0, 0),
    Number("HideAddresses", SettingKind::Integer, &ProjectSettings::HideAddresses, 0, 0),
}};

const std::array<const SettingDefinition*, kSettingCount + kLaterSettingCount> kAllSettings = [] {
    std::array<const SettingDefinition*, kSettingCount + kLaterSettingCount> all{};
    std::size_t i = 0;
    for (const SettingDefinition& def : kSettings)
        all[i++] = &def;
    for (const SettingDefinition& def : kLaterSettings)
        all[i++] = &def;
    return all;
}();

enum class Values { Construction, Reset };

void Apply(PS& settings, Values values)
{
    for (const SettingDefinition* entry : kAllSettings) {
        const SettingDefinition& def = *entry;
        if (values == Values::Reset && def.keptOnReset)
            continue;
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<T, std::string>)
                    settings.*member = values == Values::Reset ? std::string(def.resetText) : std::string();
                else
                    settings.*member = static_cast<T>(values == Values::Reset ? def.resetNumber : def.builtNumber);
            },
            def.member);
    }
}

}  // namespace

const std::array<SettingDefinition, kSettingCount>& SettingTable()
{
    return kSettings;
}

const std::array<SettingDefinition, kLaterSettingCount>& LaterSettingTable()
{
    return kLaterSettings;
}

const std::array<const SettingDefinition*, kSettingCount + kLaterSettingCount>& AllSettings()
{
    return kAllSettings;
}

void ApplyNewProjectValues(ProjectSettings& settings)
{
    settings.MimeDecode = 1;
    settings.MetaCharset = 1;
    settings.DirectParent = 1;
    settings.PageStyle = static_cast<std::int32_t>(PageStyleKind::Modern);
    settings.HideAddresses = static_cast<std::int32_t>(AddressHiding::Masked);
}

PageStyleKind PageStyleOf(const ProjectSettings& settings)
{
    return settings.PageStyle == static_cast<std::int32_t>(PageStyleKind::Modern) ? PageStyleKind::Modern : PageStyleKind::Classic;
}

AddressHiding AddressHidingOf(const ProjectSettings& settings)
{
    switch (settings.HideAddresses) {
    case 0:
        return AddressHiding::Shown;
    case 2:
        return AddressHiding::Removed;
    default:
        // A value no program writes hides rather than shows: an address once
        // published cannot be taken back.
        return AddressHiding::Masked;
    }
}

const SettingDefinition* FindSetting(std::string_view key)
{
    for (const SettingDefinition* def : kAllSettings) {
        if (text::EqualsIgnoreCase(def->key, key))
            return def;
    }
    return nullptr;
}

ProjectSettings::ProjectSettings()
{
    Apply(*this, Values::Construction);
}

void ProjectSettings::Reset()
{
    Apply(*this, Values::Reset);
    mailList.clear();
    mailListChanged = 0;
}

void ProjectSettings::CopySettingsFrom(const ProjectSettings& other)
{
    if (&other == this)
        return;
    for (const SettingDefinition* def : kAllSettings)
        std::visit([&](auto member) { this->*member = other.*member; }, def->member);
}

bool ProjectSettings::SettingsEqual(const ProjectSettings& other) const
{
    for (const SettingDefinition* def : kAllSettings) {
        const bool equal = std::visit([&](auto member) { return this->*member == other.*member; }, def->member);
        if (!equal)
            return false;
    }
    return true;
}

std::vector<std::string_view> PathSettingsWithNul(const ProjectSettings& settings)
{
    std::vector<std::string_view> keys;
    for (const SettingDefinition& def : kSettings) {
        if (def.namesFile &&
            (settings.*std::get<std::string ProjectSettings::*>(def.member)).find('\0') != std::string::npos)
            keys.push_back(def.key);
    }
    return keys;
}

}  // namespace postloom
