// Reads the same bytes as a run of tagged records and as a run of old
// fixed-order records. Every record read must respect the text limit, take
// at least one byte, and come back unchanged through the tagged encoding.

#include "core/mail/mail_record_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using postloom::ByteReader;
using postloom::MailRecord;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool WithinLimit(const MailRecord& r)
{
    const auto fits = [](const std::string& s) { return s.size() <= postloom::kMaxStoredTextLength; };
    return fits(r.subject) && fits(r.messageId) && fits(r.inReplyTo) && fits(r.fileName) && fits(r.from) &&
           std::all_of(r.references.begin(), r.references.end(), fits);
}

void CheckRoundTrip(const MailRecord& r)
{
    std::string bytes;
    postloom::WriteMailRecord(r, bytes);
    ByteReader in(bytes);
    MailRecord back;
    Check(postloom::ReadMailRecord(back, in));
    Check(in.AtEnd() && !in.FellShort());
    const std::size_t references = std::min<std::size_t>(r.references.size(), 0xFFFF);
    Check(back.subject == r.subject && back.messageId == r.messageId && back.inReplyTo == r.inReplyTo &&
          back.fileName == r.fileName && back.from == r.from && back.date == r.date &&
          back.orderKey == r.orderKey && back.noReplyHeaders == r.noReplyHeaders && back.reserved == r.reserved &&
          back.outputHtml == r.outputHtml && back.references.size() == references &&
          std::equal(back.references.begin(), back.references.end(), r.references.begin()));
}

void ReadAll(std::string_view data, bool oldEncoding)
{
    ByteReader in(data);
    std::size_t before = in.Remaining();
    for (;;) {
        MailRecord r;
        const bool read = oldEncoding ? postloom::ReadOldMailRecord(r, in) : postloom::ReadMailRecord(r, in);
        if (!read)
            break;
        Check(in.Remaining() < before);
        before = in.Remaining();
        Check(WithinLimit(r));
        CheckRoundTrip(r);
    }
    Check(in.AtEnd());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadAll(bytes, false);
    ReadAll(bytes, true);
    return 0;
}
