#include "core/mail/mail_record_codec.h"

#include <algorithm>
#include <utility>

namespace postloom {

namespace {

enum Tag : std::uint16_t {
    kEnd = 0,
    kSubject = 1,
    kMessageId = 2,
    kInReplyTo = 3,
    kReference = 4,
    kFileName = 5,
    kDate = 6,
    kOrderKey = 7,
    kNoReplyHeaders = 8,
    kReserved = 9,
    kOutputHtml = 10,
    kFrom = 11,
};

void PutU16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutI32(std::string& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

void PutText(std::string& out, std::string_view value)
{
    const std::string_view kept = StoredText(value);
    PutU16(out, static_cast<std::uint16_t>(kept.size()));
    out.append(kept);
}

void PutTextField(std::string& out, Tag tag, std::string_view value)
{
    PutU16(out, tag);
    PutText(out, value);
}

void PutIntField(std::string& out, Tag tag, std::int32_t value)
{
    PutU16(out, tag);
    PutI32(out, value);
}

// A stored text: its whole length is consumed, its first
// kMaxStoredTextLength bytes are kept. A text cut by the end of the data
// leaves value as it was: a prefix would pass for a whole file name or id
// and point at another mail. False when the text was not read whole.
bool TakeText(ByteReader& in, std::string& value)
{
    std::uint16_t length = 0;
    if (!in.ReadU16(length))
        return false;
    std::string read;
    if (!in.ReadBytes(length, read))
        return false;
    if (read.size() > kMaxStoredTextLength)
        read.resize(kMaxStoredTextLength);
    value = std::move(read);
    return true;
}

// Passes over a stored text; false when it was not there whole.
bool SkipText(ByteReader& in)
{
    std::uint16_t length = 0;
    return in.ReadU16(length) && in.Skip(length);
}

}  // namespace

bool ByteReader::ReadU16(std::uint16_t& value)
{
    if (Remaining() < 2) {
        pos_ = data_.size();
        fellShort_ = true;
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    pos_ += 2;
    return true;
}

bool ByteReader::ReadI32(std::int32_t& value)
{
    if (Remaining() < 4) {
        pos_ = data_.size();
        fellShort_ = true;
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    const std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    value = static_cast<std::int32_t>(bits);
    pos_ += 4;
    return true;
}

bool ByteReader::ReadBytes(std::size_t n, std::string& out)
{
    const std::size_t from = pos_;
    const bool whole = Skip(n);
    out.assign(data_.substr(from, pos_ - from));
    return whole;
}

bool ByteReader::Skip(std::size_t n)
{
    const std::size_t taken = std::min(n, Remaining());
    pos_ += taken;
    if (taken < n)
        fellShort_ = true;
    return taken == n;
}

void WriteMailRecord(const MailRecord& record, std::string& out)
{
    PutTextField(out, kSubject, record.subject);
    PutTextField(out, kMessageId, record.messageId);
    PutTextField(out, kInReplyTo, record.inReplyTo);
    const std::size_t references = std::min(record.references.size(), kMaxStoredReferences);
    for (std::size_t i = 0; i < references; ++i)
        PutTextField(out, kReference, record.references[i]);
    PutTextField(out, kFileName, record.fileName);
    PutTextField(out, kFrom, record.from);
    PutIntField(out, kDate, record.date);
    PutIntField(out, kOrderKey, record.orderKey);
    PutIntField(out, kNoReplyHeaders, record.noReplyHeaders);
    PutIntField(out, kReserved, record.reserved);
    PutIntField(out, kOutputHtml, record.outputHtml);
    PutU16(out, kEnd);
}

bool ReadMailRecord(MailRecord& record, ByteReader& in)
{
    if (in.AtEnd())
        return false;
    std::uint16_t tag = 0;
    while (in.ReadU16(tag) && tag != kEnd) {
        switch (tag) {
        case kSubject:
            TakeText(in, record.subject);
            break;
        case kMessageId:
            TakeText(in, record.messageId);
            break;
        case kInReplyTo:
            TakeText(in, record.inReplyTo);
            break;
        case kReference: {
            std::string reference;
            if (TakeText(in, reference))
                record.references.push_back(std::move(reference));
            break;
        }
        case kFileName:
            TakeText(in, record.fileName);
            break;
        case kFrom:
            TakeText(in, record.from);
            break;
        case kDate:
            in.ReadI32(record.date);
            break;
        case kOrderKey:
            in.ReadI32(record.orderKey);
            break;
        case kNoReplyHeaders:
            in.ReadI32(record.noReplyHeaders);
            break;
        case kReserved:
            in.ReadI32(record.reserved);
            break;
        case kOutputHtml:
            in.ReadI32(record.outputHtml);
            break;
        default:
            break;  // unknown tags carry no payload
        }
    }
    return true;
}

bool HasWrittenShape(std::string_view record)
{
    static constexpr Tag kWrittenOrder[] = {kSubject, kMessageId, kInReplyTo, kReference, kFileName, kFrom,
                                            kDate,    kOrderKey,  kNoReplyHeaders, kReserved, kOutputHtml, kEnd};
    ByteReader in(record);
    std::int32_t number = 0;
    std::uint16_t tag = 0;
    if (!in.ReadU16(tag))
        return false;
    for (const Tag expected : kWrittenOrder) {
        if (expected == kReference) {
            while (tag == kReference) {
                if (!SkipText(in) || !in.ReadU16(tag))
                    return false;
            }
            continue;
        }
        if (tag != expected)
            return false;
        if (expected == kEnd)
            return in.AtEnd();
        const bool isText = expected == kSubject || expected == kMessageId || expected == kInReplyTo ||
                            expected == kFileName || expected == kFrom;
        if (!(isText ? SkipText(in) : in.ReadI32(number)) || !in.ReadU16(tag))
            return false;
    }
    return false;
}

bool ReadOldMailRecord(MailRecord& record, ByteReader& in)
{
    if (in.AtEnd())
        return false;
    if (!TakeText(in, record.subject) || !TakeText(in, record.messageId) || !TakeText(in, record.inReplyTo))
        return true;
    std::uint16_t count = 0;
    if (!in.ReadU16(count))
        return true;
    for (std::uint16_t i = 0; i < count; ++i) {
        std::string reference;
        if (!TakeText(in, reference))
            return true;
        record.references.push_back(std::move(reference));
    }
    if (TakeText(in, record.fileName) && in.ReadI32(record.date) && in.ReadI32(record.orderKey))
        in.ReadI32(record.noReplyHeaders);
    return true;
}

}  // namespace postloom
