#include "core/html/search_body_text.h"

#include "core/html/mime_page_body.h"
#include "core/html/modern/page_text.h"

namespace postloom {

std::string PlainBodyLines(std::string_view fileBytes)
{
    std::string out;
    bool inBody = false;
    bool lineEmpty = true;
    for (std::size_t i = 0; i < fileBytes.size(); ++i) {
        char c = fileBytes[i];
        if (c == '\x1A')
            break;
        if (c == '\r' && i + 1 < fileBytes.size() && fileBytes[i + 1] == '\n') {
            c = '\n';
            ++i;
        }
        if (inBody) {
            out.push_back(c);
            continue;
        }
        if (c == '\n') {
            if (lineEmpty)
                inBody = true;
            lineEmpty = true;
        } else {
            lineEmpty = false;
        }
    }
    return out;
}

std::string SearchBodyText(std::string_view fileBytes, std::string_view pageName, bool decodeMime,
                           AddressHiding hiding)
{
    std::string text;
    std::optional<MimePageBody> body;
    if (decodeMime)
        body = MimePageBody::FromMailFile(fileBytes, pageName);
    if (body) {
        for (std::size_t i = 0; i < body->TextCount(); ++i) {
            if (i > 0)
                text.push_back('\n');
            body->WriteTextUtf8(i, [&](std::string_view piece) { text.append(piece); });
        }
    } else {
        text = modern::Utf8OfCp932(PlainBodyLines(fileBytes));
    }
    return HideAddressesInText(text, hiding, TextEncoding::Utf8);
}

}  // namespace postloom
