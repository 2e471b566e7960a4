#include "core/html/modern/caption_parts.h"

#include "core/html/address_hiding.h"
#include "core/html/modern/page_text.h"
#include "core/html/text_helpers.h"
#include "core/mail/mail_parser.h"
#include "core/platform/local_time.h"

#include <ctime>

namespace postloom::modern {

std::string SubjectHtml(const ProjectSettings& settings, const MailRecord& mail)
{
    std::string subject;
    AppendEscapedText(HideAddressesInText(Utf8OfCp932(DisplaySubject(mail, settings.CutMLTitle)),
                                          AddressHidingOf(settings), TextEncoding::Utf8),
                      subject);
    // A heading, a title and a link all need some text.
    if (subject.find_first_not_of(" \t") == std::string::npos)
        return "(件名なし)";
    return subject;
}

std::string SenderHtml(const ProjectSettings& settings, const MailRecord& mail)
{
    std::string name = HideSenderAddresses(Utf8OfCp932(SenderName(mail)), AddressHidingOf(settings), TextEncoding::Utf8);
    // "Name <address>" leaves the blank before the address behind.
    name.erase(name.find_last_not_of(" \t") + 1);
    // The name keeps together on a narrow screen (the stylesheet cuts a
    // name too long for the line short).
    std::string html = "<span class=\"sender\">";
    AppendEscapedText(name, html);
    return html.append("</span>");
}

namespace {

// The machine form and the shown form of the mail's date, the same shift
// and break-down as the classic caption's date; false when it cannot be shown.
bool DateForms(const MailRecord& mail, bool withTime, char (&machine)[32], char (&shown)[32])
{
    const std::int64_t shifted = static_cast<std::int64_t>(mail.date) + 32400;
    if (shifted < 0)
        return false;
    const std::optional<std::tm> tm = platform::BreakDownLocal(shifted);
    return tm && std::strftime(machine, sizeof machine, "%Y-%m-%dT%H:%M", &*tm) != 0 &&
           std::strftime(shown, sizeof shown, withTime ? "%Y/%m/%d %H:%M" : "%Y/%m/%d", &*tm) != 0;
}

}  // namespace

std::string DateHtml(const MailRecord& mail, bool withTime)
{
    char machine[32];
    char shown[32];
    if (!DateForms(mail, withTime, machine, shown))
        return {};
    return std::string("<time datetime=\"") + machine + "\">" + shown + "</time>";
}

std::string DateText(const MailRecord& mail, bool withTime)
{
    char machine[32];
    char shown[32];
    if (!DateForms(mail, withTime, machine, shown))
        return {};
    return shown;
}

bool DateBeforeSender(const ProjectSettings& settings)
{
    // OutPattern 0, 2 and 3 name the date before the sender.
    return settings.OutPattern == 0 || settings.OutPattern == 2 || settings.OutPattern == 3;
}

}  // namespace postloom::modern
