#include "core/html/mime_page_body.h"

#include "core/html/output_paths.h"
#include "core/html/text_helpers.h"
#include "core/mime/attachment_names.h"
#include "core/platform/file_system.h"
#include "core/platform/output_file.h"
#include "core/text/codec.h"
#include "core/text/cp932_decoder.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace postloom {

namespace {

// The page is handed on whenever it has grown to this size.
constexpr std::size_t kPagePiece = 256 * 1024;

// Lines of text given in pieces (each ending between two characters):
// each line escaped and ended by "<BR>\n"; a last line without its LF
// counts as a line, as in a page of a mail read as it stands.
class LineWriter {
public:
    explicit LineWriter(bool utf8) : utf8_(utf8) {}

    void Feed(std::string_view text, std::string& page)
    {
        while (!text.empty()) {
            const std::size_t lf = text.find('\n');
            const std::string_view part = text.substr(0, lf);
            escaped_.clear();
            AppendEscapedHtml(part, escaped_);
            if (utf8_)
                page.append(text::Utf8ToCp932(escaped_, text::Unmappable::CharacterReference));
            else
                page.append(escaped_);
            if (lf == std::string_view::npos) {
                lineOpen_ = lineOpen_ || !part.empty();
                return;
            }
            page.append("<BR>\n");
            lineOpen_ = false;
            text.remove_prefix(lf + 1);
        }
    }

    void Finish(std::string& page)
    {
        if (lineOpen_)
            page.append("<BR>\n");
        lineOpen_ = false;
    }

private:
    bool utf8_;
    bool lineOpen_ = false;
    std::string escaped_;
};

std::string WithoutExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

}  // namespace

std::string EncodeUrlStep(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            std::strchr("-._~", c) != nullptr) {
            if (c != '\0') {
                out.push_back(c);
                continue;
            }
        }
        out.push_back('%');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    }
    return out;
}

std::optional<MimePageBody> MimePageBody::FromMailFile(std::string_view fileBytes, std::string_view pageName)
{
    bool readFailed = false;
    return Made(mime::MimeMail::FromBytes(fileBytes, true), pageName, readFailed);
}

std::optional<MimePageBody> MimePageBody::FromOpenFile(int fd, std::string_view pageName, bool& readFailed)
{
    return Made(mime::MimeMail::FromFile(fd, true), pageName, readFailed);
}

std::optional<MimePageBody> MimePageBody::Made(std::unique_ptr<mime::MimeMail> mail, std::string_view pageName,
                                               bool& readFailed)
{
    if (mail == nullptr)
        return std::nullopt;
    MimePageBody body;
    std::vector<mime::NamedPart> parts;
    for (std::size_t i = 0; i < mail->attachments().size(); ++i) {
        const mime::MimeMail::AttachmentInfo& attachment = mail->attachments()[i];
        parts.push_back({attachment.name, attachment.contentType});
        // The list on the page gives each size before any is saved.
        std::uint64_t size = 0;
        if (!mail->WriteAttachment(i, [&size](std::string_view piece) { size += piece.size(); })) {
            readFailed = true;
            return std::nullopt;
        }
        body.sizes_.push_back(size);
    }
    body.fileNames_ = mime::AttachmentFileNames(parts);
    body.shownNames_ = mime::AttachmentShownNames(parts);
    body.folderName_ = WithoutExtension(pageName) + std::string(kAttachmentFolderSuffix);
    body.mail_ = std::move(mail);
    return body;
}

bool MimePageBody::AppendTo(std::string& page, const std::function<void(std::string_view)>& out) const
{
    const auto handOn = [&] {
        if (page.size() >= kPagePiece) {
            out(page);
            page.clear();
        }
    };
    for (std::size_t i = 0; i < mail_->textCount(); ++i) {
        if (i > 0)
            page.append("<HR>\n");
        LineWriter lines(mail_->textIsUtf8(i));
        const bool read = mail_->WriteText(i, [&](std::string_view piece) {
            lines.Feed(piece, page);
            handOn();
        });
        if (!read)
            return false;
        lines.Finish(page);
    }
    const std::vector<mime::MimeMail::AttachmentInfo>& attachments = mail_->attachments();
    if (attachments.empty())
        return true;
    page.append("<HR>\n");
    // The folder name is the page's own name (CP932) as the file system
    // holds it, the file names are UTF-8 already.
    const std::string folderLink = EncodeUrlStep(text::Cp932ToUtf8(folderName_));
    std::string shownName;
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        shownName.clear();
        AppendEscapedHtml(shownNames_[i], shownName);
        page.append("<A HREF=")
            .append(folderLink)
            .append("/")
            .append(EncodeUrlStep(fileNames_[i]))
            .append(">")
            .append(text::Utf8ToCp932(shownName, text::Unmappable::CharacterReference))
            .append("</A> (");
        AppendEscapedHtml(attachments[i].contentType, page);
        page.append(", ").append(std::to_string(sizes_[i])).append(" bytes)<BR>\n");
    }
    return true;
}

std::size_t MimePageBody::TextCount() const
{
    return mail_->textCount();
}

bool MimePageBody::WriteTextUtf8(std::size_t i, const std::function<void(std::string_view)>& out) const
{
    if (mail_->textIsUtf8(i))
        return mail_->WriteText(i, out);
    std::string utf8;
    return mail_->WriteText(i, [&](std::string_view piece) {
        utf8.clear();
        text::AppendUtf8OfCp932(piece, utf8);
        out(utf8);
    });
}

std::vector<MimePageBody::AttachmentLink> MimePageBody::AttachmentLinks() const
{
    const std::string folderLink = EncodeUrlStep(text::Cp932ToUtf8(folderName_));
    std::vector<AttachmentLink> links;
    for (std::size_t i = 0; i < sizes_.size(); ++i)
        links.push_back({folderLink + "/" + EncodeUrlStep(fileNames_[i]), shownNames_[i],
                         mail_->attachments()[i].contentType, sizes_[i]});
    return links;
}

void MimePageBody::SaveAttachments(std::string_view pagePath, std::vector<platform::FileProblem>& problems) const
{
    if (sizes_.empty())
        return;
    const std::string_view pageFolder = pagePath.substr(0, pagePath.size() - FileNamePart(pagePath).size());
    const std::string folder = JoinPath(pageFolder, folderName_);
    if (const int error = platform::MakeOwnFolder(folder); error != 0) {
        problems.push_back({folder, text::Utf8ToCp932(std::generic_category().message(error))});
        return;
    }
    for (std::size_t i = 0; i < sizes_.size(); ++i) {
        const std::string path = JoinPath(folder, text::Utf8ToCp932(fileNames_[i]));
        if (!platform::DropExecutePermission(path)) {
            problems.push_back({path, text::Utf8ToCp932(std::generic_category().message(errno))});
            continue;
        }
        platform::OutputFile out(path, platform::OutputFile::Mode::Binary);
        if (!mail_->WriteAttachment(i, [&out](std::string_view piece) { out.Write(piece); })) {
            out.Discard();
            problems.push_back({path, text::Utf8ToCp932(std::generic_category().message(EIO))});
            continue;
        }
        if (out.Commit() == platform::OutputFile::Outcome::Failed)
            problems.push_back({path, out.Error()});
    }
}

std::vector<std::string> MimePageBody::AttachmentPaths() const
{
    std::vector<std::string> paths;
    for (const std::string& name : fileNames_)
        paths.push_back(folderName_ + "/" + text::Utf8ToCp932(name));
    return paths;
}

}  // namespace postloom
