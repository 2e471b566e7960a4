#include "core/html/mime_page_body.h"

#include "core/html/output_paths.h"
#include "core/html/text_helpers.h"
#include "core/mime/attachment_names.h"
#include "core/platform/file_system.h"
#include "core/platform/output_file.h"
#include "core/text/codec.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace postloom {

namespace {

// The header section of a mail file: the bytes before its first empty line.
std::string_view HeaderSection(std::string_view bytes)
{
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        const std::string_view line = bytes.substr(start, end - start);
        if (line.empty() || line == "\r")
            return bytes.substr(0, start);
        start = end + 1;
    }
    return bytes;
}

// Every line of text escaped and ended by "<BR>\n"; a last line without its
// LF counts as a line, as in a page of a mail read as it stands.
void AppendLines(const mime::TextBlock& block, std::string& page)
{
    std::string escaped;
    std::string_view rest = block.text;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        const std::string_view line = rest.substr(0, lf);
        escaped.clear();
        AppendEscapedHtml(line, escaped);
        if (block.utf8)
            page.append(text::Utf8ToCp932(escaped, text::Unmappable::CharacterReference));
        else
            page.append(escaped);
        page.append("<BR>\n");
        rest = lf == std::string_view::npos ? std::string_view{} : rest.substr(lf + 1);
    }
}

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
    if (!mime::NeedsDecoding(HeaderSection(fileBytes)))
        return std::nullopt;
    mime::DecodedMail mail = mime::DecodeMail(fileBytes);
    if (!mail.decoded)
        return std::nullopt;
    return MimePageBody(std::move(mail), pageName);
}

MimePageBody::MimePageBody(mime::DecodedMail mail, std::string_view pageName)
    : mail_(std::move(mail)), folderName_(WithoutExtension(pageName) + "_files")
{
    std::vector<mime::NamedPart> parts;
    parts.reserve(mail_.attachments.size());
    for (const mime::Attachment& attachment : mail_.attachments)
        parts.push_back({attachment.name, attachment.contentType});
    fileNames_ = mime::AttachmentFileNames(parts);
}

void MimePageBody::AppendTo(std::string& page) const
{
    for (std::size_t i = 0; i < mail_.texts.size(); ++i) {
        if (i > 0)
            page.append("<HR>\n");
        AppendLines(mail_.texts[i], page);
    }
    if (mail_.attachments.empty())
        return;
    page.append("<HR>\n");
    // The folder name is the page's own name (CP932) as the file system
    // holds it, the file names are UTF-8 already.
    const std::string folderLink = EncodeUrlStep(text::Cp932ToUtf8(folderName_));
    std::string shownName;
    for (std::size_t i = 0; i < mail_.attachments.size(); ++i) {
        const mime::Attachment& attachment = mail_.attachments[i];
        shownName.clear();
        AppendEscapedHtml(fileNames_[i], shownName);
        page.append("<A HREF=")
            .append(folderLink)
            .append("/")
            .append(EncodeUrlStep(fileNames_[i]))
            .append(">")
            .append(text::Utf8ToCp932(shownName, text::Unmappable::CharacterReference))
            .append("</A> (");
        AppendEscapedHtml(attachment.contentType, page);
        page.append(", ").append(std::to_string(attachment.data.size())).append(" bytes)<BR>\n");
    }
}

void MimePageBody::SaveAttachments(std::string_view pagePath, std::vector<platform::FileProblem>& problems) const
{
    if (mail_.attachments.empty())
        return;
    const std::string_view pageFolder = pagePath.substr(0, pagePath.size() - FileNamePart(pagePath).size());
    const std::string folder = JoinPath(pageFolder, folderName_);
    if (const int error = platform::MakeOwnFolder(folder); error != 0) {
        problems.push_back({folder, text::Utf8ToCp932(std::generic_category().message(error))});
        return;
    }
    for (std::size_t i = 0; i < mail_.attachments.size(); ++i) {
        const std::string path = JoinPath(folder, text::Utf8ToCp932(fileNames_[i]));
        if (!platform::DropExecutePermission(path)) {
            problems.push_back({path, text::Utf8ToCp932(std::generic_category().message(errno))});
            continue;
        }
        platform::OutputFile out(path, platform::OutputFile::Mode::Binary);
        out.Write(mail_.attachments[i].data);
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
