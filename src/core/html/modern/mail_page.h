#pragma once

// A mail's page in the modern style, around its body: the frame, the link
// bar as a navigation landmark, the subject as the page's heading, the
// sender and the date; after the body, the list of attachments.

#include "core/html/mime_page_body.h"
#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace postloom::modern {

// The links of a page, in URL form (CP932); none where there is nothing to
// link to.
struct MailPageLinks {
    std::optional<std::string> index;
    std::optional<std::string> threadTop;
    std::optional<std::string> parent;
    std::optional<std::string> child;
    std::optional<std::string> next;
    std::optional<std::string> prev;
    // The mail's place in its whole-thread page.
    std::optional<std::string> thread;
};

class MailPageLayout {
public:
    // header and footer are the include blocks (UTF-8), empty for none.
    MailPageLayout(const ProjectSettings& settings, std::optional<std::string> stylesheetHref, std::string header,
                   std::string footer);

    // Everything before the mail's head; subjectHtml is the subject as
    // SubjectHtml shows it.
    void AppendTop(std::string_view subjectHtml, const MailPageLinks& links, std::string& page) const;
    // Everything after the body and the attachment list.
    void AppendBottom(std::string& page) const;

private:
    const ProjectSettings& settings_;
    std::optional<std::string> stylesheetHref_;
    std::string header_;
    std::string footer_;
};

// The sender and the date of mail, between its subject and its body: the
// same on its own page and on its thread's page.
void AppendMailHead(const ProjectSettings& settings, const MailRecord& mail, std::string& page);

// The texts of a decoded MIME mail, each in its own block, its addresses
// hidden as hiding says. Whenever page has grown to a few hundred
// kilobytes it is handed to out and emptied. False when the mail file
// could not be read. The mail's own page lists the attachments after them.
bool AppendMimeTexts(const MimePageBody& body, AddressHiding hiding, std::string& page,
                     const std::function<void(std::string_view)>& out);

// The attachment list: name, type and size of each, images shown small
// and linking to their file.
void AppendAttachmentList(const std::vector<MimePageBody::AttachmentLink>& attachments, std::string& page);

}  // namespace postloom::modern
