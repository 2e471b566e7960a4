#pragma once

// The text pieces the page writers assemble: generator comment, escaping,
// the caption of a mail, BODY start tags and the title heading. Pure
// functions of the settings and a mail; CP932 bytes in and out.

#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <string>
#include <string_view>

namespace postloom {

// "<!-- Created Postloom Ver.1.00 by Quillwright-->\n"
std::string GeneratorComment();

// "<HTML>\n<HEAD>\n", then with MetaCharset on the declaration of the
// pages' encoding, so that no browser has to guess it.
std::string PageHeadStart(const ProjectSettings& settings);

// Replaces '"', '&', '<' and '>' by their entities; nothing else.
std::string EscapeHtml(std::string_view text);
// The same, appended to out.
void AppendEscapedHtml(std::string_view text, std::string& out);

// "%Y/%m/%d" of date + nine hours (local break-down), FONT-wrapped by DateFont.
std::string DateFragment(const ProjectSettings& settings, const MailRecord& mail);
// The display name out of the From value.
std::string SenderName(const MailRecord& mail);
// The display name as pages show it: with its addresses hidden as hiding
// says (a From value without a name gives the address).
std::string ShownSenderName(AddressHiding hiding, const MailRecord& mail);
// Escaped "<name>" of the name shown under HideAddresses, FONT-wrapped by
// FromFont.
std::string SenderFragment(const ProjectSettings& settings, const MailRecord& mail);
// Subject, date and sender in the order of OutPattern; addresses in the
// subject are hidden as HideAddresses says.
std::string MailCaption(const ProjectSettings& settings, const MailRecord& mail);

// "<BODY ...>\n". backgroundUrl is the BACKGROUND value, already in URL form
// (OutputPaths::IndexBackgroundUrl / MailBackgroundUrl); it is written only
// when the page's background switch is on.
std::string IndexBodyTag(const ProjectSettings& settings, std::string_view backgroundUrl);
std::string MailBodyTag(const ProjectSettings& settings, std::string_view backgroundUrl);

// "<H%d>...</H%d>\n" with the escaped Title, aligned by TitlePosition.
std::string IndexTitleHeading(const ProjectSettings& settings);

}  // namespace postloom
