// Any bytes as a header section, and the same bytes as a Date header line:
// neither parser may crash, read out of bounds or overflow.

#include "core/mail/mail_parser.h"
#include "core/mail/stored_limits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    postloom::MailRecord record;
    postloom::ParseMailHeader(record, bytes);
    const std::string shown = postloom::DisplaySubject(record, 1);
    // The shown subject is always a tail of the subject.
    if (shown.size() > record.subject.size())
        std::abort();
    // Reading keeps no more than a stored record does.
    const auto tooLong = [](const std::string& text) { return text.size() > postloom::kMaxStoredTextLength; };
    if (tooLong(record.subject) || tooLong(record.from) || tooLong(record.messageId) || tooLong(record.inReplyTo) ||
        record.references.size() > postloom::kMaxStoredReferences)
        std::abort();
    for (const std::string& reference : record.references) {
        if (tooLong(reference))
            std::abort();
    }

    postloom::ParseDateLine(bytes);
    return 0;
}
