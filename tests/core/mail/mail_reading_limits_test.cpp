// Reading a mail keeps what a stored record keeps, reads lines of any length
// in pieces, and tells a mail from a file that is none.

#include "core/mail/mail_parser.h"
#include "core/mail/mail_record_codec.h"
#include "core/text/cp932.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace postloom;
using postloom::test::Sjis;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

using Ids = std::vector<std::string>;

MailRecord ReadFile(const TempDir& dir, const std::string& content, HeaderDecoding decoding = HeaderDecoding::Raw)
{
    WriteFile(dir.File("m.alm"), content);
    MailRecord record;
    EXPECT_EQ(ParseMailFile(record, dir.File("m.alm"), "m.alm", decoding), MailFileRead::Mail);
    return record;
}

MailRecord StoredAndLoaded(const MailRecord& record)
{
    std::string bytes;
    WriteMailRecord(record, bytes);
    ByteReader in(bytes);
    MailRecord back;
    EXPECT_TRUE(ReadMailRecord(back, in));
    return back;
}

void ExpectSameRecord(const MailRecord& a, const MailRecord& b)
{
    EXPECT_EQ(a.subject, b.subject);
    EXPECT_EQ(a.messageId, b.messageId);
    EXPECT_EQ(a.inReplyTo, b.inReplyTo);
    EXPECT_EQ(a.references, b.references);
    EXPECT_EQ(a.fileName, b.fileName);
    EXPECT_EQ(a.from, b.from);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.noReplyHeaders, b.noReplyHeaders);
}

std::string References(std::size_t count, const std::string& prefix)
{
    std::string value;
    for (std::size_t i = 1; i <= count; ++i)
        value += (i % 8 == 1 ? "\r\n\t<" : " <") + prefix + std::to_string(i) + ">";
    return value;
}

TEST(MailReadingLimitsTest, LongValuesAreCutWhereTheStoredRecordCutsThem)
{
    TempDir dir;
    const std::string longId(1'500, 'i');
    // "ア" (0x83 0x41) from byte 1,022 on: it would end past the limit.
    const std::string subject = std::string(1'022, 's') + Sjis("ア") + std::string(10'000'000, 't');
    const MailRecord r = ReadFile(dir, "Message-Id: <" + longId + ">\r\nSubject: " + subject + "\r\nFrom: " +
                                           std::string(5'000, 'f') + "\r\nIn-Reply-To: <" + longId +
                                           ">\r\nReferences: <" + longId + "> <r>\r\n\r\nbody\r\n");
    EXPECT_EQ(r.messageId, longId.substr(0, 1'023));
    EXPECT_EQ(r.subject, std::string(1'022, 's'));
    EXPECT_EQ(r.from, std::string(1'023, 'f'));
    EXPECT_EQ(r.inReplyTo, longId.substr(0, 1'023));
    EXPECT_EQ(r.references, (Ids{longId.substr(0, 1'023), "r"}));
    // A reply to that mail names the same id: both sides are cut alike.
    const MailRecord reply = ReadFile(dir, "In-Reply-To: <" + longId + ">\r\n\r\n");
    EXPECT_EQ(reply.inReplyTo, r.messageId);
}

TEST(MailReadingLimitsTest, OnlyTheFirstReferencesAStoredRecordHoldsAreKept)
{
    TempDir dir;
    // The parent is named only by the 100,000th entry.
    const std::string refs = References(99'999, "x") + " <parent>";
    const MailRecord r = ReadFile(dir, "References:" + refs + "\r\n\r\n");
    ASSERT_EQ(r.references.size(), kMaxStoredReferences);
    EXPECT_EQ(r.references.front(), "x1");
    EXPECT_EQ(r.references.back(), "x65535");
    ExpectSameRecord(StoredAndLoaded(r), r);

    // Unclosed "<"s past the limit add nothing either.
    const MailRecord open = ReadFile(dir, "References: " + std::string(70'000, '<') + "\r\n\r\n");
    EXPECT_EQ(open.references.size(), kMaxStoredReferences);
}

TEST(MailReadingLimitsTest, AParsedMailIsTheRecordThatIsStoredAndLoaded)
{
    std::mt19937 rng(20260601);
    const std::vector<std::string> chars{"a", "<", ">", " ", Sjis("ア"), Sjis("表"), "\x81", ":"};
    const auto randomText = [&](std::size_t length) {
        std::string s;
        while (s.size() < length)
            s += chars[rng() % chars.size()];
        return s;
    };
    const auto randomLength = [&] {
        const std::size_t lengths[] = {0, 5, 1'021, 1'022, 1'023, 1'024, 1'025, 3'000, 70'000};
        return lengths[rng() % std::size(lengths)];
    };
    TempDir dir;
    for (int round = 0; round < 60; ++round) {
        const std::size_t referenceCount = round % 20 == 0 ? 70'000 : rng() % 50;
        std::string refs;
        for (std::size_t i = 0; i < referenceCount; ++i)
            refs += " <" + randomText(referenceCount < 100 && rng() % 4 == 0 ? randomLength() : 8) + ">";
        const std::string content = "Subject: " + randomText(randomLength()) +
                                    "\r\nMessage-Id: <" + randomText(randomLength()) +
                                    ">\r\nFrom: " + randomText(randomLength()) +
                                    "\r\nIn-Reply-To: <" + randomText(randomLength()) + "\r\n " +
                                    randomText(randomLength()) + ">\r\nReferences:" + refs + "\r\n\r\n";
        for (const HeaderDecoding decoding : {HeaderDecoding::Raw, HeaderDecoding::Mime}) {
            const MailRecord read = ReadFile(dir, content, decoding);
            ExpectSameRecord(StoredAndLoaded(read), read);
            if (HasFailure())
                return;
        }
    }
}

// The header rules on whole lines and whole values, cut afterwards to what
// a stored record keeps: what the piecewise reading must give.
std::string_view AngleId(std::string_view s)
{
    const std::size_t open = text::FindChar(s, '<');
    const std::string_view after = open == text::npos ? s : text::TextAfter(s, open);
    return text::TextBefore(after, text::FindChar(after, '>'));
}

std::string_view Value(std::string_view line)
{
    const std::size_t colon = text::FindChar(line, ':');
    return text::TrimLeadingWhiteSpace(colon == text::npos ? line : text::TextAfter(line, colon));
}

Ids PlainReferenceIds(std::string rest)
{
    Ids ids;
    while (text::FindChar(rest, '<') != text::npos) {
        rest = std::string(text::TextAfter(rest, text::FindChar(rest, '<')));
        const std::size_t close = text::FindChar(rest, '>');
        ids.emplace_back(StoredText(text::TextBefore(rest, close)));
        if (close != text::npos)
            rest = std::string(text::TextAfter(rest, close));
    }
    if (ids.size() > kMaxStoredReferences)
        ids.resize(kMaxStoredReferences);
    return ids;
}

MailRecord PlainRead(std::string_view header)
{
    MailRecord r;
    enum { None, Subject, InReplyTo, References, From } current = None;
    std::string inReplyTo;
    std::string references;
    while (!header.empty()) {
        const std::size_t lf = header.find('\n');
        const std::string_view line = header.substr(0, lf);
        header = lf == std::string_view::npos ? std::string_view{} : header.substr(lf + 1);
        if (line.empty())
            break;
        if (line.front() == ' ' || line.front() == '\t') {
            const std::string_view more = text::TrimLeadingWhiteSpace(line);
            std::string* value = current == Subject      ? &r.subject
                                 : current == From       ? &r.from
                                 : current == InReplyTo  ? &inReplyTo
                                 : current == References ? &references
                                                         : nullptr;
            if (value != nullptr)
                value->append(more);
        } else if (text::StartsWithIgnoreCase(line, "Message-Id")) {
            r.messageId = AngleId(line);
            current = None;
        } else if (text::StartsWithIgnoreCase(line, "In-Reply-To")) {
            inReplyTo = Value(line);
            r.noReplyHeaders = 0;
            current = InReplyTo;
        } else if (text::StartsWithIgnoreCase(line, "References")) {
            references = Value(line);
            r.noReplyHeaders = 0;
            current = References;
        } else if (text::StartsWithIgnoreCase(line, "Subject")) {
            r.subject = Value(line);
            current = Subject;
        } else if (text::StartsWithIgnoreCase(line, "Date")) {
            r.date = ParseDateLine(line);
            current = None;
        } else if (text::StartsWithIgnoreCase(line, "From")) {
            r.from = Value(line);
            current = From;
        } else {
            current = None;
        }
    }
    r.subject = StoredText(r.subject);
    r.from = StoredText(r.from);
    r.messageId = StoredText(r.messageId);
    r.inReplyTo = StoredText(AngleId(inReplyTo));
    r.references = PlainReferenceIds(references);
    return r;
}

TEST(MailReadingLimitsTest, LinesReadInPiecesGiveWhatWholeLinesGive)
{
    // Runs long enough to put every delimiter on both sides of a piece
    // boundary and of the kept prefix of a value.
    const std::vector<std::string> tokens{
        "Subject", "From", "Message-Id", "In-Reply-To", "References", "Date: 1 Jan 1998 10:00:00 +0900",
        "X-Other", ":", ": ", "<", ">", " ", "\t", "\x81", Sjis("ア"), "\r", "x",
    };
    std::mt19937 rng(424242);
    TempDir dir;
    for (int round = 0; round < 400; ++round) {
        std::string memory;
        std::string file;
        const int lines = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < lines; ++i) {
            std::string line = i == 0 ? "Subject: first" : (rng() % 3 == 0 ? " " : "");
            const int parts = static_cast<int>(rng() % 8);
            for (int p = 0; p < parts; ++p) {
                line += tokens[rng() % tokens.size()];
                if (rng() % 3 == 0)
                    line += std::string(rng() % 5'000, rng() % 2 == 0 ? 'x' : ' ');
            }
            // A line of only blanks or a lone CR is no empty line.
            if (line.empty())
                line = " ";
            memory += line + "\n";
            file += line + "\r\n";
        }
        MailRecord fromFile;
        WriteFile(dir.File("m"), file + "\r\nSubject: body\r\n");
        ASSERT_EQ(ParseMailFile(fromFile, dir.File("m"), "m"), MailFileRead::Mail);
        MailRecord fromMemory;
        ParseMailHeader(fromMemory, memory);
        const MailRecord expected = PlainRead(memory);
        ExpectSameRecord(fromMemory, expected);
        fromFile.fileName.clear();
        ExpectSameRecord(fromFile, expected);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
}

TEST(MailReadingLimitsTest, ALineWithoutAnEndIsReadWithoutBeingHeld)
{
    TempDir dir;
    // A References line whose ":" stands far behind the first ids: only the
    // ids after it count; without any ":" the whole line counts.
    const std::string far(100'000, 'z');
    EXPECT_EQ(ReadFile(dir, "Subject: s\r\nReferences <a> " + far + ": <b>\r\n").references, (Ids{"b"}));
    EXPECT_EQ(ReadFile(dir, "Subject: s\r\nReferences <a> " + far + " <b>").references, (Ids{"a", "b"}));
    EXPECT_EQ(ReadFile(dir, "Message-Id: " + far + "<id>" + far).messageId, "id");
    // Header lines after a huge one are still read.
    const MailRecord r = ReadFile(dir, "X-Junk: " + std::string(20'000'000, 'j') + "\r\nSubject: s\r\n\r\n");
    EXPECT_EQ(r.subject, "s");
}

TEST(NotAMailTest, FilesWithoutAHeaderLineAreNoMails)
{
    TempDir dir;
    const auto read = [&](const std::string& content) {
        WriteFile(dir.File("f"), content);
        MailRecord record;
        return ParseMailFile(record, dir.File("f"), "f");
    };
    // An image: a NUL among the first bytes.
    EXPECT_EQ(read(std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)), MailFileRead::NotMail);
    EXPECT_EQ(read("Subject: a\r\n" + std::string(4'000, 'x') + std::string(1, '\0')), MailFileRead::NotMail);
    EXPECT_EQ(read(""), MailFileRead::NotMail);
    EXPECT_EQ(read("\r\nSubject: only in the body\r\n"), MailFileRead::NotMail);
    EXPECT_EQ(read("plain text\r\nmore text\r\n"), MailFileRead::NotMail);
    EXPECT_EQ(read(" Subject: a continuation\r\n"), MailFileRead::NotMail);
    EXPECT_EQ(read(": no name\r\n"), MailFileRead::NotMail);
    EXPECT_EQ(read("Two words: x\r\n"), MailFileRead::NotMail);
    EXPECT_EQ(read(Sjis("件名: x") + "\r\n"), MailFileRead::NotMail);
}

TEST(NotAMailTest, AnyHeaderLineBeforeTheFirstEmptyLineMakesAMail)
{
    TempDir dir;
    const auto read = [&](const std::string& content) {
        WriteFile(dir.File("f"), content);
        MailRecord record;
        return ParseMailFile(record, dir.File("f"), "f");
    };
    EXPECT_EQ(read("Subject: a"), MailFileRead::Mail);
    EXPECT_EQ(read("X-Unknown-Header:\r\n\r\n"), MailFileRead::Mail);
    // An mbox envelope line in front of the header.
    EXPECT_EQ(read("From sender@example.jp Thu Sep  5 10:00:00 2002\r\nReceived: x\r\n\r\nbody"),
              MailFileRead::Mail);
    EXPECT_EQ(read("garbage\r\n more\r\nDate: 1 Jan 1998 10:00:00 +0900\r\n\r\n"), MailFileRead::Mail);
    // A NUL past the first 4 KB, in the body.
    EXPECT_EQ(read("Subject: a\r\n\r\n" + std::string(5'000, 'b') + std::string(1, '\0')), MailFileRead::Mail);
}

}  // namespace
