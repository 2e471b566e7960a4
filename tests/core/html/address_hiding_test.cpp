#include "core/html/address_hiding.h"

#include "core/html/mail_body.h"
#include "core/html/text_helpers.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace postloom {
namespace {

using test::Sjis;

constexpr AddressHiding kMasked = AddressHiding::Masked;
constexpr AddressHiding kRemoved = AddressHiding::Removed;

std::string Text(std::string_view utf8, AddressHiding hiding)
{
    return HideAddressesInText(Sjis(utf8), hiding, TextEncoding::Cp932);
}

std::string Sender(std::string_view utf8, AddressHiding hiding)
{
    return HideSenderAddresses(Sjis(utf8), hiding, TextEncoding::Cp932);
}

TEST(AddressHidingTest, MaskedKeepsTheLocalPartAndEverythingAroundTheAddress)
{
    EXPECT_EQ(Sender("taro@example.jp", kMasked), Sjis("taro@…"));
    EXPECT_EQ(Sender("山田 <taro@example.jp>", kMasked), Sjis("山田 <taro@…>"));
    EXPECT_EQ(Text("> 山田 <taro.yamada+ml@mail.example.co.jp> wrote:", kMasked), Sjis("> 山田 <taro.yamada+ml@…> wrote:"));
    EXPECT_EQ(Text("連絡先はtaro@example.jpです。hanako@example.jp.", kMasked), Sjis("連絡先はtaro@…です。hanako@…") + ".");
    EXPECT_EQ(Text("a@x.jp,b@y.jp\nc@z.jp", kMasked), "a@\x81\x63,b@\x81\x63\nc@\x81\x63");
    // In UTF-8 the ellipsis is U+2026.
    EXPECT_EQ(HideAddressesInText("mailto:taro@example.jp", kMasked, TextEncoding::Utf8), "mailto:taro@\xe2\x80\xa6");
}

TEST(AddressHidingTest, RemovedSenderKeepsTheNameOrSaysTheAddressIsHidden)
{
    EXPECT_EQ(Sender("山田 <taro@example.jp>", kRemoved), Sjis("山田"));
    EXPECT_EQ(Sender("taro@example.jp", kRemoved), Sjis("(アドレス非表示)"));
    EXPECT_EQ(Sender("<taro@example.jp>", kRemoved), Sjis("(アドレス非表示)"));
    EXPECT_EQ(Sender("\"taro@example.jp\" <taro@example.jp>", kRemoved), Sjis("(アドレス非表示)"));
    EXPECT_EQ(Sender("taro@example.jp (Taro)", kRemoved), "(Taro)");
    // A name without an address stays as it is, its blanks included.
    EXPECT_EQ(Sender("Taro ", kRemoved), "Taro ");
    EXPECT_EQ(HideSenderAddresses("taro@example.jp", kRemoved, TextEncoding::Utf8), "(アドレス非表示)");
}

TEST(AddressHidingTest, RemovedInTextDropsAnAddressAfterANameAndNamesTheOthersHidden)
{
    EXPECT_EQ(Text("山田 <taro@example.jp> wrote:", kRemoved), Sjis("山田 wrote:"));
    EXPECT_EQ(Text("> 山田 <taro@example.jp> wrote:", kRemoved), Sjis("> 山田 wrote:"));
    EXPECT_EQ(Text("<taro@example.jp> wrote:", kRemoved), Sjis("(アドレス非表示) wrote:"));
    EXPECT_EQ(Text("first\n  <taro@example.jp>", kRemoved), Sjis("first\n  (アドレス非表示)"));
    EXPECT_EQ(Text("On Mon, taro@example.jp wrote:", kRemoved), Sjis("On Mon, (アドレス非表示) wrote:"));
    // A bracket that does not close right after the address stays.
    EXPECT_EQ(Text("x <taro@example.jp.>", kRemoved), Sjis("x <(アドレス非表示).>"));
    EXPECT_EQ(Text("テストtaro@example.jp", kRemoved), Sjis("テスト(アドレス非表示)"));
}

TEST(AddressHidingTest, TextThatIsNoAddressStaysAsItIs)
{
    for (const char* const text :
         {"@", "a@b", "@taro", "taro@", "taro@.jp", "taro@example..jp", "taro@-x.jp", "x .@y.jp", "a@@b.jp",
          "メール＠example.jp", "価格 100@2.5", "ア@example.jp", "taro　example.jp", "表@示.jp"}) {
        const std::string bytes = Sjis(text);
        EXPECT_EQ(HideAddressesInText(bytes, kMasked, TextEncoding::Cp932), bytes) << text;
        EXPECT_EQ(HideAddressesInText(bytes, kRemoved, TextEncoding::Cp932), bytes) << text;
    }
    // 64 characters make a local part, 65 do not; a domain of 256 is none.
    const std::string local64(64, 'a');
    EXPECT_EQ(HideAddressesInText(local64 + "@x.jp", kMasked, TextEncoding::Cp932), local64 + "@\x81\x63");
    EXPECT_EQ(HideAddressesInText("b" + local64 + "@x.jp", kMasked, TextEncoding::Cp932), "b" + local64 + "@x.jp");
    const std::string domain256 = std::string(250, 'd') + ".x.jpn";
    EXPECT_EQ(HideAddressesInText("a@" + domain256, kRemoved, TextEncoding::Cp932), "a@" + domain256);
    EXPECT_EQ(HideAddressesInText("a@" + domain256.substr(1), kMasked, TextEncoding::Cp932), "a@\x81\x63");
}

// Whatever the cuts between the pieces, even inside a double-byte
// character, the hidden text is that of the whole text; pieces of one byte
// take every character the plain way, one at a time.
TEST(AddressHidingTest, TextInPiecesComesOutAsTheWholeText)
{
    std::mt19937 random(20261209);
    const std::string_view alphabet[] = {"a", "b", ".", "@", "<", ">", " ", "\n", "-", "jp", "\x83", "\x41",
                                         "\x81\x40", "\xe3\x81\x82", "x.y"};
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (std::size_t n = random() % 20; n > 0; --n)
            text += alphabet[random() % std::size(alphabet)];
        const auto hiding = round % 2 == 0 ? kMasked : kRemoved;
        const auto encoding = round % 3 == 0 ? TextEncoding::Utf8 : TextEncoding::Cp932;
        const auto place = round % 5 == 0 ? AddressHider::Place::Sender : AddressHider::Place::Text;
        AddressHider whole(hiding, encoding, place);
        std::string expected;
        whole.Feed(text, expected);
        whole.Finish(expected);
        AddressHider cut(hiding, encoding, place);
        std::string pieces;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min<std::size_t>(round % 4 == 0 ? 1 : random() % 4, text.size() - at);
            cut.Feed(std::string_view(text).substr(at, n), pieces);
            at += n;
        }
        cut.Finish(pieces);
        ASSERT_EQ(pieces, expected) << "round " << round << ": " << text;
    }
}

TEST(AddressHidingTest, MailBodyHidesAddressesOfEveryLineBeforeEscaping)
{
    const std::string raw = Sjis("From: a@b.jp\r\n\r\n山田 <taro@example.jp> wrote:\r\n> hanako@example.jp\r\nend@x.jp");
    MailBodyEscaper masked(kMasked);
    std::string page;
    masked.Feed(raw, page);
    masked.Finish(page);
    EXPECT_EQ(page, Sjis("山田 &lt;taro@…&gt; wrote:<BR>\n&gt; hanako@…<BR>\nend@…<BR>\n"));

    MailBodyEscaper removed(kRemoved);
    page.clear();
    for (const char c : raw)
        removed.Feed(std::string_view(&c, 1), page);
    removed.Finish(page);
    EXPECT_EQ(page, Sjis("山田 wrote:<BR>\n&gt; (アドレス非表示)<BR>\n(アドレス非表示)<BR>\n"));
}

TEST(AddressHidingTest, CaptionHidesTheSenderNameAndTheSubjectsAddresses)
{
    ProjectSettings settings;
    settings.Reset();
    settings.CutMLTitle = 0;
    settings.OutPattern = 0;
    settings.OutDate = 0;
    settings.OutFrom = 1;
    settings.FromFont = 3;
    MailRecord mail;
    mail.subject = "Re: taro@example.jp";
    mail.from = "taro@example.jp";
    EXPECT_EQ(MailCaption(settings, mail), "Re: taro@example.jp &lt;taro@example.jp&gt;");
    settings.HideAddresses = 1;
    EXPECT_EQ(MailCaption(settings, mail), Sjis("Re: taro@… &lt;taro@…&gt;"));
    settings.HideAddresses = 2;
    EXPECT_EQ(MailCaption(settings, mail), Sjis("Re: (アドレス非表示) &lt;(アドレス非表示)&gt;"));
    // The name taken out of the From value carries no address to hide.
    mail.from = Sjis("山田 <taro@example.jp>");
    EXPECT_EQ(ShownSenderName(AddressHiding::Removed, mail), Sjis("山田 "));
}

}  // namespace
}  // namespace postloom
