#include "core/platform/output_file.h"
#include "core/search/embedded_file.h"
#include "core/search/search_index_writer.h"
#include "core/search/search_state.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <random>

namespace postloom::search {
namespace {

using test::ReadFile;
using test::TempDir;

// An archive the tests change between runs: mails by key.
class Archive {
public:
    void Put(const std::string& key, std::int64_t sortKey, const std::string& body, const std::string& version = "1")
    {
        mails_[key] = {sortKey, body, version};
    }
    void Remove(const std::string& key) { mails_.erase(key); }

    SearchIndexRun Write(const std::string& folder, const SearchIndexLimits& limits = {})
    {
        std::vector<SearchEntry> entries;
        for (const auto& [key, mail] : mails_) {
            entries.push_back({key, mail.version, mail.sortKey});
        }
        read_.clear();
        return WriteSearchIndex(folder, entries, [&](std::size_t i) {
            read_.push_back(entries[i].key);
            const Mail& mail = mails_.at(entries[i].key);
            return SearchMail{entries[i].key + ".html", "件名 " + entries[i].key, "差出人", "2024/01/01", mail.body};
        }, limits);
    }

    // The keys the last run read, in the order it read them.
    const std::vector<std::string>& Read() const { return read_; }

private:
    struct Mail {
        std::int64_t sortKey;
        std::string body;
        std::string version;
    };
    std::map<std::string, Mail> mails_;
    std::vector<std::string> read_;
};

// The names in the search folder other than the browser's code.
std::vector<std::string> IndexFiles(const TempDir& dir)
{
    std::vector<std::string> names = test::Names(dir.path() / "search");
    std::erase_if(names, [](const std::string& name) { return name.starts_with("search_"); });
    return names;
}

Archive Numbered(int count)
{
    Archive archive;
    for (int i = 0; i < count; ++i) {
        archive.Put("m" + std::to_string(100 + i), i, "本文 " + std::to_string(i));
    }
    return archive;
}

TEST(SearchIndexWriterTest, FirstRunWritesOneBaseNewestFirstAndTheManifest)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive;
    archive.Put("old", 10, "新幹線に乗った");
    archive.Put("new", 30, "東京駅 \"quoted\"");
    archive.Put("mid", 20, "hello world");

    const SearchIndexRun run = archive.Write(folder);
    ASSERT_TRUE(run.Ok());
    EXPECT_TRUE(run.rebuilt);
    EXPECT_EQ(run.mailsWritten, 3u);
    EXPECT_EQ(archive.Read(), (std::vector<std::string>{"new", "mid", "old"}));
    EXPECT_EQ(ReadFile(folder + "/manifest.js"),
              "PostloomSearch.manifest({\"format\":1,\"mailBlock\":256,\"textBlock\":32,"
              "\"segments\":[{\"id\":\"s1\",\"mails\":3,\"shards\":1,\"gone\":\"\"}]});\n");
    EXPECT_EQ(ReadFile(folder + "/s1/m0.js"),
              "PostloomSearch.mails(\"s1\",0,["
              "[\"new.html\",\"件名 new\",\"差出人\",\"2024/01/01\",30],"
              "[\"mid.html\",\"件名 mid\",\"差出人\",\"2024/01/01\",20],"
              "[\"old.html\",\"件名 old\",\"差出人\",\"2024/01/01\",10]]);\n");
    const std::string shard = ReadFile(folder + "/s1/t0.js");
    EXPECT_TRUE(shard.starts_with("PostloomSearch.shard(\"s1\",0,{"));
    // 幹線 only in mail 2: one gap of 2, stored as 1.
    EXPECT_NE(shard.find("\"幹線\":\"Ag==\""), std::string::npos);
    // 件名 in every mail: 0, 1, 2.
    EXPECT_NE(shard.find("\"件名\":\"AAAA\""), std::string::npos);
    EXPECT_TRUE(ReadFile(folder + "/s1/x0.js").starts_with("PostloomSearch.texts(\"s1\",0,\""));
}

TEST(SearchIndexWriterTest, AFewNewMailsMakeASmallSegmentAndRemovedOnesAreListedGone)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(40);
    ASSERT_TRUE(archive.Write(folder).Ok());
    const std::string base = ReadFile(folder + "/s1/t0.js");

    archive.Put("m900", 900, "新しい本文");
    archive.Remove("m105");  // number 34 of the base, newest first
    const SearchIndexRun run = archive.Write(folder);
    ASSERT_TRUE(run.Ok());
    EXPECT_FALSE(run.rebuilt);
    EXPECT_EQ(run.mailsWritten, 1u);
    EXPECT_EQ(run.mailsGone, 1u);
    EXPECT_EQ(archive.Read(), std::vector<std::string>{"m900"});
    EXPECT_EQ(ReadFile(folder + "/s1/t0.js"), base);
    // Gone: 34, coded as the byte 34 ("Ig==").
    EXPECT_NE(ReadFile(folder + "/manifest.js").find("{\"id\":\"s1\",\"mails\":40,\"shards\":1,\"gone\":\"Ig==\"},"
                                                     "{\"id\":\"s2\",\"mails\":1,"),
              std::string::npos);

    // A run with nothing new reads no mail and changes nothing.
    const SearchIndexRun again = archive.Write(folder);
    EXPECT_TRUE(again.Ok());
    EXPECT_TRUE(archive.Read().empty());
    EXPECT_EQ(again.bytesWritten, 0u);
}

TEST(SearchIndexWriterTest, AChangedMailIsGoneWhereItWasAndWrittenAgain)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(40);
    ASSERT_TRUE(archive.Write(folder).Ok());
    archive.Put("m139", 39, "書き換えた本文", "2");
    const SearchIndexRun run = archive.Write(folder);
    ASSERT_TRUE(run.Ok());
    EXPECT_EQ(archive.Read(), std::vector<std::string>{"m139"});
    // m139 was the newest, number 0.
    EXPECT_NE(ReadFile(folder + "/manifest.js").find("\"gone\":\"AA==\""), std::string::npos);
}

TEST(SearchIndexWriterTest, SegmentsPastTheLimitsMergeIntoANewBase)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(100);
    ASSERT_TRUE(archive.Write(folder).Ok());
    const SearchIndexLimits limits{.maxSegments = 3, .maxShare = 0.10};
    for (int i = 0; i < 2; ++i) {
        archive.Put("n" + std::to_string(i), 1000 + i, "追加");
        const SearchIndexRun run = archive.Write(folder, limits);
        ASSERT_TRUE(run.Ok());
        EXPECT_FALSE(run.rebuilt);
    }
    EXPECT_EQ(IndexFiles(dir), (std::vector<std::string>{".postloom-search", "manifest.js", "s1", "s2", "s3"}));

    // A fourth segment would pass three.
    archive.Put("n2", 1002, "追加");
    const SearchIndexRun merged = archive.Write(folder, limits);
    ASSERT_TRUE(merged.Ok());
    EXPECT_TRUE(merged.rebuilt);
    EXPECT_EQ(merged.mailsWritten, 103u);
    EXPECT_EQ(IndexFiles(dir), (std::vector<std::string>{".postloom-search", "manifest.js", "s4"}));

    // Removing more than a tenth merges as well.
    for (int i = 0; i < 11; ++i) {
        archive.Remove("m" + std::to_string(100 + i));
    }
    const SearchIndexRun shrunk = archive.Write(folder, limits);
    EXPECT_TRUE(shrunk.rebuilt);
    EXPECT_EQ(shrunk.mailsWritten, 92u);
}

TEST(SearchIndexWriterTest, ADamagedOrMissingStateBuildsTheIndexAnewUnderANewName)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(5);
    ASSERT_TRUE(archive.Write(folder).Ok());
    test::WriteFile(folder + "/.postloom-search", "postloom-search-state 1\nmail 9 0 1 1\nxy\n");
    EXPECT_FALSE(ReadSearchState(folder + "/.postloom-search"));

    const SearchIndexRun run = archive.Write(folder);
    ASSERT_TRUE(run.Ok());
    EXPECT_TRUE(run.rebuilt);
    EXPECT_EQ(IndexFiles(dir), (std::vector<std::string>{".postloom-search", "manifest.js", "s2"}));
}

TEST(SearchIndexWriterTest, StateKeepsKeysOfAnyBytes)
{
    TempDir dir;
    SearchState state;
    state.nextId = 3;
    state.segments.push_back({2, 2, 1, {1}});
    state.mails.push_back({std::string("a\nb c\0", 6), "fp\n", 2, 0});
    ASSERT_FALSE(WriteSearchState(dir.File("state"), state));
    const auto read = ReadSearchState(dir.File("state"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->mails.size(), 1u);
    EXPECT_EQ(read->mails[0].key, state.mails[0].key);
    EXPECT_EQ(read->mails[0].fingerprint, "fp\n");
    EXPECT_EQ(read->segments[0].gone, std::vector<std::uint32_t>{1});

    // A mail placed on a gone number, or a number neither a mail nor gone,
    // is damage.
    state.mails[0].number = 1;
    ASSERT_FALSE(WriteSearchState(dir.File("state"), state));
    EXPECT_FALSE(ReadSearchState(dir.File("state")));
    state.mails[0].number = 0;
    state.segments[0].mails = 3;
    ASSERT_FALSE(WriteSearchState(dir.File("state"), state));
    EXPECT_FALSE(ReadSearchState(dir.File("state")));

    // So are two mails on one number or with one key, and a segment that
    // claims far more numbers than the state names (refused without room
    // made for them).
    state.segments[0] = {2, 3, 1, {}};
    const auto readsBack = [&](std::vector<StateMail> mails) {
        state.mails = std::move(mails);
        EXPECT_FALSE(WriteSearchState(dir.File("state"), state));
        return ReadSearchState(dir.File("state")).has_value();
    };
    EXPECT_TRUE(readsBack({{"a", "f", 2, 0}, {"b", "f", 2, 1}, {"c", "f", 2, 2}}));
    EXPECT_FALSE(readsBack({{"a", "f", 2, 0}, {"b", "f", 2, 0}, {"c", "f", 2, 2}}));
    EXPECT_FALSE(readsBack({{"a", "f", 2, 0}, {"a", "f", 2, 1}, {"c", "f", 2, 2}}));
    state.segments[0].mails = 4'000'000'000u;
    EXPECT_FALSE(readsBack({{"a", "f", 2, 0}, {"b", "f", 2, 1}, {"c", "f", 2, 2}}));
}

// A state file can be cut or changed by anything; reading it never goes
// wrong, and the index is then built anew.
TEST(SearchIndexWriterTest, DamagedStatesAreRefusedOrReadWhole)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(40);
    archive.Remove("m110");
    ASSERT_TRUE(archive.Write(folder).Ok());
    archive.Put("m900", 900, "新しい本文");
    ASSERT_TRUE(archive.Write(folder).Ok());
    const std::string state = ReadFile(folder + "/.postloom-search");
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = state.substr(0, random() % (state.size() + 1));
        for (int i = 0; i < 3 && !damaged.empty(); ++i) {
            damaged[random() % damaged.size()] = static_cast<char>(random());
        }
        test::WriteFile(dir.File("damaged"), damaged);
        if (const auto read = ReadSearchState(dir.File("damaged"))) {
            // Only a change that keeps it whole passes, e.g. in a fingerprint.
            EXPECT_EQ(read->mails.size(), 40u);
        }
    }
    test::WriteFile(folder + "/.postloom-search", state.substr(0, state.size() / 2));
    const SearchIndexRun run = archive.Write(folder);
    EXPECT_TRUE(run.Ok());
    EXPECT_TRUE(run.rebuilt);
}

TEST(SearchIndexWriterTest, AFailedSegmentLeavesTheLastManifestAndState)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(40);
    ASSERT_TRUE(archive.Write(folder).Ok());
    const std::string manifest = ReadFile(folder + "/manifest.js");
    const std::string state = ReadFile(folder + "/.postloom-search");

    archive.Put("m900", 900, "新しい本文");
    platform::SetWriteFaultForTesting(10, ENOSPC);
    const SearchIndexRun failed = archive.Write(folder);
    platform::ClearWriteFaultForTesting();
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(ReadFile(folder + "/manifest.js"), manifest);
    EXPECT_EQ(ReadFile(folder + "/.postloom-search"), state);

    // The next run writes it under a name of its own and drops the leftover.
    const SearchIndexRun run = archive.Write(folder);
    ASSERT_TRUE(run.Ok());
    EXPECT_EQ(IndexFiles(dir), (std::vector<std::string>{".postloom-search", "manifest.js", "s1", "s3"}));
}

TEST(SearchIndexWriterTest, TheBrowsersCodeComesWithTheIndexAndThePageLoadsAllOfIt)
{
    TempDir dir;
    Archive archive = Numbered(1);
    ASSERT_TRUE(archive.Write(dir.File("search")).Ok());
    ASSERT_EQ(SearchPages().size(), 1u);
    const std::string_view page = SearchPages()[0].bytes;
    for (const EmbeddedFile& script : SearchScripts()) {
        EXPECT_EQ(ReadFile(dir.File("search") + "/" + std::string(script.name)), script.bytes);
        EXPECT_NE(page.find("src=\"search/" + std::string(script.name) + "\""), std::string_view::npos) << script.name;
    }
}

TEST(SearchIndexWriterTest, ALinkNamedLikeASegmentIsNeverFollowedToRemoveFiles)
{
    TempDir dir;
    const std::string folder = dir.File("search");
    Archive archive = Numbered(3);
    ASSERT_TRUE(archive.Write(folder).Ok());
    std::filesystem::create_directory(dir.path() / "elsewhere");
    test::WriteFile(dir.File("elsewhere/keep.txt"), "x");
    std::filesystem::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "search" / "s7");

    ASSERT_TRUE(archive.Write(folder).Ok());
    EXPECT_EQ(ReadFile(dir.File("elsewhere/keep.txt")), "x");
}

TEST(SearchIndexWriterTest, AFileWhereTheFolderGoesIsAProblemNotACrash)
{
    TempDir dir;
    test::WriteFile(dir.File("search"), "x");
    Archive archive = Numbered(2);
    const SearchIndexRun run = archive.Write(dir.File("search"));
    ASSERT_EQ(run.problems.size(), 1u);
    EXPECT_EQ(run.problems[0].path, dir.File("search"));
}

}  // namespace
}  // namespace postloom::search
