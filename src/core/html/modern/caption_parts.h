#pragma once

// The parts of a mail's caption as the modern pages show them, each
// escaped UTF-8: the subject, the sender and the date. Subjects and
// senders show their addresses as the project's HideAddresses says.

#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <string>

namespace postloom::modern {

// The subject as the classic caption shows it (CutMLTitle applied);
// "(件名なし)" for a mail without one.
std::string SubjectHtml(const ProjectSettings& settings, const MailRecord& mail);

// The sender's display name, in a span of class "sender". Every sender on a modern page is formatted
// here, on the index page and on the mail pages alike.
std::string SenderHtml(const ProjectSettings& settings, const MailRecord& mail);

// "<time datetime=\"2024-01-02T03:04\">2024/01/02</time>", the date as the
// classic caption gives it, with the time of day when withTime is set;
// empty when the date cannot be shown.
std::string DateHtml(const MailRecord& mail, bool withTime);
// The same date as plain text ("2024/01/02 03:04").
std::string DateText(const MailRecord& mail, bool withTime);

// True when the project's caption order puts the date before the sender.
bool DateBeforeSender(const ProjectSettings& settings);

}  // namespace postloom::modern
