#include "core/mime/attachment_names.h"

#include "core/text/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

using postloom::mime::AttachmentFileNames;
using postloom::mime::AttachmentShownNames;
using postloom::mime::PassiveExtensions;
using postloom::mime::NamedPart;

namespace {

std::vector<std::string> NamesOf(const std::vector<std::string>& names, const char* type = "application/pdf")
{
    std::vector<NamedPart> parts;
    for (const std::string& name : names)
        parts.push_back({name, type});
    return AttachmentFileNames(parts);
}

std::vector<std::string> ShownNamesOf(const std::vector<std::string>& names, const char* type = "application/pdf")
{
    std::vector<NamedPart> parts;
    for (const std::string& name : names)
        parts.push_back({name, type});
    return AttachmentShownNames(parts);
}

// The file name and the link text of one part.
std::pair<std::string, std::string> SavedAndShown(const std::string& name, const std::string& type)
{
    const std::vector<NamedPart> parts = {{name, type}};
    return {AttachmentFileNames(parts).front(), AttachmentShownNames(parts).front()};
}

bool IsPassive(std::string_view extension)
{
    return std::ranges::find(PassiveExtensions(), extension) != PassiveExtensions().end();
}

TEST(AttachmentNamesTest, NamesCannotLeaveTheFolderOrHide)
{
    const std::vector<std::string> given = {"../../x", "..\\..\\y", "/etc/passwd", ".hidden", "...dots.txt", "a/./b"};
    EXPECT_EQ(NamesOf(given), (std::vector<std::string>{"____x.bin", "____y.bin", "_etc_passwd.bin", "hidden.bin",
                                                        "dots.txt", "a___b.bin"}));
    EXPECT_EQ(ShownNamesOf(given),
              (std::vector<std::string>{"_.._x", "_.._y", "_etc_passwd", "hidden", "dots.txt", "a_._b"}));
}

TEST(AttachmentNamesTest, ControlCharactersAndBrokenUtf8BecomeUnderscores)
{
    EXPECT_EQ(NamesOf({"a\tb\nc\x7F", std::string("nul\0.txt", 8), "c1\xC2\x85.txt", "r\xFF\xE3\x81.txt"}),
              (std::vector<std::string>{"a_b_c_.bin", "nul_.txt", "c1_.txt", "r___.txt"}));
}

TEST(AttachmentNamesTest, NamesHoldOnlyCharactersOfCp932)
{
    const std::vector<std::string> given = {"写真\U0001F600.jpg", "\u00A5100.txt", "\u301Cwave.txt", "\u202Etxt.exe"};
    const auto names = NamesOf(given);
    EXPECT_EQ(names, (std::vector<std::string>{"写真〓.jpg", "_100.txt", "～wave.txt", "〓txt_exe.bin"}));
    const auto shown = ShownNamesOf(given);
    EXPECT_EQ(shown.back(), "〓txt.exe");
    for (const auto& list : {names, shown}) {
        for (const std::string& name : list)
            EXPECT_EQ(postloom::text::Cp932ToUtf8(postloom::text::Utf8ToCp932(name)), name);
    }
}

TEST(AttachmentNamesTest, PartsWithoutANameGetAPassiveExtensionFromTheirType)
{
    const std::vector<NamedPart> parts = {
        {"", "image/png"},       {"..", "message/rfc822"}, {"", "application/x-unknown"}, {".", "text/plain"},
        {"", "image/jpeg"},      {"", "multipart/mixed"},  {"", "text/html"},             {"", "image/svg+xml"},
        {"", "text/xml"},        {"", "application/xml"},  {"", "application/xhtml+xml"}, {"", "text/javascript"}};
    const std::vector<std::string> expected = {"part-1.png", "part-2.eml",  "part-3.bin",  "part-4.txt",
                                               "part-5.jpg", "part-6.eml",  "part-7.txt",  "part-8.bin",
                                               "part-9.txt", "part-10.bin", "part-11.bin", "part-12.bin"};
    EXPECT_EQ(AttachmentFileNames(parts), expected);
    // Without a name of the sender's, the link shows the file's.
    EXPECT_EQ(AttachmentShownNames(parts), expected);
}

TEST(AttachmentNamesTest, RepeatedNamesAreNumberedBeforeTheExtension)
{
    const std::vector<std::string> given = {"a.txt",          "a.txt",          "A.TXT",
                                            "a-2.txt",        "a",              "archive.tar.gz",
                                            "archive.tar.gz", "x.not an extension at all",
                                            "x.not an extension at all"};
    EXPECT_EQ(NamesOf(given), (std::vector<std::string>{"a.txt", "a-2.txt", "A-3.TXT", "a-2-2.txt", "a.bin",
                                                        "archive_tar.gz", "archive_tar-2.gz",
                                                        "x_not an extension at all.bin",
                                                        "x_not an extension at all-2.bin"}));
    EXPECT_EQ(ShownNamesOf(given), (std::vector<std::string>{"a.txt", "a-2.txt", "A-3.TXT", "a-2-2.txt", "a",
                                                             "archive.tar.gz", "archive.tar-2.gz",
                                                             "x.not an extension at all",
                                                             "x.not an extension at all-2"}));
    const std::vector<NamedPart> parts = {{"part-2.bin", "text/plain"}, {"", "application/octet-stream"}};
    EXPECT_EQ(AttachmentFileNames(parts), (std::vector<std::string>{"part-2.bin", "part-2-2.bin"}));
    // Two names that only their neutralised extension sets apart.
    EXPECT_EQ(NamesOf({"evil.html", "evil_html.txt", "EVIL.HTML"}, "text/html"),
              (std::vector<std::string>{"evil_html.txt", "evil_html-2.txt", "EVIL_HTML-3.txt"}));
    EXPECT_EQ(ShownNamesOf({"evil.html", "evil_html.txt", "EVIL.HTML"}, "text/html"),
              (std::vector<std::string>{"evil.html", "evil_html.txt", "EVIL-2.HTML"}));
}

TEST(AttachmentNamesTest, EveryPassiveExtensionIsKeptInAnyCase)
{
    std::set<std::string_view> seen;
    for (const std::string_view extension : PassiveExtensions()) {
        ASSERT_FALSE(extension.empty());
        EXPECT_TRUE(seen.insert(extension).second) << extension;
        EXPECT_EQ(extension.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"), std::string_view::npos)
            << extension;
        std::string upper(extension);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string type : {"text/plain", "application/octet-stream"}) {
            const std::string name = "doc." + std::string(extension);
            EXPECT_EQ(SavedAndShown(name, type), std::make_pair(name, name));
            EXPECT_EQ(SavedAndShown("DOC." + upper, type).first, "DOC." + upper);
            EXPECT_EQ(SavedAndShown("a.php." + std::string(extension), type).first, "a_php." + std::string(extension));
        }
    }
}

// What a browser renders as a page or runs, or a server executes: never an
// extension of a saved file, whatever its case or the part's type.
TEST(AttachmentNamesTest, ActiveExtensionsBecomePartOfTheName)
{
    struct Case {
        std::string name;
        std::string type;
        std::string saved;
    };
    const Case cases[] = {
        {"evil.html", "text/html", "evil_html.txt"},
        {"evil.html", "application/octet-stream", "evil_html.bin"},
        {"X.HTML", "text/html", "X_HTML.txt"},
        {"page.Htm", "text/html", "page_Htm.txt"},
        {"a.svg", "image/svg+xml", "a_svg.bin"},
        {"a.SVG", "text/plain", "a_SVG.txt"},
        {"a.svgz", "image/svg+xml", "a_svgz.bin"},
        {"x.xhtml", "application/xhtml+xml", "x_xhtml.bin"},
        {"x.shtml", "text/html", "x_shtml.txt"},
        {"x.js", "application/javascript", "x_js.bin"},
        {"x.mjs", "text/javascript", "x_mjs.txt"},
        {"x.php", "application/x-php", "x_php.bin"},
        {"x.PHP5", "application/octet-stream", "x_PHP5.bin"},
        {"x.phtml", "application/octet-stream", "x_phtml.bin"},
        {"x.php.txt", "text/plain", "x_php.txt"},
        {"x.php.jpg", "image/jpeg", "x_php.jpg"},
        {"x.cgi", "application/octet-stream", "x_cgi.bin"},
        {"x.pl", "text/x-perl", "x_pl.txt"},
        {"x.py", "text/x-python", "x_py.txt"},
        {"x.asp", "application/octet-stream", "x_asp.bin"},
        {"x.aspx", "application/octet-stream", "x_aspx.bin"},
        {"x.jsp", "application/octet-stream", "x_jsp.bin"},
        {"x.xml", "text/xml", "x_xml.txt"},
        {"x.xsl", "application/xml", "x_xsl.bin"},
        {"x.swf", "application/x-shockwave-flash", "x_swf.bin"},
        {"x.hta", "application/hta", "x_hta.bin"},
        {"x.vbs", "text/vbscript", "x_vbs.txt"},
        {"x.mht", "message/rfc822", "x_mht.bin"},
        {"readme.md", "text/markdown", "readme_md.txt"},
        {"htaccess", "text/plain", "htaccess.txt"},
        {".htaccess", "text/plain", "htaccess.txt"},
        {"trailing.", "text/plain", "trailing_.txt"},
    };
    for (const Case& c : cases) {
        const auto [saved, shown] = SavedAndShown(c.name, c.type);
        EXPECT_EQ(saved, c.saved) << c.name << " " << c.type;
        EXPECT_EQ(shown, c.name.substr(c.name.find_first_not_of('.'))) << c.name;
    }
    for (const std::string_view active : {"html", "htm",  "xhtml", "shtml", "svg", "svgz", "js",  "mjs", "php",
                                          "php5", "phtml", "cgi", "pl",    "py",  "asp", "aspx", "jsp", "xml",
                                          "xsl",  "swf",  "hta",  "vbs",   "mht", "mhtml", "md"})
        EXPECT_FALSE(IsPassive(active)) << active;
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
    EXPECT_EQ(names[2], std::string(251, 'x') + ".bin");
    EXPECT_EQ(ShownNamesOf({std::string(300, 'x')}).front(), std::string(255, 'x'));
    for (const std::string& name : names) {
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(postloom::text::IsValidUtf8(name));
    }
}

}  // namespace
