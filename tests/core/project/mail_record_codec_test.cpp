#include "core/mail/mail_record_codec.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postloom {
namespace {

using test::Sjis;

std::string U16(std::uint16_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string I32(std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF), static_cast<char>((u >> 16) & 0xFF),
            static_cast<char>(u >> 24)};
}

std::string Text(std::string_view s)
{
    return U16(static_cast<std::uint16_t>(s.size())) + std::string(s);
}

MailRecord FullRecord()
{
    MailRecord r;
    r.subject = Sjis("Re: [ml:12] ソース表示");
    r.messageId = "id1.aa@example.jp";
    r.inReplyTo = "id0.zz@example.jp";
    r.references = {"r1.aa", "r2.bb", "r1.aa"};
    r.fileName = "00012.alm";
    r.from = Sjis("山田 <yamada@example.jp>");
    r.date = -123456;
    r.orderKey = 2147483647;
    r.noReplyHeaders = 0;
    r.reserved = -1;
    r.outputHtml = 0;
    return r;
}

void ExpectSameStoredFields(const MailRecord& expected, const MailRecord& actual)
{
    EXPECT_EQ(expected.subject, actual.subject);
    EXPECT_EQ(expected.messageId, actual.messageId);
    EXPECT_EQ(expected.inReplyTo, actual.inReplyTo);
    EXPECT_EQ(expected.references, actual.references);
    EXPECT_EQ(expected.fileName, actual.fileName);
    EXPECT_EQ(expected.from, actual.from);
    EXPECT_EQ(expected.date, actual.date);
    EXPECT_EQ(expected.orderKey, actual.orderKey);
    EXPECT_EQ(expected.noReplyHeaders, actual.noReplyHeaders);
    EXPECT_EQ(expected.reserved, actual.reserved);
    EXPECT_EQ(expected.outputHtml, actual.outputHtml);
}

MailRecord ReadTagged(std::string_view bytes)
{
    ByteReader in(bytes);
    MailRecord r;
    EXPECT_TRUE(ReadMailRecord(r, in));
    return r;
}

TEST(TaggedRecordTest, WritesFieldsInFileOrder)
{
    MailRecord r;
    r.subject = "s";
    r.messageId = "m";
    r.inReplyTo = "i";
    r.references = {"a", "bc"};
    r.fileName = "f";
    r.from = "w";
    r.date = 1;
    r.orderKey = -2;
    r.noReplyHeaders = 3;
    r.reserved = 4;
    r.outputHtml = 5;
    std::string out = "prefix";
    WriteMailRecord(r, out);
    const std::string expected = "prefix" + U16(1) + Text("s") + U16(2) + Text("m") + U16(3) + Text("i") + U16(4) +
                                 Text("a") + U16(4) + Text("bc") + U16(5) + Text("f") + U16(11) + Text("w") + U16(6) +
                                 I32(1) + U16(7) + I32(-2) + U16(8) + I32(3) + U16(9) + I32(4) + U16(10) + I32(5) +
                                 U16(0);
    EXPECT_EQ(expected, out);
}

TEST(TaggedRecordTest, RoundTripKeepsEveryStoredField)
{
    const MailRecord full = FullRecord();
    std::string bytes;
    WriteMailRecord(full, bytes);
    ExpectSameStoredFields(full, ReadTagged(bytes));

    const MailRecord empty;
    bytes.clear();
    WriteMailRecord(empty, bytes);
    ExpectSameStoredFields(empty, ReadTagged(bytes));
}

TEST(TaggedRecordTest, MoreReferencesThanACountCanHoldAreCutToTheFirst65535)
{
    MailRecord r;
    for (int i = 0; i < 65536 + 10; ++i)
        r.references.push_back(std::to_string(i));
    std::string bytes;
    WriteMailRecord(r, bytes);
    const MailRecord back = ReadTagged(bytes);
    ASSERT_EQ(65535u, back.references.size());
    EXPECT_EQ("0", back.references.front());
    EXPECT_EQ("65534", back.references.back());
}

TEST(TaggedRecordTest, RecordsFollowOneAnother)
{
    MailRecord second = FullRecord();
    second.subject = "second";
    std::string bytes;
    WriteMailRecord(FullRecord(), bytes);
    WriteMailRecord(second, bytes);
    ByteReader in(bytes);
    MailRecord a;
    MailRecord b;
    MailRecord none;
    ASSERT_TRUE(ReadMailRecord(a, in));
    ASSERT_TRUE(ReadMailRecord(b, in));
    EXPECT_FALSE(ReadMailRecord(none, in));
    ExpectSameStoredFields(FullRecord(), a);
    ExpectSameStoredFields(second, b);
    EXPECT_FALSE(in.FellShort());
}

TEST(TaggedRecordTest, UnknownTagsHaveNoPayload)
{
    const std::string bytes = U16(12) + U16(1) + Text("s") + U16(0xFFFF) + U16(200) + U16(6) + I32(42) + U16(0);
    const MailRecord r = ReadTagged(bytes);
    EXPECT_EQ("s", r.subject);
    EXPECT_EQ(42, r.date);
}

TEST(TaggedRecordTest, MissingFieldsKeepCreationValues)
{
    const MailRecord r = ReadTagged(U16(5) + Text("x.alm") + U16(0));
    ExpectSameStoredFields([] {
        MailRecord expected;
        expected.fileName = "x.alm";
        return expected;
    }(), r);
}

TEST(TaggedRecordTest, TagZeroEndsTheRecordAndLeavesTheRest)
{
    const std::string bytes = U16(1) + Text("a") + U16(0) + U16(1) + Text("b") + U16(0);
    ByteReader in(bytes);
    MailRecord first;
    ASSERT_TRUE(ReadMailRecord(first, in));
    EXPECT_EQ("a", first.subject);
    EXPECT_EQ(bytes.size() - 7, in.Remaining());
}

// Every field of r holds the value of full or, when the cut took it, the
// value of a fresh record: never a prefix. References are whole and in
// order.
void ExpectWholeOrFresh(const MailRecord& full, const MailRecord& r)
{
    const MailRecord fresh;
    for (const auto& [got, want] : {std::pair{&r.subject, &full.subject}, {&r.messageId, &full.messageId},
                                    {&r.inReplyTo, &full.inReplyTo}, {&r.fileName, &full.fileName},
                                    {&r.from, &full.from}})
        EXPECT_TRUE(*got == *want || got->empty()) << *got;
    ASSERT_LE(r.references.size(), full.references.size());
    for (std::size_t i = 0; i < r.references.size(); ++i)
        EXPECT_EQ(full.references[i], r.references[i]);
    for (const auto& [got, want, initial] :
         {std::tuple{r.date, full.date, fresh.date}, {r.orderKey, full.orderKey, fresh.orderKey},
          {r.noReplyHeaders, full.noReplyHeaders, fresh.noReplyHeaders},
          {r.reserved, full.reserved, fresh.reserved}, {r.outputHtml, full.outputHtml, fresh.outputHtml}})
        EXPECT_TRUE(got == want || got == initial) << got;
}

// Cuts a whole record at every position: nothing is invented, nothing is
// read past the end, and every field holds its value or its creation value.
TEST(TaggedRecordTest, RecordCutAnywhereKeepsWholeFieldsOnly)
{
    const MailRecord full = FullRecord();
    std::string bytes;
    WriteMailRecord(full, bytes);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string data = bytes.substr(0, cut);
        ByteReader in(data);
        MailRecord r;
        EXPECT_EQ(cut > 0, ReadMailRecord(r, in));
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(cut > 0, in.FellShort());
        ExpectWholeOrFresh(full, r);
    }
}

// A cut file name or id kept as a prefix would name another mail's page or
// thread the mail under another parent.
TEST(TaggedRecordTest, TextCutByTheEndKeepsItsCreationValue)
{
    const std::string head = U16(1) + Text("subject") + U16(6) + I32(77);
    const MailRecord name = ReadTagged(head + U16(5) + U16(9) + "000");
    EXPECT_EQ("subject", name.subject);
    EXPECT_EQ(77, name.date);
    EXPECT_EQ("", name.fileName);

    const MailRecord id = ReadTagged(head + U16(2) + U16(17) + "id1.aa@exa");
    EXPECT_EQ("", id.messageId);
    EXPECT_EQ("subject", id.subject);

    const MailRecord reference = ReadTagged(head + U16(4) + Text("r1") + U16(4) + U16(5) + "r2");
    EXPECT_EQ(std::vector<std::string>{"r1"}, reference.references);

    const MailRecord number = ReadTagged(head + U16(10) + std::string("\0\0", 2));
    EXPECT_EQ(1, number.outputHtml);
    EXPECT_EQ(77, number.date);
}

TEST(TaggedRecordTest, ALoneByteIsACutRecord)
{
    const std::string data(1, '\x01');
    ByteReader in(data);
    MailRecord r;
    EXPECT_TRUE(ReadMailRecord(r, in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(in.FellShort());
}

// Only the shape a save writes passes: a broken tag or length makes the
// reader take text for fields, which leaves another sequence of tags.
TEST(WrittenShapeTest, OnlyTheFieldsOfASaveInTheirOrderPass)
{
    MailRecord noReferences = FullRecord();
    noReferences.references.clear();
    for (const MailRecord& record : {FullRecord(), noReferences, MailRecord()}) {
        std::string bytes;
        WriteMailRecord(record, bytes);
        EXPECT_TRUE(HasWrittenShape(bytes));
        EXPECT_FALSE(HasWrittenShape(bytes + U16(0)));
        EXPECT_FALSE(HasWrittenShape(bytes.substr(0, bytes.size() - 2)));
        // The subject's tag broken to 0 or to an unknown tag.
        EXPECT_FALSE(HasWrittenShape(U16(0) + bytes.substr(2)));
        EXPECT_FALSE(HasWrittenShape(U16(0xFFFF) + bytes.substr(2)));
    }
    const std::string texts = U16(1) + Text("s") + U16(2) + Text("m") + U16(3) + Text("i");
    const std::string numbers = U16(6) + I32(1) + U16(7) + I32(2) + U16(8) + I32(0) + U16(9) + I32(0) + U16(10) +
                                I32(1) + U16(0);
    const std::string tail = U16(5) + Text("f.alm") + U16(11) + Text("from") + numbers;
    EXPECT_TRUE(HasWrittenShape(texts + U16(4) + Text("r1") + U16(4) + Text("r2") + tail));
    EXPECT_FALSE(HasWrittenShape(texts + U16(5) + Text("f.alm") + U16(11) + Text("from") + U16(4) + Text("r") +
                                 numbers));
    EXPECT_FALSE(HasWrittenShape(texts + tail.substr(0, tail.size() - 8) + U16(0)));
    EXPECT_FALSE(HasWrittenShape(texts + U16(12) + tail));
    EXPECT_FALSE(HasWrittenShape(""));
}

TEST(OldRecordTest, ReadsTheFixedOrderFields)
{
    const std::string bytes = Text(Sjis("件名")) + Text("mid") + Text("irt") + U16(2) + Text("r1") + Text("r2") +
                              Text("01.wml") + I32(-5) + I32(7) + I32(0) + "next";
    ByteReader in(bytes);
    MailRecord r;
    ASSERT_TRUE(ReadOldMailRecord(r, in));
    EXPECT_EQ(Sjis("件名"), r.subject);
    EXPECT_EQ("mid", r.messageId);
    EXPECT_EQ("irt", r.inReplyTo);
    EXPECT_EQ((std::vector<std::string>{"r1", "r2"}), r.references);
    EXPECT_EQ("01.wml", r.fileName);
    EXPECT_EQ(-5, r.date);
    EXPECT_EQ(7, r.orderKey);
    EXPECT_EQ(0, r.noReplyHeaders);
    EXPECT_EQ("", r.from);
    EXPECT_EQ(0, r.reserved);
    EXPECT_EQ(1, r.outputHtml);
    EXPECT_EQ(4u, in.Remaining());
    EXPECT_FALSE(in.FellShort());
}

TEST(OldRecordTest, RecordCutAnywhereKeepsWholeFieldsOnly)
{
    MailRecord full;
    full.subject = "subj";
    full.messageId = "mid";
    full.references = {"r1", "r2", "r3"};
    full.fileName = "00012.wml";
    full.date = 1;
    full.orderKey = 2;
    full.noReplyHeaders = 0;
    const std::string bytes = Text("subj") + Text("mid") + Text("") + U16(3) + Text("r1") + Text("r2") + Text("r3") +
                              Text("00012.wml") + I32(1) + I32(2) + I32(0);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string data = bytes.substr(0, cut);
        ByteReader in(data);
        MailRecord r;
        EXPECT_EQ(cut > 0, ReadOldMailRecord(r, in));
        EXPECT_TRUE(in.AtEnd());
        ExpectWholeOrFresh(full, r);
    }
}

TEST(OldRecordTest, TextCutByTheEndKeepsItsCreationValue)
{
    const std::string head = Text("subj") + Text("mid") + Text("") + U16(2) + Text("r1");
    const std::string reference = head + U16(4) + "r";
    ByteReader cutReference(reference);
    MailRecord r;
    ASSERT_TRUE(ReadOldMailRecord(r, cutReference));
    EXPECT_EQ("mid", r.messageId);
    EXPECT_EQ(std::vector<std::string>{"r1"}, r.references);

    const std::string whole = head + Text("r2");
    const std::string name = whole + U16(9) + "000";
    ByteReader cutName(name);
    MailRecord n;
    ASSERT_TRUE(ReadOldMailRecord(n, cutName));
    EXPECT_EQ((std::vector<std::string>{"r1", "r2"}), n.references);
    EXPECT_EQ("", n.fileName);

    const std::string number = whole + Text("f.wml") + I32(5) + std::string("\x07\0", 2);
    ByteReader cutNumber(number);
    MailRecord d;
    ASSERT_TRUE(ReadOldMailRecord(d, cutNumber));
    EXPECT_EQ("f.wml", d.fileName);
    EXPECT_EQ(5, d.date);
    EXPECT_EQ(0, d.orderKey);
    EXPECT_EQ(1, d.noReplyHeaders);
}

TEST(OldRecordTest, CountLargerThanTheDataStopsAtTheEnd)
{
    const std::string bytes = Text("s") + Text("") + Text("") + U16(65535) + Text("only");
    ByteReader in(bytes);
    MailRecord r;
    ASSERT_TRUE(ReadOldMailRecord(r, in));
    EXPECT_EQ(std::vector<std::string>{"only"}, r.references);
    EXPECT_TRUE(in.FellShort());
}

TEST(StoredTextLimitTest, WriterCutsAtTheLimit)
{
    MailRecord r;
    r.subject = std::string(1024, 'a');
    r.references = {std::string(5000, 'b')};
    r.from = std::string(1023, 'c');
    std::string bytes;
    WriteMailRecord(r, bytes);
    const MailRecord back = ReadTagged(bytes);
    EXPECT_EQ(std::string(1023, 'a'), back.subject);
    EXPECT_EQ(std::vector<std::string>{std::string(1023, 'b')}, back.references);
    EXPECT_EQ(r.from, back.from);
}

TEST(StoredTextLimitTest, WriterNeverSplitsADoubleByteCharacter)
{
    const std::string kanji = Sjis("漢");
    ASSERT_EQ(2u, kanji.size());
    MailRecord r;
    r.subject = std::string(1022, 'a') + kanji;  // the character straddles the limit
    r.fileName = std::string(1021, 'a') + kanji;  // the character ends exactly at it
    std::string bytes;
    WriteMailRecord(r, bytes);
    const MailRecord back = ReadTagged(bytes);
    EXPECT_EQ(std::string(1022, 'a'), back.subject);
    EXPECT_EQ(r.fileName, back.fileName);
}

TEST(StoredTextLimitTest, ReadersConsumeALongTextAndKeepItsStart)
{
    std::string longText;
    for (int i = 0; i < 4000; ++i)
        longText.push_back(static_cast<char>('a' + i % 26));
    const std::string tagged = U16(1) + Text(longText) + U16(2) + Text("after") + U16(0);
    const MailRecord r = ReadTagged(tagged);
    EXPECT_EQ(longText.substr(0, 1023), r.subject);
    EXPECT_EQ("after", r.messageId);

    const std::string old = Text(longText) + Text("after") + Text("") + U16(1) + Text(longText) + Text("f") +
                            I32(1) + I32(2) + I32(3);
    ByteReader in(old);
    MailRecord o;
    ASSERT_TRUE(ReadOldMailRecord(o, in));
    EXPECT_EQ(longText.substr(0, 1023), o.subject);
    EXPECT_EQ("after", o.messageId);
    EXPECT_EQ(std::vector<std::string>{longText.substr(0, 1023)}, o.references);
    EXPECT_EQ(3, o.noReplyHeaders);
    EXPECT_TRUE(in.AtEnd());
}

TEST(ByteReaderTest, ShortReadsTakeWhatIsLeftAndSaySo)
{
    const std::string data = "abc";
    ByteReader in(data);
    std::int32_t value = 99;
    EXPECT_FALSE(in.ReadI32(value));
    EXPECT_EQ(99, value);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(in.FellShort());

    ByteReader bytes(data);
    std::string out;
    EXPECT_TRUE(bytes.ReadBytes(2, out));
    EXPECT_EQ("ab", out);
    EXPECT_FALSE(bytes.FellShort());
    EXPECT_FALSE(bytes.ReadBytes(5, out));
    EXPECT_EQ("c", out);
    EXPECT_TRUE(bytes.FellShort());
}

}  // namespace
}  // namespace postloom
