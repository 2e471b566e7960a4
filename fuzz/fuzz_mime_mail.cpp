// Any bytes as a mail file on the MIME decoding path of the mail reader and
// the page writer: the header values, the texts of the body as a page holds
// them and the file names of the attachments. Nothing may crash, hang or
// read out of bounds, and every result keeps the promises its users rely on.

#include "core/mime/attachment_names.h"
#include "core/mime/mime_message.h"
#include "core/text/codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace postloom;

void Check(bool promise)
{
    if (!promise)
        std::abort();
}

// A saved name has one dot, before an extension a server only hands out.
bool HasOnePassiveExtension(std::string_view name)
{
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos || dot != name.rfind('.'))
        return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    for (const std::string_view passive : mime::PassiveExtensions()) {
        if (passive == extension)
            return true;
    }
    return false;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// A header value is one line; one without encoded words or 8-bit bytes
// comes back as it was, only unfolded.
void DecodeHeader(std::string_view folded)
{
    const std::string decoded = mime::DecodeHeaderText(folded);
    Check(!HasLineBreak(decoded));
    bool plain = folded.find("=?") == std::string_view::npos;
    std::string unfolded;
    for (const char c : folded) {
        plain = plain && static_cast<unsigned char>(c) < 0x80;
        if (c != '\r' && c != '\n')
            unfolded.push_back(c);
    }
    if (plain)
        Check(decoded == unfolded);
}

// Each header line's value with its continuation lines, as the mail reader
// hands it over.
void DecodeHeaderValues(std::string_view bytes)
{
    std::size_t start = 0;
    for (int count = 0; count < 64 && start < bytes.size(); ++count) {
        std::size_t end = bytes.find('\n', start);
        while (end != std::string_view::npos && end + 1 < bytes.size() &&
               (bytes[end + 1] == ' ' || bytes[end + 1] == '\t'))
            end = bytes.find('\n', end + 1);
        const std::string_view field = bytes.substr(start, end == std::string_view::npos ? end : end - start);
        const std::size_t colon = field.find(':');
        if (colon != std::string_view::npos)
            DecodeHeader(field.substr(colon + 1));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    mime::DeclaresMime(bytes);
    mime::NeedsDecoding(bytes);
    DecodeHeader(bytes);
    DecodeHeaderValues(bytes);

    const mime::DecodedMail mail = mime::DecodeMail(bytes);
    Check(mail.decoded == (!mail.texts.empty() || !mail.attachments.empty()));
    for (const mime::TextBlock& block : mail.texts) {
        if (block.utf8) {
            Check(text::IsValidUtf8(block.text));
            text::Utf8ToCp932(block.text, text::Unmappable::CharacterReference);
        }
    }

    std::vector<mime::NamedPart> parts;
    for (const mime::Attachment& attachment : mail.attachments) {
        Check(attachment.contentType.find('/') != std::string::npos);
        parts.push_back({attachment.name, attachment.contentType});
    }
    const std::vector<std::string> names = mime::AttachmentFileNames(parts);
    Check(names.size() == parts.size());
    std::set<std::string> distinct;
    for (const std::string& name : names) {
        Check(!name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
        Check(distinct.insert(name).second);
        Check(HasOnePassiveExtension(name));
    }
    Check(mime::AttachmentShownNames(parts).size() == parts.size());
    return 0;
}
