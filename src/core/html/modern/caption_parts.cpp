#include "core/html/modern/caption_parts.h"

#include "core/html/address_hiding.h"
#include "core/html/modern/page_text.h"
#include "core/html/text_helpers.h"
#include "core/mail/mail_parser.h"

#include <cstring>
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

// Writes value as width digits, zeros in front; the end of them.
char* PutDigits(char* at, int value, int width)
{
    for (int k = width - 1; k >= 0; --k) {
        at[k] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

// The machine form ("2024-04-05T09:30") and the shown form ("2024/04/05
// 09:30", or the day alone) of the mail's date, the same shift and
// break-down as the classic caption's date; false when it cannot be shown.
// Written digit by digit: every page shows dates, and a stored date's year
// always has four digits.
bool DateForms(const MailRecord& mail, bool withTime, char (&machine)[32], char (&shown)[32])
{
    const std::optional<std::tm> tm = ShownTime(mail.date);
    const int year = tm ? tm->tm_year + 1900 : -1;
    if (year < 0 || year > 9999)
        return false;
    char* at = PutDigits(machine, year, 4);
    *at++ = '-';
    at = PutDigits(at, tm->tm_mon + 1, 2);
    *at++ = '-';
    at = PutDigits(at, tm->tm_mday, 2);
    *at++ = 'T';
    at = PutDigits(at, tm->tm_hour, 2);
    *at++ = ':';
    at = PutDigits(at, tm->tm_min, 2);
    *at = '\0';
    // The shown form is the machine form with its own separators.
    std::memcpy(shown, machine, 17);
    shown[4] = shown[7] = '/';
    shown[10] = withTime ? ' ' : '\0';
    return true;
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
