#include "core/mime/mbox_reader.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace postloom::mime {
namespace {

using test::Crlf;
using test::TempDir;
using test::WriteFile;

struct Split {
    std::vector<std::string> mails;
    std::vector<std::uint64_t> offsets;
    bool lastCut = false;
    std::uint64_t firstMail = 0;
};

Split SplitMbox(std::string_view bytes)
{
    const TempDir dir;
    const std::string path = dir.File("box.mbox");
    WriteFile(path, bytes);
    MboxReader reader(path);
    EXPECT_TRUE(reader.Ok());
    Split split;
    while (auto mail = reader.Next()) {
        EXPECT_FALSE(split.lastCut) << "only the last mail can be cut";
        std::string bytes;
        EXPECT_TRUE(reader.ReadRange(mail->begin, mail->end, bytes));
        split.mails.push_back(bytes);
        split.offsets.push_back(mail->offset);
        split.lastCut = mail->cut;
    }
    EXPECT_TRUE(reader.Ok());
    split.firstMail = reader.FirstMailOffset();
    return split;
}

using Mails = std::vector<std::string>;

TEST(MboxReaderTest, SplitsAtFromLinesAndDropsTheEmptyLineClosingEachMail)
{
    const std::string first =
        "From alice@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: first\n"
        "\n"
        "body one\n"
        "\n";
    const Split split = SplitMbox(first +
                                  "From bob@example.jp Mon Apr  5 10:00:00 2004\n"
                                  "Subject: second\n"
                                  "\n"
                                  "body two ends with an empty line\n"
                                  "\n"
                                  "\n");
    EXPECT_EQ(split.mails, (Mails{"Subject: first\n\nbody one\n",
                                  "Subject: second\n\nbody two ends with an empty line\n\n"}));
    EXPECT_EQ(split.offsets, (std::vector<std::uint64_t>{0, first.size()}));
    EXPECT_FALSE(split.lastCut);
    EXPECT_EQ(split.firstMail, 0u);
}

TEST(MboxReaderTest, KeepsCrLfLineEndsOfACrLfMailbox)
{
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\r\n"
        "Subject: one\r\n"
        "\r\n"
        "body\r\n"
        "\r\n"
        "From b@example.jp Mon Apr  5 09:00:00 2004\r\n"
        "Subject: two\r\n"
        "\r\n"
        "body\r\n"
        "\r\n");
    EXPECT_EQ(split.mails, (Mails{"Subject: one\r\n\r\nbody\r\n", "Subject: two\r\n\r\nbody\r\n"}));
}

TEST(MboxReaderTest, LeavesQuotedFromLinesAsTheyStand)
{
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: quoting\n"
        "\n"
        ">From the start\n"
        ">>From deeper\n"
        "\n");
    EXPECT_EQ(split.mails, Mails{"Subject: quoting\n\n>From the start\n>>From deeper\n"});
}

TEST(MboxReaderTest, AnUnquotedFromLineWithAHeaderAfterItStartsAMail)
{
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: one\n"
        "\n"
        "body\n"
        "From b@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: two\n"
        "\n"
        "body\n");
    EXPECT_EQ(split.mails, (Mails{"Subject: one\n\nbody\n", "Subject: two\n\nbody\n"}));
}

TEST(MboxReaderTest, AnUnquotedFromLineFollowedByTextStaysInTheBody)
{
    const std::string first = "Subject: one\n\nWe met yesterday.\nFrom what I heard\nthe plan stands.\n";
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n" + first +
        "\n"
        "From b@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: two\n"
        "\n"
        "body\n"
        "From now on\n"
        "nothing else\n");
    EXPECT_EQ(split.mails, (Mails{first, "Subject: two\n\nbody\nFrom now on\nnothing else\n"}));
    EXPECT_FALSE(split.lastCut);
}

TEST(MboxReaderTest, AFromLineAfterAnEmptyLineOrAtTheStartAlwaysStartsAMail)
{
    // Followed by an empty line: a mail with an empty header, at the end of
    // the file as between two mails, with LF or CR LF line ends.
    const std::string one = "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: one\n\nbody\n\n";
    const std::string empty = "From b@example.jp Mon Apr  5 09:00:00 2004\n\n";
    const std::string three = "From c@example.jp Mon Apr  5 09:00:00 2004\nSubject: three\n\nbody\n";
    EXPECT_EQ(SplitMbox(one + empty).mails, (Mails{"Subject: one\n\nbody\n", "\n"}));
    EXPECT_EQ(SplitMbox(one + empty + "\n" + three).mails,
              (Mails{"Subject: one\n\nbody\n", "\n", "Subject: three\n\nbody\n"}));
    EXPECT_EQ(SplitMbox(one + empty + three).mails,
              (Mails{"Subject: one\n\nbody\n", "\n", "Subject: three\n\nbody\n"}));
    EXPECT_EQ(SplitMbox(empty + "body only\n\n" + three).mails, (Mails{"\nbody only\n", "Subject: three\n\nbody\n"}));
    EXPECT_EQ(SplitMbox(Crlf(one + empty)).mails, (Mails{"Subject: one\r\n\r\nbody\r\n", "\r\n"}));

    // Followed by a line that is no header: after an empty line (or first in
    // the file) that line starts the mail as it stands.
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n"
        "no header here\n"
        "\n"
        "From b@example.jp Mon Apr  5 09:00:00 2004\n"
        "neither here\n");
    EXPECT_EQ(split.mails, (Mails{"no header here\n", "neither here\n"}));
    EXPECT_EQ(split.offsets, (std::vector<std::uint64_t>{0, 59}));
    EXPECT_EQ(split.firstMail, 0u);
    EXPECT_FALSE(split.lastCut);
}

TEST(MboxReaderTest, TrustsTheFromLinesOverContentLength)
{
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: one\n"
        "Content-Length: 500\n"
        "\n"
        "short\n"
        "\n"
        "From b@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: two\n"
        "Content-Length: 1\n"
        "\n"
        "longer than it says\n");
    EXPECT_EQ(split.mails, (Mails{"Subject: one\nContent-Length: 500\n\nshort\n",
                                  "Subject: two\nContent-Length: 1\n\nlonger than it says\n"}));
}

TEST(MboxReaderTest, LastMailWithoutFinalLineBreakIsWholeAndNotCut)
{
    const Split split = SplitMbox(
        "From a@example.jp Mon Apr  5 09:00:00 2004\n"
        "Subject: one\n"
        "\n"
        "no line break at the end");
    EXPECT_EQ(split.mails, Mails{"Subject: one\n\nno line break at the end"});
    EXPECT_FALSE(split.lastCut);
}

TEST(MboxReaderTest, TellsALastMailCutInsideItsHeaderOrAnUnclosedPart)
{
    const std::string whole = "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: one\n\nbody\n\n";
    {
        const Split split = SplitMbox(whole + "From b@example.jp Mon Apr  5 09:00:00 2004\nSubject: cut\nDate: Mon");
        EXPECT_EQ(split.mails, (Mails{"Subject: one\n\nbody\n", "Subject: cut\nDate: Mon"}));
        EXPECT_TRUE(split.lastCut);
    }
    {
        const Split split = SplitMbox(whole +
                                      "From b@example.jp Mon Apr  5 09:00:00 2004\n"
                                      "Subject: parts\n"
                                      "Content-Type: multipart/mixed; boundary=\"b1\"\n"
                                      "\n"
                                      "--b1\n"
                                      "Content-Type: text/plain\n"
                                      "\n"
                                      "the closing boundary never ca");
        ASSERT_EQ(split.mails.size(), 2u);
        EXPECT_TRUE(split.mails[1].ends_with("never ca"));
        EXPECT_TRUE(split.lastCut);
    }
    {
        const Split split = SplitMbox(whole + "From b@example.jp Mon Apr  5 09:00:00 2004\n");
        EXPECT_EQ(split.mails, (Mails{"Subject: one\n\nbody\n", ""}));
        EXPECT_TRUE(split.lastCut);
    }
}

TEST(MboxReaderTest, TextBeforeTheFirstFromLineBelongsToNoMail)
{
    const std::string preface = "This archive was exported on Monday.\n\n";
    const Split split = SplitMbox(preface +
                                  "From a@example.jp Mon Apr  5 09:00:00 2004\n"
                                  "Subject: one\n"
                                  "\n"
                                  "body\n");
    EXPECT_EQ(split.mails, Mails{"Subject: one\n\nbody\n"});
    EXPECT_EQ(split.firstMail, preface.size());
}

TEST(MboxReaderTest, FileWithoutFromLineOrEmptyHoldsNoMail)
{
    EXPECT_TRUE(SplitMbox("Subject: a lone mail\n\nbody\n").mails.empty());
    EXPECT_TRUE(SplitMbox("").mails.empty());
}

TEST(MboxReaderTest, MissingFileOrFolderCannotBeRead)
{
    const TempDir dir;
    MboxReader missing(dir.File("none.mbox"));
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Error().code, ENOENT);
    EXPECT_FALSE(missing.Next());

    MboxReader folder(dir.path().string());
    EXPECT_FALSE(folder.Ok());
    EXPECT_TRUE(folder.Error().notAFile);
}

}  // namespace
}  // namespace postloom::mime
