#include "core/mime/mime_message.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace postloom::mime {

// Readable failure messages for whole results.
void PrintTo(const TextBlock& block, std::ostream* out)
{
    *out << (block.utf8 ? "utf8{" : "cp932{") << ::testing::PrintToString(block.text) << '}';
}
bool operator==(const TextBlock& a, const TextBlock& b)
{
    return a.text == b.text && a.utf8 == b.utf8;
}
void PrintTo(const Attachment& a, std::ostream* out)
{
    *out << '{' << ::testing::PrintToString(a.name) << ", " << a.contentType << ", "
         << ::testing::PrintToString(a.data) << '}';
}
bool operator==(const Attachment& a, const Attachment& b)
{
    return a.name == b.name && a.contentType == b.contentType && a.data == b.data;
}

namespace {

using test::Sjis;

std::string Fixture(std::string_view name)
{
    return test::ReadFile(std::string(TEST_DATA_DIR) + "/" + std::string(name));
}

std::string BodyOf(const std::string& mail)
{
    return mail.substr(mail.find("\n\n") + 2);
}

TextBlock Utf8(std::string text)
{
    return {std::move(text), true};
}

TextBlock Cp932(std::string text)
{
    return {std::move(text), false};
}

// A one-part MIME mail with the given Content-Type line and body.
std::string SinglePart(std::string_view contentType, std::string_view body)
{
    return "Subject: t\nMIME-Version: 1.0\nContent-Type: " + std::string(contentType) + "\n\n" + std::string(body);
}

struct HeaderCase {
    const char* what;
    std::string folded;
    std::string expected;  // CP932
};

TEST(DecodeHeaderTextTest, UnfoldsDecodesAndConvertsToCp932)
{
    const std::vector<HeaderCase> cases = {
        {"plain text unchanged", "Re: meeting  notes ", "Re: meeting  notes "},
        {"fold keeps its blank", "a long\n subject", "a long subject"},
        {"fold keeps its tab", "a\n\tb", "a\tb"},
        {"CR LF folds", "a\r\n b", "a b"},
        {"no encoded word stays as it is", "x =?= y a=?b c", "x =?= y a=?b c"},
        {"B in UTF-8", "=?UTF-8?B?5pel5pys?=", Sjis("日本")},
        {"Q in ISO-8859-1", "=?iso-8859-1?q?5=D73_=B0C?=", Sjis("5×3 °C")},
        {"B in ISO-2022-JP", "=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=", Sjis("こんにちは")},
        {"B in Shift_JIS", "=?Shift_JIS?B?k/qWe4zq?=", Sjis("日本語")},
        {"Q in EUC-JP", "=?EUC-JP?Q?=C6=FC?=", Sjis("日")},
        {"RFC 2231 language tag", "=?US-ASCII*en?Q?Keith_Moore?=", "Keith Moore"},
        {"blank between encoded words goes", "=?UTF-8?B?44GC?=\n =?UTF-8?B?44GE?=", Sjis("あい")},
        {"blank before text stays", "=?UTF-8?B?44GC?= and\n more", Sjis("あ and more")},
        {"blank after text stays", "Re: =?UTF-8?B?44GC?=", Sjis("Re: あ")},
        {"address kept", "=?UTF-8?B?5bGx55Sw?= <yamada@example.jp>", Sjis("山田 <yamada@example.jp>")},
        {"unmappable becomes geta", "=?UTF-8?B?8J+YgA==?= ok", "\x81\xAC ok"},
        {"line break inside a word", "=?UTF-8?Q?a=0D=0Ab?=", "a  b"},
        {"raw UTF-8 converted", "\xE6\x97\xA5\xE6\x9C\xAC", Sjis("日本")},
        {"raw UTF-8 unmappable", "x\xF0\x9F\x98\x80", "x\x81\xAC"},
        // NEC and IBM duplicates (≒, 纊) would change in a round trip.
        {"raw Shift-JIS kept", "\x87\x90\n \xED\x40\x83\x5C", "\x87\x90 \xED\x40\x83\x5C"},
        {"raw Shift-JIS beside a word", "\x93\xFA =?UTF-8?B?44GC?=", Sjis("日 あ")},
        {"NUL kept", std::string("a\0=?UTF-8?B?44GC?=", 18), std::string("a\0", 2) + Sjis("あ")},
        {"empty", "", ""},
    };
    for (const HeaderCase& c : cases)
        EXPECT_EQ(DecodeHeaderText(c.folded), c.expected) << c.what;
}

TEST(DeclaresMimeTest, FindsMimeHeadersOnlyInTheHeaderSection)
{
    EXPECT_TRUE(DeclaresMime("Subject: a\nMIME-Version: 1.0\n"));
    EXPECT_TRUE(DeclaresMime("content-type: text/plain\n"));
    EXPECT_TRUE(DeclaresMime("From: a\r\nContent-Transfer-Encoding : base64\r\n"));
    EXPECT_FALSE(DeclaresMime("Subject: Content-Type: text/plain\n"));
    EXPECT_FALSE(DeclaresMime("X-Content-Type: text/plain\n"));
    EXPECT_FALSE(DeclaresMime("Content-Typeface: bold\n"));
    EXPECT_FALSE(DeclaresMime("Subject: a\n Content-Type: folded\n"));
    EXPECT_FALSE(DeclaresMime("Subject: a\n\nMIME-Version: 1.0\n"));
    EXPECT_FALSE(DeclaresMime("Subject: a\r\n\r\nMIME-Version: 1.0\r\n"));
    EXPECT_FALSE(DeclaresMime(""));
}

TEST(NeedsDecodingTest, OnlyAPlainShiftJisTextIsShownAsItStands)
{
    const std::string mime = "Subject: a\r\nMIME-Version: 1.0\r\n";
    EXPECT_FALSE(NeedsDecoding("Subject: a\nFrom: b\n\nContent-Type: text/html\n"));
    EXPECT_FALSE(NeedsDecoding(mime + "Content-Type: text/plain; charset=Shift_JIS\r\n"
                                      "Content-Transfer-Encoding: 8bit\r\n"));
    EXPECT_FALSE(NeedsDecoding(mime + "Content-Type: Text/Plain;\r\n\tcharset=\"x-sjis\"\r\n"));
    EXPECT_FALSE(NeedsDecoding(mime + "Content-Type: text/plain; charset=CP932\r\nContent-Disposition: inline\r\n"));

    EXPECT_TRUE(NeedsDecoding(mime));  // no charset: it may be UTF-8
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: text/plain; charset=ISO-2022-JP\r\n"));
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: text/plain; charset=UTF-8\r\n"));
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: text/html; charset=Shift_JIS\r\n"));
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: multipart/mixed; boundary=x\r\n"));
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: text/plain; charset=Shift_JIS\r\n"
                                     "Content-Transfer-Encoding: base64\r\n"));
    EXPECT_TRUE(NeedsDecoding(mime + "Content-Type: text/plain; charset=Shift_JIS\r\n"
                                     "Content-Disposition: attachment; filename=a.txt\r\n"));
    // Only the header section counts.
    EXPECT_FALSE(NeedsDecoding(mime + "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n"
                                      "Content-Transfer-Encoding: base64\r\n"));
}

TEST(DecodeMailTest, JapaneseTexts)
{
    const DecodedMail jis = DecodeMail(Fixture("iso2022jp_7bit.eml"));
    ASSERT_TRUE(jis.decoded);
    EXPECT_EQ(jis.texts, std::vector<TextBlock>{
                             Utf8("来週の会議は水曜日です。\nよろしくお願いします。\nｶﾞｰ\n① 資料\n")});

    // Saved as Shift-JIS under the old label: the body comes back as it is.
    const std::string sjisMail = Fixture("sjis_under_iso2022jp.eml");
    const DecodedMail sjis = DecodeMail(sjisMail);
    EXPECT_EQ(sjis.texts, std::vector<TextBlock>{Cp932(BodyOf(sjisMail))});
    EXPECT_TRUE(sjis.attachments.empty());
}

TEST(DecodeMailTest, TransferEncodingsAndCharsets)
{
    EXPECT_EQ(DecodeMail(Fixture("utf8_base64.eml")).texts,
              std::vector<TextBlock>{Utf8("Grüße aus Köln 😀\nzweite Zeile\n")});
    EXPECT_EQ(DecodeMail(Fixture("latin1_qp.eml")).texts,
              std::vector<TextBlock>{Utf8("Café crème brûlée, a long line that goes on and on and needs a soft break.\n"
                                          "Second line = fine.\n")});
    // What the decoder makes of the valid groups is kept.
    EXPECT_EQ(DecodeMail(Fixture("bad_base64.eml")).texts, std::vector<TextBlock>{Utf8("Hello world!Hi")});
    const std::vector<TextBlock> unknown{Utf8("Zeichen ✓"), Cp932(Sjis("未知"))};
    EXPECT_EQ(DecodeMail(Fixture("unknown_charset.eml")).texts, unknown);
}

struct CharsetCase {
    const char* what;
    std::string contentType;
    std::string body;
    TextBlock expected;
};

TEST(DecodeMailTest, TextCharsetRules)
{
    const std::vector<CharsetCase> cases = {
        {"undeclared UTF-8", "text/plain", "caf\xC3\xA9\n", Utf8("café\n")},
        {"undeclared Shift-JIS", "text/plain", Sjis("表示\n"), Cp932(Sjis("表示\n"))},
        {"undeclared 7-bit JIS", "text/plain", "\x1b$B$\"\x1b(B", Utf8("あ")},
        {"US-ASCII label on Shift-JIS", "text/plain; charset=us-ascii", Sjis("表"), Cp932(Sjis("表"))},
        {"Shift_JIS kept as it is", "text/plain; charset=Shift_JIS", "\x87\x40\xED\x40", Cp932("\x87\x40\xED\x40")},
        {"ISO-2022-JP-2 label", "text/plain; charset=iso-2022-jp-2", Sjis("表"), Cp932(Sjis("表"))},
        {"ISO_2022_JP spelling", "text/plain; charset=ISO_2022_JP", "\x1b$B$\"\x1b(B", Utf8("あ")},
        {"EUC-JP converted", "text/plain; charset=EUC-JP", "\xC6\xFC\r\n", Utf8("日\n")},
        {"lone CR kept", "text/plain", "a\rb\r\n", Utf8("a\rb\n")},
    };
    for (const CharsetCase& c : cases) {
        const DecodedMail mail = DecodeMail(SinglePart(c.contentType, c.body));
        EXPECT_EQ(mail.texts, std::vector<TextBlock>{c.expected}) << c.what;
    }
}

TEST(DecodeMailTest, AlternativesAndHtml)
{
    const DecodedMail alternative = DecodeMail(Fixture("alternative.eml"));
    EXPECT_EQ(alternative.texts, std::vector<TextBlock>{Utf8("Plain version.\nSecond line.")});
    EXPECT_TRUE(alternative.attachments.empty());

    const DecodedMail html = DecodeMail(Fixture("html_only.eml"));
    EXPECT_EQ(html.texts, std::vector<TextBlock>{Utf8("Café & more\n\nLine one\nLine two\n\n日本語\n")});

    const std::string htmlAlternativeOnly =
        "MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=b\n\n"
        "--b\nContent-Type: text/enriched\n\n<bold>x</bold>\n"
        "--b\nContent-Type: text/html\n\n<p>only &lt;html&gt;</p>\n--b--\n";
    EXPECT_EQ(DecodeMail(htmlAlternativeOnly).texts, std::vector<TextBlock>{Utf8("only <html>\n")});

    // Neither plain nor HTML: the first alternative as it stands alone.
    const std::string neither = "MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=b\n\n"
                                "--b\nContent-Type: multipart/mixed; boundary=c\n\n"
                                "--c\nContent-Type: text/plain\n\nfirst\n"
                                "--c\nContent-Type: image/gif\n\nGIF\n--c--\n"
                                "--b\nContent-Type: application/pdf\n\nPDF\n--b--\n";
    const DecodedMail first = DecodeMail(neither);
    EXPECT_EQ(first.texts, std::vector<TextBlock>{Utf8("first")});
    EXPECT_EQ(first.attachments, (std::vector<Attachment>{{"", "image/gif", "GIF"}}));

    // The only text is HTML beside an image: its text is shown.
    const std::string htmlWithImage = "MIME-Version: 1.0\nContent-Type: multipart/related; boundary=r\n\n"
                                      "--r\nContent-Type: text/html; charset=Shift_JIS\n\n" +
                                      Sjis("<div>画像</div>") +
                                      "\n--r\nContent-Type: image/png; name=logo.png\n\nPNG\n--r--\n";
    const DecodedMail related = DecodeMail(htmlWithImage);
    EXPECT_EQ(related.texts, std::vector<TextBlock>{Utf8("画像\n")});
    EXPECT_EQ(related.attachments, (std::vector<Attachment>{{"logo.png", "image/png", "PNG"}}));

    // Bytes that are neither UTF-8 nor CP932 reach the HTML reader as U+FFFD.
    EXPECT_EQ(DecodeMail(SinglePart("text/html", Sjis("<p>表") + "\xFF</p>")).texts,
              std::vector<TextBlock>{Utf8("表\xEF\xBF\xBD\n")});
}

TEST(DecodeMailTest, Attachments)
{
    const DecodedMail mail = DecodeMail(Fixture("attachments.eml"));
    EXPECT_EQ(mail.texts, std::vector<TextBlock>{Utf8("添付します。")});
    std::string png("\x89PNG\r\n\x1a\n");
    for (char byte = 0; byte < 40; ++byte)
        png.push_back(byte);
    const std::vector<Attachment> expected = {
        {"見積書.pdf", "application/pdf", "%PDF-1.4 pretend\n"},
        {"議事録.doc", "application/octet-stream", "doc bytes"},
        {"資料.txt", "text/plain", Sjis("資料の本文")},
        {"../../x", "application/octet-stream", "climb"},
        {"", "image/png", png},
        {"", "text/html", "<p>beside the text</p>"},
        {"", "message/rfc822", "From: f@example.jp\nSubject: forwarded\n\nInner body."},
    };
    EXPECT_EQ(mail.attachments, expected);
}

TEST(DecodeMailTest, NestedMultipartsInReadingOrder)
{
    const DecodedMail mail = DecodeMail(Fixture("nested.eml"));
    const std::vector<TextBlock> texts{Utf8("First text."), Utf8("Second text ✓."), Utf8("Third text.")};
    EXPECT_EQ(mail.texts, texts);
    // The image belongs to the HTML alternative, which is left out.
    EXPECT_EQ(mail.attachments,
              (std::vector<Attachment>{{"a.zip", "application/zip", std::string("PK\x05\x06", 4) + std::string(18, '\0')}}));
}

TEST(DecodeMailTest, BrokenStructureKeepsItsText)
{
    const std::vector<TextBlock> cut{Utf8("Before the cut."), Utf8("The rest of the mail,\nwith no end.\n")};
    EXPECT_EQ(DecodeMail(Fixture("broken_boundary.eml")).texts, cut);

    const std::string lost = Fixture("boundary_missing.eml");
    EXPECT_EQ(DecodeMail(lost).texts, std::vector<TextBlock>{Cp932(BodyOf(lost))});

    EXPECT_FALSE(DecodeMail("").decoded);
    EXPECT_FALSE(DecodeMail("no header here\n\nbody\n").decoded);
    EXPECT_FALSE(DecodeMail("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n").decoded);
}

TEST(DecodeMailTest, MailWithoutMimeIsOneUndeclaredText)
{
    EXPECT_EQ(DecodeMail("Subject: a\n\nplain\r\nbody\n").texts, std::vector<TextBlock>{Utf8("plain\nbody\n")});
    EXPECT_EQ(DecodeMail("Subject: a\n\n" + Sjis("本文\n")).texts, std::vector<TextBlock>{Cp932(Sjis("本文\n"))});
}

// Each level holds a text and the next level.
std::string NestedMail(int levels)
{
    std::string mail = "MIME-Version: 1.0\n";
    for (int i = 0; i < levels; ++i) {
        const std::string boundary = "b" + std::to_string(i);
        mail += "Content-Type: multipart/mixed; boundary=" + boundary + "\n\n--" + boundary +
                "\nContent-Type: text/plain\n\nlevel " + std::to_string(i) + "\n--" + boundary + "\n";
    }
    mail += "Content-Type: text/plain\n\ndeepest\n";
    for (int i = levels - 1; i >= 0; --i)
        mail += "--b" + std::to_string(i) + "--\n";
    return mail;
}

TEST(DecodeMailTest, DeepNestingEndsInOneAttachment)
{
    const DecodedMail mail = DecodeMail(NestedMail(100));
    ASSERT_EQ(mail.texts.size(), 32u);
    EXPECT_EQ(mail.texts.front(), Utf8("level 0"));
    EXPECT_EQ(mail.texts.back(), Utf8("level 31"));
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].contentType, "multipart/mixed");
    EXPECT_NE(mail.attachments[0].data.find("level 32\n"), std::string::npos);
    EXPECT_NE(mail.attachments[0].data.find("deepest\n"), std::string::npos);

    EXPECT_TRUE(DecodeMail(NestedMail(3000)).decoded);
}

// The mail decoded from its file, the way MimeMail reads it piece by piece.
DecodedMail DecodeFile(const std::string& bytes)
{
    const test::TempDir dir;
    const std::string path = dir.File("mail.eml");
    test::WriteFile(path, bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    const std::unique_ptr<MimeMail> mail = MimeMail::FromFile(fd, false);
    ::close(fd);  // the mail keeps a descriptor of its own
    DecodedMail decoded;
    if (mail == nullptr)
        return decoded;
    decoded.decoded = true;
    for (std::size_t i = 0; i < mail->textCount(); ++i) {
        TextBlock& block = decoded.texts.emplace_back(TextBlock{{}, mail->textIsUtf8(i)});
        EXPECT_TRUE(mail->WriteText(i, [&](std::string_view piece) { block.text.append(piece); }));
    }
    for (std::size_t i = 0; i < mail->attachments().size(); ++i) {
        Attachment& attachment = decoded.attachments.emplace_back(
            Attachment{mail->attachments()[i].name, mail->attachments()[i].contentType, {}});
        EXPECT_TRUE(mail->WriteAttachment(i, [&](std::string_view piece) { attachment.data.append(piece); }));
    }
    return decoded;
}

std::string Base64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kDigits[(group >> 18) & 63]);
        out.push_back(kDigits[(group >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kDigits[group & 63] : '=');
        if (i % 57 == 54)
            out.push_back('\n');
    }
    return out + "\n";
}

// A mail of a few megabytes: texts longer than a piece in several
// charsets, a binary attachment, an attached mail and an HTML part.
std::string LargeMail()
{
    std::string binary;
    for (std::uint32_t i = 0; i < 1500000; ++i)
        binary.push_back(static_cast<char>((i * 7919u) >> 3));
    std::string jis;
    while (jis.size() < 600000)
        jis += "\x1b$B$\"$$\r\n$$\x1b(B <tag> & text\r\n";
    std::string sjis;
    while (sjis.size() < 600000)
        sjis += Sjis("長い行の表示") + "\r";
    return "Subject: large\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"sep\"\n\n"
           "--sep\nContent-Type: text/plain; charset=ISO-2022-JP\n\n" + jis +
           "\n--sep\nContent-Type: text/plain; charset=Shift_JIS\nContent-Transfer-Encoding: base64\n\n" +
           Base64(sjis) +
           "--sep\nContent-Type: application/octet-stream; name=\"data.bin\"\nContent-Transfer-Encoding: base64\n\n" +
           Base64(binary) +
           "--sep\nContent-Type: message/rfc822\n\nSubject: inner\nContent-Type: text/plain\n\ninner text\n"
           "--sep\nContent-Type: text/html; charset=UTF-8\n\n<p>shown as an attachment</p>\n--sep--\n";
}

TEST(MimeMailTest, FileAndBytesGiveTheSameMail)
{
    std::vector<std::string> mails = {LargeMail(), NestedMail(40)};
    for (const char* name : {"alternative.eml", "attachments.eml", "bad_base64.eml", "boundary_missing.eml",
                             "broken_boundary.eml", "html_only.eml", "iso2022jp_7bit.eml", "latin1_qp.eml",
                             "nested.eml", "sjis_under_iso2022jp.eml", "unknown_charset.eml", "utf8_base64.eml"})
        mails.push_back(Fixture(name));
    for (const std::string& mail : mails) {
        const DecodedMail fromBytes = DecodeMail(mail);
        const DecodedMail fromFile = DecodeFile(mail);
        EXPECT_TRUE(fromBytes.decoded);
        EXPECT_EQ(fromFile.decoded, fromBytes.decoded);
        EXPECT_TRUE(fromFile.texts == fromBytes.texts) << mail.substr(0, 200);
        EXPECT_TRUE(fromFile.attachments == fromBytes.attachments) << mail.substr(0, 200);
    }
    const DecodedMail large = DecodeMail(LargeMail());
    ASSERT_EQ(large.texts.size(), 2u);
    EXPECT_EQ(large.texts[0].text.substr(0, 16), "\xe3\x81\x82\xe3\x81\x84\n\xe3\x81\x84 <tag>");
    EXPECT_FALSE(large.texts[1].utf8);
    ASSERT_EQ(large.attachments.size(), 3u);
    EXPECT_EQ(large.attachments[0].data.size(), 1500000u);
    EXPECT_EQ(large.attachments[1].data, "Subject: inner\nContent-Type: text/plain\n\ninner text");
    EXPECT_EQ(large.attachments[2].contentType, "text/html");
}

// A header line or section too long to hold: the fields that decoding
// reads still count, wherever they stand, and the rest is not held.
TEST(MimeMailTest, OverlongHeaderKeepsOnlyWhatDecodingReads)
{
    const std::string longLine(3 * 1024 * 1024, 'x');
    const std::string body = "Content-Transfer-Encoding: quoted-printable\n\ncaf=E9\n";
    const std::string expected = "caf\xc3\xa9\n";
    const std::string longSubject =
        "MIME-Version: 1.0\nContent-Type: text/plain;\n charset=ISO-8859-1\nSubject: " + longLine + "\n" + body;
    std::string manyFields = "MIME-Version: 1.0\n";
    for (int i = 0; i < 3000; ++i)
        manyFields += "X-Field: " + std::string(1000, 'y') + "\n";
    manyFields += "Content-Type: text/plain; charset=ISO-8859-1\n" + body;
    for (const std::string& mail : {longSubject, manyFields}) {
        EXPECT_EQ(DecodeMail(mail).texts, std::vector<TextBlock>{Utf8(expected)});
        EXPECT_EQ(DecodeFile(mail).texts, std::vector<TextBlock>{Utf8(expected)});
    }
    // A header without an end is read through and gives no text.
    const std::string endless = "MIME-Version: 1.0\nContent-Type: text/plain\nSubject: " + longLine;
    const DecodedMail mail = DecodeFile(endless);
    for (const TextBlock& text : mail.texts)
        EXPECT_EQ(text.text, "");
}

TEST(DecodeMailTest, DecodesOnSeveralThreadsAtOnce)
{
    const std::vector<std::string> mails = {Fixture("attachments.eml"), Fixture("iso2022jp_7bit.eml"),
                                            Fixture("html_only.eml"), Fixture("latin1_qp.eml")};
    std::vector<DecodedMail> expected;
    for (const std::string& mail : mails)
        expected.push_back(DecodeMail(mail));
    std::vector<int> mismatches(mails.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mails.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const std::size_t m = (t + static_cast<std::size_t>(round)) % mails.size();
                const DecodedMail got = DecodeMail(mails[m]);
                if (got.texts != expected[m].texts || got.attachments != expected[m].attachments ||
                    DecodeHeaderText("=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=") != Sjis("こんにちは"))
                    ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(mails.size(), 0));
}

}  // namespace
}  // namespace postloom::mime
