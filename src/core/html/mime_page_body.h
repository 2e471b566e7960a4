#pragma once

// The body of a page for a mail that declares MIME, with MIME decoding on:
// its inline texts, then a list of its attachments, which are saved in a
// folder beside the page ("00012.html" gets "00012_files/"). The mail is
// parsed once; the texts may be placed several times (a template can show
// the body more than once), each time decoded anew, and the attachments are
// saved once. A mail read from its file passes through a fixed amount of
// memory whatever its size, and gives the same page and files as its bytes
// held in memory.

#include "core/mime/mime_message.h"
#include "core/platform/file_problem.h"

#include <cstdint>
#include <functional>
#include <memory>
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
    // The same for the mail file open for reading at fd, read piece by
    // piece; the body keeps a descriptor of its own. readFailed is set when
    // the file could not be read through.
    static std::optional<MimePageBody> FromOpenFile(int fd, std::string_view pageName, bool& readFailed);

    // Appends the texts, each line escaped and ended by "<BR>\n", a "<HR>\n"
    // between two texts, and the list of attachments with their links. A
    // character CP932 cannot hold is written as a character reference.
    // Whenever page has grown to a few hundred kilobytes it is handed to out
    // and emptied. False when the mail file could not be read.
    bool AppendTo(std::string& page, const std::function<void(std::string_view)>& out) const;

    // Saves the attachments into their folder beside the page at pagePath
    // (CP932), each file whole or not at all and never executable; a file
    // already holding the same bytes is left alone. What cannot be saved is
    // added to problems (the path and the reason).
    void SaveAttachments(std::string_view pagePath, std::vector<platform::FileProblem>& problems) const;

    // The texts one by one, for pages that hold UTF-8: text i handed to out
    // as UTF-8 in pieces that end between two characters, with LF line
    // ends. False when the mail file could not be read.
    std::size_t TextCount() const;
    bool WriteTextUtf8(std::size_t i, const std::function<void(std::string_view)>& out) const;

    struct AttachmentLink {
        std::string href;         // from the page's folder, in URL form (ASCII)
        std::string shownName;    // UTF-8
        std::string contentType;  // as the mail gives it
        std::uint64_t size = 0;
    };
    // The attachments as the page links them, in the mail's order.
    std::vector<AttachmentLink> AttachmentLinks() const;

    bool HasAttachments() const { return !sizes_.empty(); }
    // Where SaveAttachments puts each file, relative to the page's folder:
    // "<page>_files/<name>" (CP932).
    std::vector<std::string> AttachmentPaths() const;

private:
    MimePageBody() = default;
    static std::optional<MimePageBody> Made(std::unique_ptr<mime::MimeMail> mail, std::string_view pageName,
                                            bool& readFailed);

    std::unique_ptr<mime::MimeMail> mail_;
    std::string folderName_;              // "<page name without extension>_files", CP932
    std::vector<std::string> fileNames_;  // per attachment: UTF-8 holding only characters CP932 has
    std::vector<std::string> shownNames_;  // per attachment: the text of its link, UTF-8 as above
    std::vector<std::uint64_t> sizes_;     // per attachment: its decoded size
};

// Ends the name of the folder beside a page that holds its attachments.
inline constexpr std::string_view kAttachmentFolderSuffix = "_files";

// "%XX" for every byte but letters, digits and "-._~": a file name, in any
// encoding, as one step of a link.
std::string EncodeUrlStep(std::string_view name);

}  // namespace postloom
