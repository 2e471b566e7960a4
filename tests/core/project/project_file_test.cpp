#include "core/project/project_file.h"

#include "core/mail/mail_record_codec.h"
#include "setting_values.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

struct Loaded {
    std::unique_ptr<ProjectSettings> settings;
    LoadResult result;
};

// Opens bytes the way the document opens a project: reset, then load.
Loaded Load(std::string_view bytes)
{
    auto settings = std::make_unique<ProjectSettings>();
    settings->Reset();
    const LoadResult result = LoadProjectFromBytes(*settings, bytes);
    return {std::move(settings), result};
}

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

std::unique_ptr<MailRecord> Mail(int n)
{
    auto m = std::make_unique<MailRecord>();
    m->subject = Sjis("件名 ") + std::to_string(n);
    m->messageId = "id" + std::to_string(n);
    m->references = {"r" + std::to_string(n)};
    m->fileName = std::to_string(n) + ".alm";
    m->from = "from" + std::to_string(n);
    m->date = 1000 + n;
    m->orderKey = -n;
    m->noReplyHeaders = 0;
    m->outputHtml = n % 2;
    return m;
}

// The stored fields of a mail in one line, so whole lists compare at once.
std::string Fields(const MailRecord& m)
{
    std::string s = m.subject + "|" + m.messageId + "|" + m.inReplyTo + "|" + m.fileName + "|" + m.from;
    for (const std::string& r : m.references)
        s += "|<" + r + ">";
    for (const std::int32_t v : {m.date, m.orderKey, m.noReplyHeaders, m.reserved, m.outputHtml})
        s += "|" + std::to_string(v);
    return s;
}

std::vector<std::string> FieldsOf(const MailList& list)
{
    std::vector<std::string> out;
    for (const auto& m : list)
        out.push_back(Fields(*m));
    return out;
}

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---------------------------------------------------------------------------
// Format written

TEST(ProjectFileFormatTest, WritesVersionSettingLinesMarkerAndCount)
{
    ProjectSettings s;
    s.Reset();
    s.DateFont = 3;
    s.IndexTopMargin = -5;
    s.IndexBGColorRGB = 0xFF8000;
    s.MailTextColorRGB = 0;
    s.MailBGColorRGB = 0xFFFFFFFF;
    const std::string bytes = SerializeProject(s);
    EXPECT_EQ(0u, bytes.find("PostloomVer=100\nTitle=\nMailExt=\n"));
    for (const char* line : {"\nDateFont=3\n", "\nIndexTopMargin=-5\n", "\nIndexBGColorRGB=FF8000\n",
                             "\nMailTextColorRGB=0\n", "\nMailBGColorRGB=FFFFFFFF\n",
                             "\nMailIndexInsertTag=A HREF=Postloom Index\nMailData\n"})
        EXPECT_NE(std::string::npos, bytes.find(line)) << line;
    EXPECT_EQ(std::string("MailData\n") + U16(0), bytes.substr(bytes.size() - 11));
    EXPECT_EQ(std::string::npos, bytes.find('\r'));
    EXPECT_EQ(92, std::count(bytes.begin(), bytes.end(), '\n'));
}

TEST(ProjectFileFormatTest, SampleProjectLoadsAndSavesByteForByte)
{
    const std::string original = ReadFile(SAMPLE_PROJECT);
    const Loaded loaded = Load(original);
    EXPECT_EQ(100, loaded.result.version);
    EXPECT_FALSE(loaded.result.mailBlockDamaged);
    EXPECT_EQ(Sjis("サンプルML アーカイブ"), loaded.settings->Title);
    EXPECT_EQ(24, loaded.settings->MailLeftMargin);
    EXPECT_EQ(0xA04010u, loaded.settings->IndexLinkColorRGB);
    EXPECT_EQ(original, SerializeProject(*loaded.settings));
}

TEST(ProjectFileFormatTest, LineBreakInATextCannotForgeLines)
{
    ProjectSettings s;
    s.Reset();
    s.Title = "first\nMailData";
    s.MailExt = "*.alm\rIndexPath=x";
    s.mailList.push_back(Mail(1));
    const Loaded back = Load(SerializeProject(s));
    EXPECT_EQ("first", back.settings->Title);
    EXPECT_EQ("*.alm", back.settings->MailExt);
    EXPECT_EQ("", back.settings->IndexPath);
    EXPECT_EQ("A HREF=Postloom Index", back.settings->MailIndexInsertTag);
    EXPECT_EQ(1u, back.settings->mailList.size());
}

// ---------------------------------------------------------------------------
// Round trips

TEST(ProjectFileRoundTripTest, EverySettingAndEveryMailComeBack)
{
    ProjectSettings s;
    test::FillEverySetting(s, 3);
    s.IndexLeftMargin = -2147483647 - 1;
    s.MailALinkColorRGB = 0xFFFFFFFF;
    s.IndexBGColorRGB = 0;
    for (int n = 0; n < 5; ++n)
        s.mailList.push_back(Mail(n));
    const Loaded back = Load(SerializeProject(s));
    EXPECT_TRUE(back.settings->SettingsEqual(s));
    EXPECT_EQ(FieldsOf(s.mailList), FieldsOf(back.settings->mailList));
    EXPECT_EQ(5u, back.result.mailsRead);
    EXPECT_FALSE(back.result.mailBlockDamaged);
}

TEST(ProjectFileLaterSettingsTest, StoredAfterTheNinetyOnlyWhileOnAndOffWhenAbsent)
{
    ProjectSettings s;
    s.Reset();
    EXPECT_EQ(0, s.MimeDecode);
    EXPECT_EQ(0, s.MetaCharset);
    const std::string off = SerializeProject(s);
    EXPECT_EQ(std::string::npos, off.find("MimeDecode"));
    EXPECT_EQ(std::string::npos, off.find("MetaCharset"));

    s.MimeDecode = 1;
    const std::string one = SerializeProject(s);
    EXPECT_NE(std::string::npos, one.find("\nMailIndexInsertTag=A HREF=Postloom Index\nMimeDecode=1\nMailData\n"));
    ApplyNewProjectValues(s);
    const std::string both = SerializeProject(s);
    EXPECT_NE(std::string::npos,
              both.find("\nMimeDecode=1\nMetaCharset=1\nDirectParent=1\nPageStyle=1\nHideAddresses=1\nMailData\n"));
    EXPECT_TRUE(Load(both).settings->SettingsEqual(s));

    // A file written before the flags existed loads with both off, also into
    // a record that had them on.
    auto older = std::make_unique<ProjectSettings>();
    ApplyNewProjectValues(*older);
    older->Reset();
    LoadProjectFromBytes(*older, off);
    EXPECT_EQ(0, older->MimeDecode);
    EXPECT_EQ(0, older->MetaCharset);
    // Keys are matched as every other key: case ignored, value read leniently.
    LoadProjectFromBytes(*older, "mimedecode=1\nMETACHARSET=7\n");
    EXPECT_EQ(1, older->MimeDecode);
    EXPECT_EQ(7, older->MetaCharset);
}

TEST(ProjectFileLaterSettingsTest, DirectParentIsOnForNewProjectsAndOffForOlderFiles)
{
    ProjectSettings s;
    s.Reset();
    EXPECT_EQ(0, s.DirectParent);
    ApplyNewProjectValues(s);
    EXPECT_EQ(1, s.DirectParent);

    // Alone it is stored after the ninety as well; it comes back on and off.
    s.MimeDecode = 0;
    s.MetaCharset = 0;
    s.PageStyle = 0;
    s.HideAddresses = 0;
    const std::string on = SerializeProject(s);
    EXPECT_NE(std::string::npos, on.find("\nMailIndexInsertTag=A HREF=Postloom Index\nDirectParent=1\nMailData\n"));
    EXPECT_EQ(1, Load(on).settings->DirectParent);
    s.DirectParent = 0;
    const std::string off = SerializeProject(s);
    EXPECT_EQ(std::string::npos, off.find("DirectParent"));
    EXPECT_EQ(0, Load(off).settings->DirectParent);

    // A project saved before the setting existed keeps the threads it had,
    // also when loaded by a program that had a new project open.
    auto older = std::make_unique<ProjectSettings>();
    ApplyNewProjectValues(*older);
    older->Reset();
    LoadProjectFromBytes(*older, "PostloomVer=100\nTitle=old\nMimeDecode=1\nMailData\n");
    EXPECT_EQ(0, older->DirectParent);
    EXPECT_EQ(1, older->MimeDecode);
    LoadProjectFromBytes(*older, "directparent=1\n");
    EXPECT_EQ(1, older->DirectParent);
}

TEST(ProjectFileLaterSettingsTest, PageStyleAndHiddenAddressesAreNewProjectsOnlyAndUnknownValuesHide)
{
    ProjectSettings s;
    s.Reset();
    EXPECT_EQ(PageStyleKind::Classic, PageStyleOf(s));
    EXPECT_EQ(AddressHiding::Shown, AddressHidingOf(s));
    ApplyNewProjectValues(s);
    EXPECT_EQ(PageStyleKind::Modern, PageStyleOf(s));
    EXPECT_EQ(AddressHiding::Masked, AddressHidingOf(s));

    s.HideAddresses = 2;
    const Loaded back = Load(SerializeProject(s));
    EXPECT_EQ(AddressHiding::Removed, AddressHidingOf(*back.settings));
    EXPECT_EQ(PageStyleKind::Modern, PageStyleOf(*back.settings));

    // An older file has neither; a hand-edited value no program writes never
    // shows addresses, and only 1 is the modern style.
    auto older = std::make_unique<ProjectSettings>();
    LoadProjectFromBytes(*older, "PostloomVer=100\nTitle=old\nMailData\n");
    EXPECT_EQ(PageStyleKind::Classic, PageStyleOf(*older));
    EXPECT_EQ(AddressHiding::Shown, AddressHidingOf(*older));
    LoadProjectFromBytes(*older, "hideaddresses=9\nPageStyle=2\n");
    EXPECT_EQ(AddressHiding::Masked, AddressHidingOf(*older));
    EXPECT_EQ(PageStyleKind::Classic, PageStyleOf(*older));
}

TEST(ProjectFileRoundTripTest, EmptyTextsStayEmptyInsertTagsIncluded)
{
    ProjectSettings s;
    test::FillEverySetting(s, 1);
    for (const SettingDefinition& def : SettingTable()) {
        if (def.kind == SettingKind::Text)
            s.*std::get<std::string ProjectSettings::*>(def.member) = "";
    }
    const Loaded back = Load(SerializeProject(s));
    EXPECT_TRUE(back.settings->SettingsEqual(s));
    EXPECT_EQ("", back.settings->MailBodyInsertTag);
}

TEST(ProjectFileRoundTripTest, SaveAndLoadThroughTheFileSystem)
{
    TempDir dir;
    const std::string path = dir.File(Sjis("計画.plp"));
    ProjectSettings s;
    test::FillEverySetting(s, 2);
    s.mailList.push_back(Mail(1));
    s.mailList.push_back(Mail(2));
    const SaveResult saved = SaveProject(s, path);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(2u, saved.mailsStored);
    EXPECT_EQ(0u, saved.mailsLeftOut);
    EXPECT_EQ(std::vector<std::string>{"計画.plp"}, FilesIn(dir.path()));

    ProjectSettings back;
    back.Reset();
    const LoadResult loaded = LoadProject(back, path);
    EXPECT_TRUE(loaded.opened);
    EXPECT_TRUE(back.SettingsEqual(s));
    EXPECT_EQ(FieldsOf(s.mailList), FieldsOf(back.mailList));
}

// ---------------------------------------------------------------------------
// Reading lines

TEST(ProjectFileLinesTest, KeysMatchWithCaseIgnoredAndAreNeverTrimmed)
{
    EXPECT_EQ("My list", Load("title=My list\n").settings->Title);
    EXPECT_EQ("", Load("Title=x\nTITLE=\n").settings->Title);
    EXPECT_EQ("", Load("Title = x\n").settings->Title);
    EXPECT_EQ(" x ", Load("Title= x \n").settings->Title);
    EXPECT_EQ(7, Load("outpattern=7\n").settings->OutPattern);
    EXPECT_EQ("last", Load("Title=first\nTitle=last").settings->Title);
}

TEST(ProjectFileLinesTest, EverythingAfterTheFirstEqualsSignIsTheValue)
{
    const Loaded loaded = Load("OutPattern=3=4\nTitle=a=b\n=Title\nMailExt\n");
    EXPECT_EQ(3, loaded.settings->OutPattern);
    EXPECT_EQ("a=b", loaded.settings->Title);
    EXPECT_EQ("", loaded.settings->MailExt);
}

TEST(ProjectFileLinesTest, NumbersAreReadLeniently)
{
    const Loaded loaded = Load(
        "IndexTopMargin=12px\nIndexLeftMargin= -7\nMailTopMargin=abc\nMailLeftMargin=4294967297\n"
        "IndexBGColorRGB=0x00ff00\nIndexTextColorRGB=FF00\nIndexLinkColorRGB=123456789\n"
        "IndexVLinkColorRGB=-1\nMailBGColorRGB=zz\n");
    const ProjectSettings& s = *loaded.settings;
    EXPECT_EQ(12, s.IndexTopMargin);
    EXPECT_EQ(-7, s.IndexLeftMargin);
    EXPECT_EQ(0, s.MailTopMargin);
    EXPECT_EQ(1, s.MailLeftMargin);
    EXPECT_EQ(0xFF00u, s.IndexBGColorRGB);
    EXPECT_EQ(0xFF00u, s.IndexTextColorRGB);
    EXPECT_EQ(0xFFFFFFFFu, s.IndexLinkColorRGB);
    EXPECT_EQ(0xFFFFFFFFu, s.IndexVLinkColorRGB);
    EXPECT_EQ(0u, s.MailBGColorRGB);
}

TEST(ProjectFileLinesTest, CrLfLinesReadLikeLfLines)
{
    ProjectSettings s;
    test::FillEverySetting(s, 4);
    s.mailList.push_back(Mail(1));
    const std::string lf = SerializeProject(s);
    const std::size_t block = lf.find("MailData\n") + 9;
    std::string crlf;
    for (const char c : lf.substr(0, block)) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    crlf += lf.substr(block);
    const Loaded back = Load(crlf);
    EXPECT_TRUE(back.settings->SettingsEqual(s));
    EXPECT_EQ(FieldsOf(s.mailList), FieldsOf(back.settings->mailList));
    EXPECT_FALSE(back.result.mailBlockDamaged);
}

TEST(ProjectFileLinesTest, MissingKeysTakeResetValuesAndDefaultInsertTags)
{
    auto settings = std::make_unique<ProjectSettings>();  // as built: insert tags empty, ToLower 1
    settings->Reset();
    settings->DateFont = 6;
    const LoadResult result = LoadProjectFromBytes(*settings, "Title=x\n");
    ProjectSettings expected;
    expected.Reset();
    expected.Title = "x";
    expected.DateFont = 6;
    EXPECT_TRUE(settings->SettingsEqual(expected));
    EXPECT_TRUE(settings->mailList.empty());
    EXPECT_FALSE(result.mailBlockDamaged);
    EXPECT_EQ(0, result.version);

    ProjectSettings built;
    LoadProjectFromBytes(built, "");
    EXPECT_EQ("Postloom Tree", built.IndexInsertTag);
    EXPECT_EQ("A HREF=Postloom Parent", built.MailParentInsertTag);
    EXPECT_EQ(1, built.ToLower);
}

// ---------------------------------------------------------------------------
// Marker and version

TEST(ProjectFileMarkerTest, MarkerIsTheWholeLineWithCaseIgnored)
{
    ProjectSettings s;
    s.mailList.push_back(Mail(1));
    const std::string block = SerializeProject(s).substr(SerializeProject(s).find("MailData\n") + 9);

    const Loaded lower = Load("PostloomVer=100\nmaildata\n" + block);
    EXPECT_EQ(1u, lower.settings->mailList.size());

    const Loaded notMarker = Load("PostloomVer=100\nMailData=1\nTitle=after\n");
    EXPECT_TRUE(notMarker.settings->mailList.empty());
    EXPECT_EQ("after", notMarker.settings->Title);

    const Loaded blank = Load("PostloomVer=100\nMailData \nTitle=after\n");
    EXPECT_EQ("after", blank.settings->Title);
}

// Nothing follows the mail list in a whole file: bytes there are records
// the count lost, or the sign of a broken record.
TEST(ProjectFileMarkerTest, NothingAfterTheMailListIsReadAndBytesThereAreDamage)
{
    const Loaded loaded = Load("PostloomVer=100\nTitle=before\nMailData\n" + U16(0) + "\nTitle=after\n");
    EXPECT_EQ("before", loaded.settings->Title);
    EXPECT_TRUE(loaded.settings->mailList.empty());
    EXPECT_TRUE(loaded.result.mailBlockDamaged);
}

TEST(ProjectFileMarkerTest, MarkerWithoutCountIsADamagedBlock)
{
    const Loaded loaded = Load("PostloomVer=100\nMailData\n");
    EXPECT_TRUE(loaded.settings->mailList.empty());
    EXPECT_TRUE(loaded.result.mailBlockDamaged);
}

TEST(ProjectFileRecognitionTest, OnlyFilesWithoutAnyProjectLineAreNoProject)
{
    EXPECT_TRUE(Load("").result.looksLikeProject);
    EXPECT_TRUE(Load("PostloomVer=100\n").result.looksLikeProject);
    EXPECT_TRUE(Load("garbage\ntitle=x\n").result.looksLikeProject);
    EXPECT_TRUE(Load("MAILDATA\n").result.looksLikeProject);

    const Loaded text = Load("Dear all,\nthe meeting = tomorrow\nMailData is late\n");
    EXPECT_FALSE(text.result.looksLikeProject);
    EXPECT_TRUE(text.result.opened);
    EXPECT_FALSE(Load(std::string("\x89PNG\r\n\x1a\n\0\0", 10)).result.looksLikeProject);
}

TEST(ProjectFileVersionTest, VersionZeroOrNoVersionLineReadsTheOldEncoding)
{
    const std::string oldRecord =
        Text("subj") + Text("mid") + Text("irt") + U16(1) + Text("r1") + Text("01.wml") + I32(5) + I32(6) + I32(0);
    for (const std::string header : {"", "PostloomVer=0\n", "postloomver=abc\n", "PostloomVer=7\nPostloomVer=0\n"}) {
        SCOPED_TRACE(header);
        const Loaded loaded = Load(header + "Title=t\nMailData\n" + U16(1) + oldRecord);
        EXPECT_EQ(0, loaded.result.version);
        ASSERT_EQ(1u, loaded.settings->mailList.size());
        const MailRecord& m = *loaded.settings->mailList.front();
        EXPECT_EQ("01.wml", m.fileName);
        EXPECT_EQ(std::vector<std::string>{"r1"}, m.references);
        EXPECT_EQ(6, m.orderKey);
        EXPECT_EQ("", m.from);
        EXPECT_EQ(1, m.outputHtml);
        EXPECT_FALSE(loaded.result.mailBlockDamaged);
    }
}

TEST(ProjectFileVersionTest, AnyOtherVersionReadsTheTaggedEncoding)
{
    std::string tagged;
    WriteMailRecord(*Mail(9), tagged);
    for (const auto& [header, version] :
         {std::pair<std::string, int>{"PostloomVer=1\n", 1}, {"PostloomVer=100\n", 100}, {"POSTLOOMVER=-3\n", -3}}) {
        SCOPED_TRACE(header);
        const Loaded loaded = Load(header + "MailData\n" + U16(1) + tagged);
        EXPECT_EQ(version, loaded.result.version);
        EXPECT_EQ(std::vector<std::string>{Fields(*Mail(9))}, FieldsOf(loaded.settings->mailList));
    }
}

// ---------------------------------------------------------------------------
// Damaged mail lists

// A tagged block cut at every byte: the whole records are kept as they
// were, the one the cut went through is dropped, and a count larger than
// the data adds nothing.
TEST(ProjectFileDamageTest, TaggedBlockCutAnywhere)
{
    ProjectSettings s;
    for (int n = 1; n <= 3; ++n)
        s.mailList.push_back(Mail(n));
    const std::string full = SerializeProject(s);
    const std::size_t blockStart = full.find("MailData\n") + 9;
    std::vector<std::size_t> recordEnds = {blockStart + 2};
    for (const auto& m : s.mailList) {
        std::string one;
        WriteMailRecord(*m, one);
        recordEnds.push_back(recordEnds.back() + one.size());
    }
    for (std::size_t cut = blockStart; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const Loaded loaded = Load(full.substr(0, cut));
        const MailList& list = loaded.settings->mailList;
        std::size_t whole = 0;
        while (whole < 3 && recordEnds[whole + 1] <= cut)
            ++whole;
        const bool begun = cut > recordEnds[whole] && whole < 3;
        EXPECT_EQ(whole, list.size());
        EXPECT_EQ(list.size(), loaded.result.mailsRead);
        EXPECT_EQ(begun ? 1u : 0u, loaded.result.recordsDropped);
        for (std::size_t i = 0; i < whole; ++i)
            EXPECT_EQ(Fields(*s.mailList[i]), Fields(*list[i]));
        EXPECT_EQ(cut != full.size(), loaded.result.mailBlockDamaged);
    }
}

// The offsets of the count, every tag and every text length of a tagged
// mail list that starts at blockStart.
std::vector<std::size_t> StructureOffsets(const std::string& bytes, std::size_t blockStart)
{
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    std::vector<std::size_t> offsets = {blockStart};
    std::size_t at = blockStart + 2;
    while (at < bytes.size()) {
        offsets.push_back(at);
        const std::size_t tag = u16(at);
        at += 2;
        if (tag >= 6 && tag <= 10) {
            at += 4;
        } else if (tag != 0) {
            offsets.push_back(at);
            at += 2 + u16(at);
        }
    }
    return offsets;
}

// A broken tag, length or count anywhere in the list: the damage is found,
// and what is kept are records as they were saved, in their order; no
// record made of broken pieces survives.
TEST(ProjectFileDamageTest, BrokenStructureKeepsOnlyRecordsAsSaved)
{
    ProjectSettings s;
    for (int n = 1; n <= 4; ++n)
        s.mailList.push_back(Mail(n));
    s.mailList[1]->references.clear();
    s.mailList[2]->inReplyTo = "parent";
    const std::string full = SerializeProject(s);
    const std::vector<std::string> saved = FieldsOf(s.mailList);
    const std::size_t blockStart = full.find("MailData\n") + 9;
    int cases = 0;
    for (const std::size_t offset : StructureOffsets(full, blockStart)) {
        for (const std::string& broken : {U16(0), U16(0xFFFF)}) {
            if (full.compare(offset, 2, broken) == 0)
                continue;
            SCOPED_TRACE(std::to_string(offset) + (broken == U16(0) ? " 0000" : " FFFF"));
            ++cases;
            std::string bytes = full;
            bytes.replace(offset, 2, broken);
            const Loaded loaded = Load(bytes);
            EXPECT_TRUE(loaded.result.damaged());
            std::size_t next = 0;
            for (const std::string& kept : FieldsOf(loaded.settings->mailList)) {
                const auto found = std::find(saved.begin() + static_cast<std::ptrdiff_t>(next), saved.end(), kept);
                ASSERT_NE(saved.end(), found) << kept;
                next = static_cast<std::size_t>(found - saved.begin()) + 1;
            }
        }
    }
    EXPECT_GT(cases, 100);
}

// Records after a count that came out too small are read on.
TEST(ProjectFileDamageTest, RecordsAfterTheCountAreKept)
{
    std::string records;
    for (int n = 1; n <= 3; ++n)
        WriteMailRecord(*Mail(n), records);
    const Loaded loaded = Load("PostloomVer=100\nMailData\n" + U16(1) + records);
    EXPECT_EQ((std::vector<std::string>{Fields(*Mail(1)), Fields(*Mail(2)), Fields(*Mail(3))}),
              FieldsOf(loaded.settings->mailList));
    EXPECT_TRUE(loaded.result.mailBlockDamaged);
    EXPECT_EQ(0u, loaded.result.recordsDropped);
}

// A stored name that no folder listing gives names no mail file: such a
// record is dropped in either encoding, and the project counts as damaged.
TEST(ProjectFileDamageTest, RecordsWithUnusableNamesAreDropped)
{
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "sub/x.alm", "/etc/passwd", std::string("x\0.alm", 6)}) {
        SCOPED_TRACE(name);
        auto bad = Mail(2);
        bad->fileName = name;
        std::string tagged;
        WriteMailRecord(*Mail(1), tagged);
        WriteMailRecord(*bad, tagged);
        const Loaded loaded = Load("PostloomVer=100\nMailData\n" + U16(2) + tagged);
        EXPECT_EQ(std::vector<std::string>{Fields(*Mail(1))}, FieldsOf(loaded.settings->mailList));
        EXPECT_EQ(1u, loaded.result.recordsDropped);
        EXPECT_TRUE(loaded.result.damaged());

        const std::string old = Text("s") + Text("m") + Text("") + U16(0) + Text(name) + I32(1) + I32(1) + I32(1);
        const Loaded oldLoaded = Load("MailData\n" + U16(1) + old);
        EXPECT_TRUE(oldLoaded.settings->mailList.empty());
        EXPECT_TRUE(oldLoaded.result.damaged());
    }
    // On Linux a backslash is an ordinary character of a name.
    auto backslash = Mail(1);
    backslash->fileName = "a\\b.alm";
    std::string tagged;
    WriteMailRecord(*backslash, tagged);
    const Loaded loaded = Load("PostloomVer=100\nMailData\n" + U16(1) + tagged);
    EXPECT_EQ(1u, loaded.settings->mailList.size());
    EXPECT_FALSE(loaded.result.damaged());
}

TEST(ProjectFileDamageTest, OldBlockCutAnywhere)
{
    const std::string record =
        Text("subj") + Text("mid") + Text("") + U16(2) + Text("r1") + Text("r2") + Text("f.wml") + I32(1) + I32(2) +
        I32(0);
    const std::string head = "Title=t\nMailData\n";
    const std::string full = head + U16(2) + record + record;
    for (std::size_t cut = head.size(); cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const Loaded loaded = Load(full.substr(0, cut));
        const std::size_t data = cut - std::min(cut, head.size() + 2);
        const std::size_t expected = data / record.size();
        EXPECT_EQ(expected, loaded.settings->mailList.size());
        EXPECT_EQ(cut != full.size(), loaded.result.mailBlockDamaged);
        EXPECT_EQ("t", loaded.settings->Title);
    }
}

TEST(ProjectFileDamageTest, CountLargerThanTheDataAddsNoEmptyMails)
{
    std::string tagged;
    WriteMailRecord(*Mail(1), tagged);
    const Loaded loaded = Load("PostloomVer=100\nMailData\n" + U16(65535) + tagged);
    EXPECT_EQ(1u, loaded.settings->mailList.size());
    EXPECT_TRUE(loaded.result.mailBlockDamaged);
}

// ---------------------------------------------------------------------------
// Opening

TEST(ProjectFileOpenTest, FileThatCannotBeOpenedChangesNothing)
{
    TempDir dir;
    ProjectSettings s;
    test::FillEverySetting(s, 1);
    ProjectSettings before;
    before.CopySettingsFrom(s);
    for (const std::string& path : {dir.File("missing.plp"), dir.path().string(), std::string()}) {
        SCOPED_TRACE(path);
        const LoadResult result = LoadProject(s, path);
        EXPECT_FALSE(result.opened);
        EXPECT_TRUE(s.SettingsEqual(before));
    }
}

// ---------------------------------------------------------------------------
// Saving

TEST(ProjectFileSaveTest, MoreThan65535MailsStoreTheFirstInListOrder)
{
    ProjectSettings s;
    for (int n = 0; n < 65535 + 3; ++n) {
        auto m = std::make_unique<MailRecord>();
        m->fileName = std::to_string(n);
        s.mailList.push_back(std::move(m));
    }
    const std::string bytes = SerializeProject(s);
    EXPECT_EQ(U16(65535), bytes.substr(bytes.find("MailData\n") + 9, 2));

    TempDir dir;
    const SaveResult saved = SaveProject(s, dir.File("big.plp"));
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(65535u, saved.mailsStored);
    EXPECT_EQ(3u, saved.mailsLeftOut);

    ProjectSettings back;
    const LoadResult loaded = LoadProject(back, dir.File("big.plp"));
    EXPECT_FALSE(loaded.mailBlockDamaged);
    ASSERT_EQ(65535u, back.mailList.size());
    EXPECT_EQ("0", back.mailList.front()->fileName);
    EXPECT_EQ("65534", back.mailList.back()->fileName);
}

TEST(ProjectFileSaveTest, ReplacesAnExistingFileAndKeepsItsPermissions)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "old content that is longer than nothing");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
    ProjectSettings s;
    s.Title = "new";
    ASSERT_TRUE(SaveProject(s, path).ok);
    EXPECT_EQ(SerializeProject(s), ReadFile(path));
    struct stat st {};
    ASSERT_EQ(0, ::stat(path.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>{"p.plp"}, FilesIn(dir.path()));
}

TEST(ProjectFileSaveTest, SavingThroughALinkReplacesTheFileItNames)
{
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string real = dir.File("real/p.plp");
    WriteFile(real, "old");
    fs::create_symlink(real, dir.path() / "link.plp");
    ProjectSettings s;
    ASSERT_TRUE(SaveProject(s, dir.File("link.plp")).ok);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.plp"));
    EXPECT_EQ(SerializeProject(s), ReadFile(real));
}

// A save that is to replace only the version it read leaves a version
// saved meanwhile by another program; a file removed meanwhile is made anew.
TEST(ProjectFileSaveTest, AFileChangedSinceItWasReadIsNotOverwritten)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "Title=mine\n");
    ProjectSettings s;
    s.Reset();
    const LoadResult loaded = LoadProject(s, path);
    ASSERT_TRUE(loaded.stamp.has_value());
    s.Title = "saved";
    const SaveResult same = SaveProject(s, path, {.unchangedSince = loaded.stamp});
    EXPECT_TRUE(same.ok) << same.error;

    ProjectSettings again;
    again.Reset();
    const LoadResult reloaded = LoadProject(again, path);
    WriteFile(path, "Title=theirs\n");
    const SaveResult changed = SaveProject(again, path, {.unchangedSince = reloaded.stamp});
    EXPECT_FALSE(changed.ok);
    EXPECT_EQ("the project file changed on disk since it was read; it was not overwritten", changed.error);
    EXPECT_EQ("Title=theirs\n", ReadFile(path));

    fs::remove(path);
    EXPECT_TRUE(SaveProject(again, path, {.unchangedSince = reloaded.stamp}).ok);
}

TEST(ProjectFileSaveTest, SaveIntoAMissingFolderFails)
{
    TempDir dir;
    ProjectSettings s;
    const SaveResult saved = SaveProject(s, dir.File("no/such/folder/p.plp"));
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.empty());
    EXPECT_TRUE(FilesIn(dir.path()).empty());
    EXPECT_FALSE(SaveProject(s, "").ok);
}

TEST(ProjectFileSaveTest, FolderOrSpecialFileIsNeverReplaced)
{
    TempDir dir;
    fs::create_directory(dir.path() / "taken.plp");
    ASSERT_EQ(0, ::mkfifo(dir.File("pipe.plp").c_str(), 0600));
    ProjectSettings s;
    for (const char* name : {"taken.plp", "pipe.plp"}) {
        SCOPED_TRACE(name);
        const SaveResult saved = SaveProject(s, dir.File(name));
        EXPECT_FALSE(saved.ok);
        EXPECT_FALSE(saved.error.empty());
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken.plp"));
    EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe.plp"));
    EXPECT_EQ((std::vector<std::string>{"pipe.plp", "taken.plp"}), FilesIn(dir.path()));
}

TEST(ProjectFileSaveTest, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "old");
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0555));
    ProjectSettings s;
    const SaveResult saved = SaveProject(s, path);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ("old", ReadFile(path));
}

// Lowers the file-size limit of the process for the life of the object, so
// that writes fail the way they do on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST(ProjectFileSaveTest, WriteErrorFailsTheSaveAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "old project");
    ProjectSettings s;
    for (int n = 0; n < 200; ++n)
        s.mailList.push_back(Mail(n));
    SaveResult saved;
    {
        const FileSizeLimit limit(4096);
        saved = SaveProject(s, path);
    }
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(std::string::npos, saved.error.find("write")) << saved.error;
    EXPECT_EQ("old project", ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"p.plp"}, FilesIn(dir.path()));
}

// The mail list goes to disk in pieces: the file holds exactly the bytes
// of the whole, and a write that fails in a later piece still fails the
// save and keeps the old file.
TEST(ProjectFileSaveTest, AListOfManyPiecesIsSavedByteForByteAndAFailureInALaterPieceKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    ProjectSettings s;
    for (int n = 0; n < 5000; ++n)
        s.mailList.push_back(Mail(n));
    const std::string whole = SerializeProject(s);
    ASSERT_GT(whole.size(), 4u * 64 * 1024);

    const SaveResult saved = SaveProject(s, path);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(whole, ReadFile(path));

    s.mailList.push_back(Mail(5000));
    SaveResult failed;
    {
        const FileSizeLimit limit(2 * 64 * 1024 + 100);
        failed = SaveProject(s, path);
    }
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(std::string::npos, failed.error.find("write")) << failed.error;
    EXPECT_EQ(whole, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"p.plp"}, FilesIn(dir.path()));
}

// ---------------------------------------------------------------------------
// Why a file is not taken

TEST(ProjectFileFailureTest, MissingFolderAndSpecialFilesSayWhy)
{
    TempDir dir;
    fs::create_directory(dir.path() / "folder.plp");
    ASSERT_EQ(0, ::mkfifo(dir.File("pipe.plp").c_str(), 0600));
    WriteFile(dir.File("plain"), "Title=x\n");
    const struct {
        std::string path;
        LoadFailure failure;
        std::string reason;
    } cases[] = {
        {dir.File("missing.plp"), LoadFailure::Missing, "the file does not exist"},
        {dir.File("plain/p.plp"), LoadFailure::Missing, "the file does not exist"},
        {"", LoadFailure::Missing, "the file does not exist"},
        {dir.File("folder.plp"), LoadFailure::NotAFile, "it is a folder or a special file"},
        // Opening a FIFO for reading would wait for a writer: the test would hang.
        {dir.File("pipe.plp"), LoadFailure::NotAFile, "it is a folder or a special file"},
        {"/dev/null", LoadFailure::NotAFile, "it is a folder or a special file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ProjectSettings s;
        const LoadResult result = LoadProject(s, c.path);
        EXPECT_FALSE(result.opened);
        EXPECT_EQ(c.failure, result.failure);
        EXPECT_EQ(c.reason, result.failureReason());
    }
}

TEST(ProjectFileFailureTest, OpenErrorGivesTheSystemsReason)
{
    TempDir dir;
    fs::create_symlink(dir.path() / "b.plp", dir.path() / "a.plp");
    fs::create_symlink(dir.path() / "a.plp", dir.path() / "b.plp");
    ProjectSettings s;
    const LoadResult loop = LoadProject(s, dir.File("a.plp"));
    EXPECT_FALSE(loop.opened);
    EXPECT_EQ(LoadFailure::Unreadable, loop.failure);
    EXPECT_EQ(std::strerror(ELOOP), loop.failureReason());

    // The part before the NUL names a project that must not be taken instead.
    WriteFile(dir.File("p.plp"), "Title=x\n");
    const LoadResult nul = LoadProject(s, dir.File("p.plp") + std::string(1, '\0') + "x");
    EXPECT_EQ(LoadFailure::Unreadable, nul.failure);
    EXPECT_EQ(std::strerror(EINVAL), nul.failureReason());
    EXPECT_FALSE(SaveProject(s, dir.File("p.plp") + std::string(1, '\0') + "x").ok);
    EXPECT_EQ("Title=x\n", ReadFile(dir.File("p.plp")));
}

TEST(ProjectFileFailureTest, FileWithoutReadPermissionGivesTheSystemsReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user; OpenErrorGivesTheSystemsReason covers the path";
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "Title=x\n");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0));
    ProjectSettings s;
    const LoadResult result = LoadProject(s, path);
    EXPECT_EQ(LoadFailure::Unreadable, result.failure);
    EXPECT_EQ(std::strerror(EACCES), result.failureReason());
}

TEST(ProjectFileFailureTest, ReadErrorGivesTheSystemsReason)
{
    // A regular file whose first read fails (the unmapped page 0 of the
    // process's memory), for any user.
    if (!fs::is_regular_file("/proc/self/mem"))
        GTEST_SKIP() << "no /proc/self/mem on this system";
    ProjectSettings s;
    const LoadResult result = LoadProject(s, "/proc/self/mem");
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(LoadFailure::Unreadable, result.failure);
    EXPECT_EQ(std::strerror(EIO), result.failureReason());
}

TEST(ProjectFileFailureTest, BytesWithoutAnyProjectLineAreNoProject)
{
    TempDir dir;
    const std::string path = dir.File("random.plp");
    std::string random(4096, '\0');
    for (std::size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    WriteFile(path, random);
    ProjectSettings s;
    s.Reset();
    const LoadResult result = LoadProject(s, path);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(LoadFailure::NotAProject, result.failure);
    EXPECT_EQ("it is not a Postloom project file", result.failureReason());
    EXPECT_FALSE(result.damaged());

    const Loaded sample = Load(ReadFile(SAMPLE_PROJECT));
    EXPECT_EQ(LoadFailure::None, sample.result.failure);
    EXPECT_EQ("", sample.result.failureReason());
}

// ---------------------------------------------------------------------------
// Damage reported

TEST(ProjectFileDamageTest, SettingsCutBeforeTheMarkerAreReported)
{
    const std::string sample = ReadFile(SAMPLE_PROJECT);
    const std::string cut = sample.substr(0, sample.find("\nDispLink="));
    const Loaded loaded = Load(cut);
    EXPECT_TRUE(loaded.result.opened);
    EXPECT_EQ(LoadFailure::None, loaded.result.failure);
    EXPECT_TRUE(loaded.result.noMailData);
    EXPECT_FALSE(loaded.result.mailBlockDamaged);
    EXPECT_TRUE(loaded.result.damaged());
    EXPECT_EQ("the project file has no mail list; it may have been cut short", loaded.result.damageReason());
    // What was there still loads.
    EXPECT_EQ(Sjis("サンプルML アーカイブ"), loaded.settings->Title);
    EXPECT_TRUE(loaded.settings->mailList.empty());
}

TEST(ProjectFileDamageTest, OnlyAMissingMarkerOrACutBlockIsDamage)
{
    const Loaded empty = Load("");
    EXPECT_FALSE(empty.result.noMailData);
    EXPECT_FALSE(empty.result.damaged());
    EXPECT_EQ("", empty.result.damageReason());

    const Loaded whole = Load(ReadFile(SAMPLE_PROJECT));
    EXPECT_FALSE(whole.result.damaged());

    const Loaded cutBlock = Load("PostloomVer=100\nMailData\n");
    EXPECT_FALSE(cutBlock.result.noMailData);
    EXPECT_TRUE(cutBlock.result.damaged());
    EXPECT_EQ("the mail list of the project file is damaged; the readable mails were kept",
              cutBlock.result.damageReason());
}

// ---------------------------------------------------------------------------
// Backup before the first save over a damaged file

TEST(ProjectFileBackupTest, KeepsTheOldFileAsBakReplacingAnOlderOne)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    const std::string damaged = "PostloomVer=100\nTitle=t\nDispLi";
    WriteFile(path, damaged);
    ASSERT_EQ(0, ::chmod(path.c_str(), 0600));
    WriteFile(path + ".bak", "an older backup");
    ProjectSettings s;
    s.Reset();
    ASSERT_TRUE(LoadProject(s, path).damaged());

    const SaveResult saved = SaveProject(s, path, {.keepBackup = true});
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(path + ".bak", saved.backupPath);
    EXPECT_EQ(damaged, ReadFile(path + ".bak"));
    EXPECT_EQ(SerializeProject(s), ReadFile(path));
    struct stat st {};
    ASSERT_EQ(0, ::stat(saved.backupPath.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    EXPECT_EQ((std::vector<std::string>{"p.plp", "p.plp.bak"}), FilesIn(dir.path()));

    // Without the option no backup is touched.
    s.Title = "again";
    const SaveResult plain = SaveProject(s, path);
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ("", plain.backupPath);
    EXPECT_EQ(damaged, ReadFile(path + ".bak"));
}

TEST(ProjectFileBackupTest, NoOldFileNoBackup)
{
    TempDir dir;
    ProjectSettings s;
    const SaveResult saved = SaveProject(s, dir.File(Sjis("新規.plp")), {.keepBackup = true});
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ("", saved.backupPath);
    EXPECT_EQ(std::vector<std::string>{"新規.plp"}, FilesIn(dir.path()));
}

TEST(ProjectFileBackupTest, BackupThatCannotBeMadeStopsTheSave)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "Title=old\n");
    // A folder with something in it cannot be replaced by the backup.
    fs::create_directories(dir.path() / "p.plp.bak" / "inside");
    ProjectSettings s;
    s.Title = "new";
    const SaveResult saved = SaveProject(s, path, {.keepBackup = true});
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(std::string::npos, saved.error.find("p.plp.bak")) << saved.error;
    EXPECT_EQ("", saved.backupPath);
    EXPECT_EQ("Title=old\n", ReadFile(path));
    EXPECT_EQ((std::vector<std::string>{"p.plp", "p.plp.bak"}), FilesIn(dir.path()));
}

// ---------------------------------------------------------------------------
// Temporary files of a save

// The names of the files created in folder while action runs.
template <typename Action>
std::vector<std::string> NamesCreatedDuring(const fs::path& folder, Action action)
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(watch, 0);
    EXPECT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE), 0);
    action();
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[16 * 1024];
    ssize_t n = 0;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            names.emplace_back(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    return names;
}

TEST(ProjectFileTemporaryTest, TemporaryFileIsNamedAfterTheProject)
{
    TempDir dir;
    const std::string path = dir.File("list.plp");
    WriteFile(path, "Title=old\n");
    ProjectSettings s;
    const std::vector<std::string> created =
        NamesCreatedDuring(dir.path(), [&] { ASSERT_TRUE(SaveProject(s, path, {.keepBackup = true}).ok); });
    ASSERT_EQ(2u, created.size());  // the backup's link and the new file; renames create nothing
    for (const std::string& name : created)
        EXPECT_EQ(0u, name.find(".list.plp.postloom-save-")) << name;

    // A name too long to carry the whole pattern keeps its start.
    const std::string longName = std::string(250, 'n') + ".plp";
    const std::vector<std::string> longCreated =
        NamesCreatedDuring(dir.path(), [&] { ASSERT_TRUE(SaveProject(s, dir.File(longName)).ok) << longName; });
    ASSERT_EQ(1u, longCreated.size());
    EXPECT_EQ(0u, longCreated.front().find("." + std::string(200, 'n')));
    EXPECT_LE(longCreated.front().size(), 255u);
    EXPECT_TRUE(fs::exists(dir.path() / longName));
}

void MakeOld(const fs::path& path)
{
    const timespec hourAgo{.tv_sec = std::time(nullptr) - 3600, .tv_nsec = 0};
    const timespec times[2] = {hourAgo, hourAgo};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
}

TEST(ProjectFileTemporaryTest, SaveRemovesOnlyTheStaleTemporariesOfItsProject)
{
    TempDir dir;
    const fs::path folder = dir.path();
    WriteFile(dir.File("p.plp"), "Title=old\n");
    const std::vector<std::string> stale = {".p.plp.postloom-save-123", ".postloom-save-456"};
    const std::vector<std::string> kept = {
        ".p.plp.postloom-save-789",   // fresh: written after this process started
        ".q.plp.postloom-save-111",   // another project's
        ".p.plp.postloom-save-12x",   // not a name the program makes
        ".p.plp.postloom-save-",      // no digits
        ".pp.plp.postloom-save-5",    // another project's
        "p.plp.postloom-save-6",      // not hidden
        ".p.plp.postloom-save-7",     // a folder
        ".p.plp.postloom-save-8",     // a symbolic link
    };
    for (const std::string& name : stale)
        WriteFile(dir.File(name), "cut");
    for (std::size_t i = 0; i < 6; ++i)
        WriteFile(dir.File(kept[i]), "cut");
    fs::create_directory(folder / kept[6]);
    fs::create_symlink("p.plp", folder / kept[7]);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != kept[0])
            MakeOld(entry.path());
    }

    ProjectSettings s;
    ASSERT_TRUE(SaveProject(s, dir.File("p.plp")).ok);
    std::vector<std::string> expected = kept;
    expected.push_back("p.plp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FilesIn(folder));
}

TEST(ProjectFileTemporaryTest, FailedSaveRemovesNothingButItsOwnFile)
{
    TempDir dir;
    const std::string path = dir.File("p.plp");
    WriteFile(path, "old project");
    WriteFile(dir.File(".p.plp.postloom-save-1"), "cut");
    MakeOld(dir.path() / ".p.plp.postloom-save-1");
    ProjectSettings s;
    for (int n = 0; n < 200; ++n)
        s.mailList.push_back(Mail(n));
    SaveResult saved;
    {
        const FileSizeLimit limit(4096);
        saved = SaveProject(s, path);
    }
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ((std::vector<std::string>{".p.plp.postloom-save-1", "p.plp"}), FilesIn(dir.path()));
}

}  // namespace
}  // namespace postloom
