#include "core/mail/mail_parser.h"

#include "core/text/cp932.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace postloom;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

using Ids = std::vector<std::string>;

MailRecord Parse(std::string_view header)
{
    MailRecord record;
    ParseMailHeader(record, header);
    return record;
}

TEST(MailHeaderTest, HeaderNamesMatchAsPrefixesWithCaseIgnored)
{
    EXPECT_EQ(Parse("SUBJECT: x").subject, "x");
    EXPECT_EQ(Parse("subject: x").subject, "x");
    EXPECT_EQ(Parse("Subjects: x").subject, "x");
    EXPECT_EQ(Parse("message-ID: <a@b>").messageId, "a@b");
    EXPECT_EQ(Parse("X-Subject: x").subject, "");
    EXPECT_EQ(Parse("Resent-From: y").from, "");
    EXPECT_EQ(Parse(" Subject: x").subject, "");
}

TEST(MailHeaderTest, ValueIsTheTextAfterTheFirstColonWithoutLeadingWhiteSpace)
{
    EXPECT_EQ(Parse("Subject:\t \vRe: a: b  ").subject, "Re: a: b  ");
    EXPECT_EQ(Parse("From:").from, "");
    // Without a colon the whole line is the value.
    EXPECT_EQ(Parse("Subject").subject, "Subject");
    EXPECT_EQ(Parse("From sender@example.jp Thu Jan  1").from, "From sender@example.jp Thu Jan  1");
}

TEST(MailHeaderTest, ContinuationLinesJoinWithoutSeparator)
{
    const MailRecord r = Parse("Subject: Hello\n   world\n\t!\nFrom: a\n b");
    EXPECT_EQ(r.subject, "Helloworld!");
    EXPECT_EQ(r.from, "ab");
}

TEST(MailHeaderTest, ContinuationAfterOtherHeadersIsIgnored)
{
    EXPECT_EQ(Parse("Subject: s\nDate: 1 Jan 1998 10:00:00 +0900\n more").subject, "s");
    EXPECT_EQ(Parse("Subject: s\nMessage-Id: <m>\n more").subject, "s");
    EXPECT_EQ(Parse("Subject: s\nX-Mailer: m\n more").subject, "s");
    EXPECT_EQ(Parse("Subject: s\n\rX: m\n more").subject, "s");
    // A continuation before any header has nowhere to go.
    EXPECT_EQ(Parse(" Subject: s").subject, "");
}

TEST(MailHeaderTest, LineOfBlanksIsAContinuationAndTheHeaderGoesOn)
{
    const MailRecord r = Parse("Subject: a\n \t \nFrom: b\n\nSubject: body");
    EXPECT_EQ(r.subject, "a");
    EXPECT_EQ(r.from, "b");
}

TEST(MailHeaderTest, NothingAfterTheFirstEmptyLineIsRead)
{
    const MailRecord r = Parse("Subject: a\n\nFrom: b\nReferences: <r>\nDate: 1 Jan 1998 00:00:00 +0000\n");
    EXPECT_EQ(r.subject, "a");
    EXPECT_EQ(r.from, "");
    EXPECT_TRUE(r.references.empty());
    EXPECT_EQ(r.noReplyHeaders, 1);
    EXPECT_EQ(r.date, 0);
}

TEST(MailHeaderTest, RepeatedHeaderReplacesItsEarlierValue)
{
    const MailRecord r =
        Parse("Subject: one\n more\nSubject: two\nReferences: <a> <b>\nReferences: <c>\nIn-Reply-To: <x>\n"
              "In-Reply-To: <y>\nMessage-Id: <m1>\nMessage-Id: none");
    EXPECT_EQ(r.subject, "two");
    EXPECT_EQ(r.references, (Ids{"c"}));
    EXPECT_EQ(r.inReplyTo, "y");
    EXPECT_EQ(r.messageId, "");
}

TEST(MailHeaderTest, MessageIdIsTakenFromItsOwnLineOnly)
{
    EXPECT_EQ(Parse("Message-ID: <id1.aa>").messageId, "id1.aa");
    EXPECT_EQ(Parse("Message-Id: <a<b>c>").messageId, "a<b");
    EXPECT_EQ(Parse("Message-Id:\n <id.on.next.line>").messageId, "");
    // Without "<" the ">" is looked for in the whole line.
    EXPECT_EQ(Parse("Message-Id: abc>").messageId, "Message-Id: abc");
    EXPECT_EQ(Parse("Message-Id: abc").messageId, "");
    EXPECT_EQ(Parse("Message-Id: <abc").messageId, "");
}

TEST(MailHeaderTest, InReplyToKeepsTheFirstIdAndAnyReplyHeaderClearsTheFlag)
{
    const MailRecord r = Parse("In-Reply-To: <id2.bb> (from z)");
    EXPECT_EQ(r.inReplyTo, "id2.bb");
    EXPECT_EQ(r.noReplyHeaders, 0);

    const MailRecord text = Parse("In-Reply-To: your mail");
    EXPECT_EQ(text.inReplyTo, "");
    EXPECT_EQ(text.noReplyHeaders, 0);

    EXPECT_EQ(Parse("In-Reply-To: your mail of 1 Jan\n <id3.cc>").inReplyTo, "id3.cc");
    EXPECT_EQ(Parse("In-Reply-To: id4>").inReplyTo, "id4");

    const MailRecord emptyRefs = Parse("References:");
    EXPECT_EQ(emptyRefs.noReplyHeaders, 0);
    EXPECT_TRUE(emptyRefs.references.empty());

    EXPECT_EQ(Parse("Subject: x").noReplyHeaders, 1);
}

TEST(MailHeaderTest, ReferencesListsEveryIdInOrderAcrossContinuations)
{
    EXPECT_EQ(Parse("References: <r1.aa> <r2.bb>\n <r3.cc>").references, (Ids{"r1.aa", "r2.bb", "r3.cc"}));
    EXPECT_EQ(Parse("References: <a> <a> junk <b>").references, (Ids{"a", "a", "b"}));
    EXPECT_EQ(Parse("References: <>").references, (Ids{""}));
    // An unclosed "<" gives an empty id, and the search goes on after it.
    EXPECT_EQ(Parse("References: <a <b>").references, (Ids{"a <b"}));
    EXPECT_EQ(Parse("References: <a> <b").references, (Ids{"a", ""}));
    EXPECT_EQ(Parse("References: <<x <").references, (Ids{"", "", ""}));
}

TEST(MailHeaderTest, DateHeaderSetsTheDateAndAMailWithoutOneKeepsZero)
{
    EXPECT_EQ(Parse("Date: Thu, 01 Jan 1998 10:00:00 +0900").date, 883'584'000);
    EXPECT_EQ(Parse("Subject: no date").date, 0);
}

TEST(MailHeaderTest, ByteAfterALeadByteIsNeverADelimiter)
{
    // The lead byte 0x81 pairs with the byte after it, so "<" right behind a
    // lead byte belongs to that character.
    EXPECT_EQ(Parse("Message-Id: \x81<a> <b>").messageId, "b");
}

// Step 7 of the header reading as plainly written, to check the linear
// handling of unclosed "<".
Ids PlainReferenceIds(std::string_view raw)
{
    Ids ids;
    std::string rest(raw);
    while (text::FindChar(rest, '<') != text::npos) {
        rest = std::string(text::TextAfter(rest, text::FindChar(rest, '<')));
        const std::size_t close = text::FindChar(rest, '>');
        ids.emplace_back(text::TextBefore(rest, close));
        if (close != text::npos)
            rest = std::string(text::TextAfter(rest, close));
    }
    return ids;
}

TEST(MailHeaderTest, ReferencesMatchThePlainReadingOnRandomText)
{
    std::mt19937 rng(20240601);
    const std::string alphabet = "<<<>> a\x81\x5B\xE0";
    for (int round = 0; round < 5000; ++round) {
        std::string raw;
        const int length = static_cast<int>(rng() % 24);
        for (int i = 0; i < length; ++i)
            raw += alphabet[rng() % alphabet.size()];
        ASSERT_EQ(Parse("References: " + raw).references, PlainReferenceIds(text::TrimLeadingWhiteSpace(raw)))
            << "raw: " << raw;
    }
}

TEST(MailFileTest, ReadsTheHeaderOfAFileAndSetsTheBareName)
{
    TempDir dir;
    WriteFile(dir.File("m.alm"), "Subject: a\r\nFrom: b\r\n\r\r\nMessage-Id: <c>\r\n\r\nSubject: body\r\n");
    MailRecord r;
    ASSERT_EQ(ParseMailFile(r, dir.File("m.alm"), "m.alm"), MailFileRead::Mail);
    EXPECT_EQ(r.fileName, "m.alm");
    EXPECT_EQ(r.subject, "a");
    EXPECT_EQ(r.from, "b");
    // "\r\r\n" reads as the line "\r": not empty, so the header goes on.
    EXPECT_EQ(r.messageId, "c");
}

TEST(MailFileTest, ByteOneAEndsTheHeader)
{
    TempDir dir;
    WriteFile(dir.File("m"), "Subject: a\r\nFrom: b\x1A\r\nDate: 1 Jan 1998 10:00:00 +0900\r\n");
    MailRecord r;
    ASSERT_EQ(ParseMailFile(r, dir.File("m"), "m"), MailFileRead::Mail);
    EXPECT_EQ(r.from, "b");
    EXPECT_EQ(r.date, 0);
}

TEST(MailFileTest, FileWithoutEmptyLineIsAllHeader)
{
    TempDir dir;
    const std::string longSubject(100'000, 's');
    WriteFile(dir.File("m"), "From: b\r\nSubject: " + longSubject + "\r\nReferences: <r>");
    MailRecord r;
    ASSERT_EQ(ParseMailFile(r, dir.File("m"), "m"), MailFileRead::Mail);
    EXPECT_EQ(r.subject, longSubject.substr(0, 1023));  // as a stored record keeps it
    EXPECT_EQ(r.references, (Ids{"r"}));
}

TEST(MailFileTest, UnopenableFileLeavesTheRecordUntouched)
{
    TempDir dir;
    MailRecord r;
    r.subject = "kept";
    r.date = 7;
    EXPECT_EQ(ParseMailFile(r, dir.File("missing"), "missing"), MailFileRead::Unopenable);
    // A directory opens with a plain stream on Linux; it must count as
    // unopenable all the same.
    EXPECT_EQ(ParseMailFile(r, dir.path().string(), "dir"), MailFileRead::Unopenable);
    EXPECT_EQ(r.subject, "kept");
    EXPECT_EQ(r.fileName, "");
    EXPECT_EQ(r.date, 7);
    EXPECT_EQ(r.noReplyHeaders, 1);
}

TEST(MailFileTest, StoredSampleMailWithJapaneseSubject)
{
    MailRecord r;
    ASSERT_EQ(ParseMailFile(r, TEST_DATA_DIR "/sjis-crlf-eof.alm", "sjis-crlf-eof.alm"), MailFileRead::Mail);
    EXPECT_EQ(r.subject, test::Sjis("[ml:00042] ソースのゾーン設定"));
    EXPECT_EQ(r.from, test::Sjis("山田 <yamada@example.jp>"));
    EXPECT_EQ(r.messageId, "20240101.1@example.jp");
    EXPECT_EQ(r.inReplyTo, "20231231.9@example.jp");
    EXPECT_EQ(r.references, (Ids{"20231230.5@example.jp", "20231231.9@example.jp"}));
    EXPECT_EQ(r.noReplyHeaders, 0);
    EXPECT_EQ(r.date, ParseDateLine("Date: Mon, 1 Jan 2024 09:30:00 +0900"));
    EXPECT_EQ(DisplaySubject(r, 1), test::Sjis("ソースのゾーン設定"));
}

TEST(MailFileTest, FileAndMemoryReadingAgreeOnRandomHeaders)
{
    const std::vector<std::string> pieces = {
        "Subject: s", "From: f", " cont", "\tx", "References: <a> <b", "In-Reply-To: <i>", "Message-Id: <m>",
        "Date: 2 Feb 99 1:2:3 EST", "X: y", "  ", "\r", "\x81", ":",
    };
    std::mt19937 rng(7);
    TempDir dir;
    for (int round = 0; round < 300; ++round) {
        std::string memory;
        std::string file;
        const int lines = static_cast<int>(rng() % 8);
        for (int i = 0; i < lines; ++i) {
            std::string line = pieces[rng() % pieces.size()];
            if (rng() % 2 != 0)
                line += pieces[rng() % pieces.size()];
            memory += line + "\n";
            file += line + "\r\n";
        }
        WriteFile(dir.File("m"), file + "\r\nSubject: body");
        MailRecord fromFile;
        ASSERT_NE(ParseMailFile(fromFile, dir.File("m"), "m"), MailFileRead::Unopenable);
        const MailRecord fromMemory = Parse(memory);
        EXPECT_EQ(fromFile.subject, fromMemory.subject) << memory;
        EXPECT_EQ(fromFile.from, fromMemory.from) << memory;
        EXPECT_EQ(fromFile.messageId, fromMemory.messageId) << memory;
        EXPECT_EQ(fromFile.inReplyTo, fromMemory.inReplyTo) << memory;
        EXPECT_EQ(fromFile.references, fromMemory.references) << memory;
        EXPECT_EQ(fromFile.date, fromMemory.date) << memory;
        EXPECT_EQ(fromFile.noReplyHeaders, fromMemory.noReplyHeaders) << memory;
    }
}

}  // namespace

namespace {

MailRecord ParseMime(std::string_view header)
{
    MailRecord record;
    ParseMailHeader(record, header, HeaderDecoding::Mime);
    return record;
}

TEST(MailHeaderMimeTest, SubjectAndFromAreUnfoldedAndDecodedOnlyWhenAsked)
{
    const std::string header = "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\n"
                               " =?UTF-8?B?44OG44K544OI?= and\n"
                               "\tmore\n"
                               "From: =?UTF-8?Q?=E5=A4=AA=E9=83=8E?= <taro@example.jp>\n"
                               "Message-Id: <=?UTF-8?B?44OG?=@example.jp>\n";
    const MailRecord decoded = ParseMime(header);
    // The blank between two encoded words goes; a folding blank stays.
    EXPECT_EQ(decoded.subject, test::Sjis("日本語テスト and\tmore"));
    EXPECT_EQ(decoded.from, test::Sjis("太郎 <taro@example.jp>"));
    // Ids are taken as they stand.
    EXPECT_EQ(decoded.messageId, "=?UTF-8?B?44OG?=@example.jp");

    const MailRecord raw = Parse(header);
    EXPECT_EQ(raw.subject, "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?==?UTF-8?B?44OG44K544OI?= andmore");
}

TEST(MailHeaderMimeTest, RawShiftJisStaysByteForByteAndRawUtf8IsConverted)
{
    // 0xED 0x40 is one of the characters CP932 holds twice: a trip through
    // Unicode would change its bytes.
    const std::string sjis = test::Sjis("件名") + "\xED\x40";
    EXPECT_EQ(ParseMime("Subject: " + sjis + "\n").subject, sjis);
    EXPECT_EQ(ParseMime("Subject: \xE4\xBB\xB6\xE5\x90\x8D\n").subject, test::Sjis("件名"));
    EXPECT_EQ(ParseMime("Subject: plain words\n  two blanks\n").subject, "plain words  two blanks");
    // A character CP932 lacks becomes the geta mark.
    EXPECT_EQ(ParseMime("Subject: =?UTF-8?B?8J+YgA==?=\n").subject, "\x81\xAC");
}

}  // namespace
