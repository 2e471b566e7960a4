#pragma once

// The body of a page for a mail that declares MIME, with MIME decoding on:
// its inline texts, then a list of its attachments, which are saved in a
// folder beside the page ("00012.html" gets "00012_files/"). The mail is
// decoded once; the texts may be placed several times (a template can show
// the body more than once), the attachments are saved once.

#include "core/mime/mime_message.h"
#include "core/platform/file_problem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

class MimePageBody {
public:
    // Decodes the bytes of a mail file for the page named pageName (a bare
    // name). nullopt when the mail does not declare MIME, is a plain
    // Shift-JIS text, or nothing of it decodes: its page shows the mail's
    // lines as they stand.
    static std::optional<MimePageBody> FromMailFile(std::string_view fileBytes, std::string_view pageName);

    // Appends the texts, each line escaped and ended by "<BR>\n", a "<HR>\n"
    // between two texts, and the list of attachments with their links. A
    // character CP932 cannot hold is written as a character reference.
    void AppendTo(std::string& page) const;

    // Saves the attachments into their folder beside the page at pagePath
    // (CP932), each file whole or not at all and never executable; a file
    // already holding the same bytes is left alone. What cannot be saved is
    // added to problems (the path and the reason).
    void SaveAttachments(std::string_view pagePath, std::vector<platform::FileProblem>& problems) const;

    bool HasAttachments() const { return !mail_.attachments.empty(); }
    // Where SaveAttachments puts each file, relative to the page's folder:
    // "<page>_files/<name>" (CP932).
    std::vector<std::string> AttachmentPaths() const;

private:
    MimePageBody(mime::DecodedMail mail, std::string_view pageName);

    mime::DecodedMail mail_;
    std::string folderName_;              // "<page name without extension>_files", CP932
    std::vector<std::string> fileNames_;  // per attachment: UTF-8 holding only characters CP932 has
};

// "%XX" for every byte but letters, digits and "-._~": a file name, in any
// encoding, as one step of a link.
std::string EncodeUrlStep(std::string_view name);

}  // namespace postloom
