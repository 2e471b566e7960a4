#pragma once

// The two binary encodings of a MailRecord stored in a project file: the
// tagged encoding (written and read) and the old fixed-order encoding (read
// only). Numbers are little-endian.

#include "core/mail/mail_record.h"
#include "core/mail/stored_limits.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace postloom {

// A cursor over bytes that never reads past their end.
class ByteReader {
public:
    explicit ByteReader(std::string_view data) : data_(data) {}
    bool ReadU16(std::uint16_t& value);
    bool ReadI32(std::int32_t& value);
    // n bytes, or as many as are left (returns false when fewer than n).
    bool ReadBytes(std::size_t n, std::string& out);
    // Passes over n bytes, or as many as are left (false when fewer than n).
    bool Skip(std::size_t n);
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::size_t Remaining() const { return data_.size() - pos_; }
    std::size_t Position() const { return pos_; }
    // True once a read met the end of the data before it had all its bytes.
    bool FellShort() const { return fellShort_; }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
    bool fellShort_ = false;
};

// Appends the tagged encoding of record to out. Texts are cut as StoredText
// cuts them, and only the first kMaxStoredReferences references are kept.
void WriteMailRecord(const MailRecord& record, std::string& out);

// Fill a freshly created record. Both return false when no byte at all was
// left to read (the record holds nothing from the data); a record cut in the
// middle keeps the fields read whole before the cut and returns true: a
// field (text, number or reference) cut by the end of the data keeps its
// creation value. A stored text longer than kMaxStoredTextLength is consumed
// whole and its first bytes are kept.
bool ReadMailRecord(MailRecord& record, ByteReader& in);
bool ReadOldMailRecord(MailRecord& record, ByteReader& in);

// Whether bytes, one record of the tagged encoding as ReadMailRecord
// consumed it, hold the fields in the order WriteMailRecord writes them
// (every field once, the references any number of times) and end with tag
// 0. Only damage gives a stored record another shape: a broken tag or
// length makes the reader take text for tags.
bool HasWrittenShape(std::string_view record);

}  // namespace postloom
