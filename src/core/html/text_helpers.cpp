#include "core/html/text_helpers.h"

#include "core/html/address_hiding.h"
#include "core/mail/mail_parser.h"
#include "core/text/cp932.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace postloom {

namespace {

// A font-size list position (0..6) as the relative size of a FONT tag:
// position 3 means no change. Values from a hand-edited project file may lie
// outside the list; the sum is taken in 64 bits so that none overflows.
std::string FontWrapped(std::int32_t fontPosition, const std::string& content)
{
    if (fontPosition == 3)
        return content;
    const long long relative = static_cast<long long>(fontPosition) - 3;
    return "<FONT SIZE=" + std::string(relative >= 0 ? "+" : "") + std::to_string(relative) + ">" + content +
           "</FONT>";
}

// The colour chooser stores red in the lowest byte; HTML wants red first.
std::string HtmlColour(std::uint32_t stored)
{
    const std::uint32_t red = stored & 0xFF;
    const std::uint32_t green = (stored >> 8) & 0xFF;
    const std::uint32_t blue = (stored >> 16) & 0xFF;
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%06X", static_cast<unsigned>((red << 16) | (green << 8) | blue));
    return buffer;
}

struct BodyTagKeys {
    std::int32_t backGround;
    std::int32_t bgColor;
    std::uint32_t bgColorRgb;
    std::int32_t textColor;
    std::uint32_t textColorRgb;
    std::int32_t linkColor;
    std::uint32_t linkColorRgb;
    std::int32_t vLinkColor;
    std::uint32_t vLinkColorRgb;
    std::int32_t aLinkColor;
    std::uint32_t aLinkColorRgb;
    std::int32_t topMarginCheck;
    std::int32_t topMargin;
    std::int32_t leftMarginCheck;
    std::int32_t leftMargin;
    std::int32_t bottomMarginCheck;
    std::int32_t bottomMargin;
    std::int32_t rightMarginCheck;
    std::int32_t rightMargin;
};

std::string BodyTag(const BodyTagKeys& keys, std::string_view backgroundUrl)
{
    std::string tag = "<BODY";
    if (keys.backGround != 0)
        tag.append(" BACKGROUND=\"").append(backgroundUrl).append("\"");
    const auto colour = [&tag](std::int32_t on, const char* name, std::uint32_t value) {
        if (on != 0)
            tag.append(" ").append(name).append("=").append(HtmlColour(value));
    };
    colour(keys.bgColor, "BGCOLOR", keys.bgColorRgb);
    colour(keys.textColor, "TEXT", keys.textColorRgb);
    colour(keys.linkColor, "LINK", keys.linkColorRgb);
    colour(keys.vLinkColor, "VLINK", keys.vLinkColorRgb);
    colour(keys.aLinkColor, "ALINK", keys.aLinkColorRgb);
    const auto margin = [&tag](std::int32_t on, const char* name, std::int32_t value) {
        if (on != 0)
            tag.append(" ").append(name).append("=\"").append(std::to_string(value)).append("\"");
    };
    margin(keys.topMarginCheck, "TOPMARGIN", keys.topMargin);
    margin(keys.leftMarginCheck, "LEFTMARGIN", keys.leftMargin);
    // The attribute name is spelt this way in every page the program has
    // ever written; browsers that honour it know it by this name.
    margin(keys.bottomMarginCheck, "MARGINHIGHT", keys.bottomMargin);
    margin(keys.rightMarginCheck, "MARGINWIDTH", keys.rightMargin);
    tag += ">\n";
    return tag;
}

// The text of the last parenthesised group, running to the end of the value
// when the group is not closed.
std::string LastCommentGroup(std::string_view from)
{
    std::string result;
    bool collecting = false;
    for (std::size_t i = 0; i < from.size();) {
        const std::size_t length = text::CharLength(from, i);
        const std::string_view character = from.substr(i, length);
        if (character == ")")
            collecting = false;
        if (collecting)
            result.append(character);
        if (character == "(") {
            result.clear();
            collecting = true;
        }
        i += length;
    }
    return result;
}

// The value without its "<...>" groups and without double quotes; blanks
// are kept as they stand.
std::string OutsideAngleBrackets(std::string_view from)
{
    std::string result;
    bool inAddress = false;
    for (std::size_t i = 0; i < from.size();) {
        const std::size_t length = text::CharLength(from, i);
        const std::string_view character = from.substr(i, length);
        if (inAddress) {
            if (character == ">")
                inAddress = false;
        } else if (character == "<") {
            inAddress = true;
        } else if (character != "\"") {
            result.append(character);
        }
        i += length;
    }
    return result;
}

}  // namespace

std::string GeneratorComment()
{
    return "<!-- Created Postloom Ver.1.00 by Quillwright-->\n";
}

std::string PageHeadStart(const ProjectSettings& settings)
{
    std::string head = "<HTML>\n<HEAD>\n";
    if (settings.MetaCharset != 0)
        head.append("<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n");
    return head;
}

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscapedHtml(text, out);
    return out;
}

void AppendEscapedHtml(std::string_view text, std::string& out)
{
    // Byte by byte on purpose: no valid trail byte is one of the four, and a
    // stray lead byte must not shield a following "<" from being escaped.
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

std::string DateFragment(const ProjectSettings& settings, const MailRecord& mail)
{
    std::string date;
    if (const std::optional<std::tm> tm = ShownTime(mail.date)) {
        char buffer[32];
        if (std::strftime(buffer, sizeof buffer, "%Y/%m/%d", &*tm) > 0)
            date = buffer;
    }
    return FontWrapped(settings.DateFont, date);
}

std::string SenderName(const MailRecord& mail)
{
    if (std::string name = LastCommentGroup(mail.from); !name.empty())
        return name;
    if (std::string name = OutsideAngleBrackets(mail.from); !name.empty())
        return name;
    return mail.from;
}

std::string ShownSenderName(AddressHiding hiding, const MailRecord& mail)
{
    if (hiding == AddressHiding::Shown)
        return SenderName(mail);
    return HideSenderAddresses(SenderName(mail), hiding, TextEncoding::Cp932);
}

std::string SenderFragment(const ProjectSettings& settings, const MailRecord& mail)
{
    return FontWrapped(settings.FromFont, EscapeHtml("<" + ShownSenderName(AddressHidingOf(settings), mail) + ">"));
}

std::string MailCaption(const ProjectSettings& settings, const MailRecord& mail)
{
    const AddressHiding hiding = AddressHidingOf(settings);
    const std::string subject =
        EscapeHtml(hiding == AddressHiding::Shown
                       ? DisplaySubject(mail, settings.CutMLTitle)
                       : HideAddressesInText(DisplaySubject(mail, settings.CutMLTitle), hiding, TextEncoding::Cp932));
    const bool withDate = settings.OutDate != 0;
    const bool withSender = settings.OutFrom != 0;
    std::string caption;
    const auto subjectAfterBlankIfAny = [&] {
        if (!caption.empty())
            caption += ' ';
        caption += subject;
    };
    const auto blankThenDate = [&] {
        if (withDate)
            caption += " " + DateFragment(settings, mail);
    };
    const auto blankThenSender = [&] {
        if (withSender)
            caption += " " + SenderFragment(settings, mail);
    };
    switch (settings.OutPattern) {
    case 0:
        caption = subject;
        blankThenDate();
        blankThenSender();
        break;
    case 1:
        caption = subject;
        blankThenSender();
        blankThenDate();
        break;
    case 2:
        if (withDate)
            caption = DateFragment(settings, mail);
        subjectAfterBlankIfAny();
        blankThenSender();
        break;
    case 3:
        if (withDate)
            caption = DateFragment(settings, mail);
        blankThenSender();
        subjectAfterBlankIfAny();
        break;
    case 4:
        if (withSender)
            caption = SenderFragment(settings, mail);
        subjectAfterBlankIfAny();
        blankThenDate();
        break;
    case 5:
        if (withSender)
            caption = SenderFragment(settings, mail);
        blankThenDate();
        subjectAfterBlankIfAny();
        break;
    default:
        break;
    }
    return caption;
}

std::string IndexBodyTag(const ProjectSettings& s, std::string_view backgroundUrl)
{
    return BodyTag({s.IndexBackGround, s.IndexBGColor, s.IndexBGColorRGB, s.IndexTextColor, s.IndexTextColorRGB,
                    s.IndexLinkColor, s.IndexLinkColorRGB, s.IndexVLinkColor, s.IndexVLinkColorRGB, s.IndexALinkColor,
                    s.IndexALinkColorRGB, s.IndexTopMarginCheck, s.IndexTopMargin, s.IndexLeftMarginCheck,
                    s.IndexLeftMargin, s.IndexBottomMarginCheck, s.IndexBottomMargin, s.IndexRightMarginCheck,
                    s.IndexRightMargin},
                   backgroundUrl);
}

std::string MailBodyTag(const ProjectSettings& s, std::string_view backgroundUrl)
{
    return BodyTag({s.MailBackGround, s.MailBGColor, s.MailBGColorRGB, s.MailTextColor, s.MailTextColorRGB,
                    s.MailLinkColor, s.MailLinkColorRGB, s.MailVLinkColor, s.MailVLinkColorRGB, s.MailALinkColor,
                    s.MailALinkColorRGB, s.MailTopMarginCheck, s.MailTopMargin, s.MailLeftMarginCheck,
                    s.MailLeftMargin, s.MailBottomMarginCheck, s.MailBottomMargin, s.MailRightMarginCheck,
                    s.MailRightMargin},
                   backgroundUrl);
}

std::string IndexTitleHeading(const ProjectSettings& settings)
{
    const std::string level = std::to_string(static_cast<long long>(settings.TitleFontSize) + 1);
    const std::string title = EscapeHtml(settings.Title);
    switch (settings.TitlePosition) {
    case 1:
        return "<H" + level + "><CENTER>" + title + "</CENTER></H" + level + ">\n";
    case 2:
        return "<H" + level + " ALIGN=RIGHT>" + title + "</H" + level + ">\n";
    default:
        // Left, and any position a hand-edited project file may hold.
        return "<H" + level + ">" + title + "</H" + level + ">\n";
    }
}

}  // namespace postloom
