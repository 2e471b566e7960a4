#include "core/mime/attachment_names.h"

#include "core/text/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using postloom::mime::AttachmentFileNames;
using postloom::mime::NamedPart;

namespace {

std::vector<std::string> NamesOf(const std::vector<std::string>& names, const char* type = "application/pdf")
{
    std::vector<NamedPart> parts;
    for (const std::string& name : names)
        parts.push_back({name, type});
    return AttachmentFileNames(parts);
}

TEST(AttachmentNamesTest, NamesCannotLeaveTheFolderOrHide)
{
    EXPECT_EQ(NamesOf({"../../x", "..\\..\\y", "/etc/passwd", ".hidden", "...dots.txt", "a/./b"}),
              (std::vector<std::string>{"_.._x", "_.._y", "_etc_passwd", "hidden", "dots.txt", "a_._b"}));
}

TEST(AttachmentNamesTest, ControlCharactersAndBrokenUtf8BecomeUnderscores)
{
    EXPECT_EQ(NamesOf({"a\tb\nc\x7F", std::string("nul\0.txt", 8), "c1\xC2\x85.txt", "r\xFF\xE3\x81.txt"}),
              (std::vector<std::string>{"a_b_c_", "nul_.txt", "c1_.txt", "r___.txt"}));
}

TEST(AttachmentNamesTest, NamesHoldOnlyCharactersOfCp932)
{
    const auto names = NamesOf({"写真\U0001F600.jpg", "\u00A5100.txt", "\u301Cwave.txt", "\u202Etxt.exe"});
    EXPECT_EQ(names, (std::vector<std::string>{"写真〓.jpg", "_100.txt", "～wave.txt", "〓txt.exe"}));
    for (const std::string& name : names)
        EXPECT_EQ(postloom::text::Cp932ToUtf8(postloom::text::Utf8ToCp932(name)), name);
}

TEST(AttachmentNamesTest, PartsWithoutANameGetOneFromTheirType)
{
    const std::vector<NamedPart> parts = {
        {"", "image/png"}, {"..", "message/rfc822"}, {"", "application/x-unknown"}, {".", "text/plain"},
        {"", "image/jpeg"}, {"", "multipart/mixed"}};
    EXPECT_EQ(AttachmentFileNames(parts), (std::vector<std::string>{"part-1.png", "part-2.eml", "part-3.bin",
                                                                    "part-4.txt", "part-5.jpg", "part-6.eml"}));
}

TEST(AttachmentNamesTest, RepeatedNamesAreNumberedBeforeTheExtension)
{
    EXPECT_EQ(NamesOf({"a.txt", "a.txt", "A.TXT", "a-2.txt", "a", "archive.tar.gz", "archive.tar.gz",
                       "x.not an extension at all", "x.not an extension at all"}),
              (std::vector<std::string>{"a.txt", "a-2.txt", "A-3.TXT", "a-2-2.txt", "a", "archive.tar.gz",
                                        "archive.tar-2.gz", "x.not an extension at all",
                                        "x.not an extension at all-2"}));
    const std::vector<NamedPart> parts = {{"part-2.bin", "text/plain"}, {"", "application/octet-stream"}};
    EXPECT_EQ(AttachmentFileNames(parts), (std::vector<std::string>{"part-2.bin", "part-2-2.bin"}));
}

TEST(AttachmentNamesTest, ManyPartsOfOneNameStayUnique)
{
    const auto names = NamesOf(std::vector<std::string>(3000, "same.pdf"));
    EXPECT_EQ(names[0], "same.pdf");
    EXPECT_EQ(names[2999], "same-3000.pdf");
}

TEST(AttachmentNamesTest, LongNamesAreCutWithoutSplittingCharacters)
{
    std::string japanese;
    for (int i = 0; i < 300; ++i)
        japanese += "あ";
    const auto names = NamesOf({japanese + ".pdf", japanese + ".pdf", std::string(300, 'x')});
    std::string expectedStem;
    for (int i = 0; i < 83; ++i)
        expectedStem += "あ";
    EXPECT_EQ(names[0], expectedStem + ".pdf");
    EXPECT_EQ(names[1], expectedStem + "-2.pdf");
    EXPECT_EQ(names[2], std::string(255, 'x'));
    for (const std::string& name : names) {
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(postloom::text::IsValidUtf8(name));
    }
}

}  // namespace
