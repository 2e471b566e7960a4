// A converted project whose mail list is damaged (cut short, or a tag, a
// length or the count overwritten with FFFF or zero bytes) is repaired by
// one run of postloom-batch: the old file is kept as ".bak", and from the
// next run on the run is clean and the site is that of a clean conversion.

#include "batch_runner.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace postloom::test {
namespace {

namespace fs = std::filesystem;

// Every file of the site that the program writes for readers, by relative
// path, with its bytes. Names that begin with a dot (the program's own
// bookkeeping and temporary files) are left out.
std::map<std::string, std::string> SiteFiles(const fs::path& site)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(site)) {
        // The search index's files tell the runs that made it (a segment
        // per run, the mails it dropped); the mails it finds do not.
        const std::string name = fs::relative(entry.path(), site).string();
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.' && !name.starts_with("search/"))
            files[name] = ReadFile(entry.path().string());
    }
    return files;
}

std::size_t U16At(const std::string& bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]) | (static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

// The offsets of the count and of every tag and text length of the mail
// list that starts at blockStart.
std::vector<std::size_t> StructureOffsets(const std::string& bytes, std::size_t blockStart)
{
    std::vector<std::size_t> offsets = {blockStart};
    std::size_t at = blockStart + 2;
    while (at + 1 < bytes.size()) {
        offsets.push_back(at);
        const std::size_t tag = U16At(bytes, at);
        at += 2;
        if (tag >= 6 && tag <= 10) {
            at += 4;
        } else if (tag != 0) {
            offsets.push_back(at);
            at += 2 + U16At(bytes, at);
        }
    }
    return offsets;
}

struct Damage {
    std::string name;
    std::string bytes;
};

// The damages tried: cuts through the list, and two bytes overwritten with
// FFFF or 0000 at the count and at the tags and lengths of the first and
// the last record, and of every 30th place between, taking turns.
std::vector<Damage> Damages(const std::string& project)
{
    const std::size_t blockStart = project.find("\nMailData\n") + 10;
    std::vector<Damage> damages;
    for (const std::size_t cut : {blockStart + 1, blockStart + 40, (blockStart + project.size()) / 2,
                                  project.size() - 30, project.size() - 1}) {
        damages.push_back({"cut at " + std::to_string(cut), project.substr(0, cut)});
    }
    const std::string zeros(2, '\0');
    const std::string ones(2, '\xFF');
    const std::vector<std::size_t> offsets = StructureOffsets(project, blockStart);
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::vector<const std::string*> kinds;
        if (i < 12 || i + 12 >= offsets.size())
            kinds = {&zeros, &ones};
        else if (i % 30 == 0)
            kinds = {(i / 30) % 2 == 0 ? &zeros : &ones};
        for (const std::string* broken : kinds) {
            if (project.compare(offsets[i], 2, *broken) == 0)
                continue;
            std::string bytes = project;
            bytes.replace(offsets[i], 2, *broken);
            damages.push_back({(broken == &zeros ? "0000 at " : "FFFF at ") + std::to_string(offsets[i]), bytes});
        }
    }
    return damages;
}

TEST(BatchRepairTest, ADamagedMailListIsRepairedByOneRunForGood)
{
    TempDir dir;
    const fs::path clean = dir.path() / "clean";
    fs::copy(fs::path(EXAMPLES_DIR) / "sample", clean, fs::copy_options::recursive);
    const RunOutput conversion = RunBatchTool(clean, "-q sample.plp");
    ASSERT_EQ(conversion.status, 0) << conversion.err;
    const std::string project = ReadFile((clean / "sample.plp").string());
    const std::map<std::string, std::string> site = SiteFiles(clean / "site");
    ASSERT_GT(site.size(), 43u);

    const std::vector<Damage> damages = Damages(project);
    ASSERT_GT(damages.size(), 50u);
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const fs::path work = dir.path() / "work";
        fs::remove_all(work);
        fs::copy(clean, work, fs::copy_options::recursive);
        const fs::path plp = work / "sample.plp";
        WriteFile(plp.string(), damage.bytes);

        const RunOutput repair = RunBatchTool(work, "-q sample.plp");
        EXPECT_NE(repair.err.find("the mail list of the project file is damaged"), std::string::npos) << repair.err;
        ASSERT_TRUE(fs::exists(plp.string() + ".bak")) << repair.err;
        EXPECT_EQ(ReadFile(plp.string() + ".bak"), damage.bytes);

        const RunOutput next = RunBatchTool(work, "-q sample.plp");
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_NE(next.err.find("43 mails read (0 new)"), std::string::npos) << next.err;
        EXPECT_TRUE(SiteFiles(work / "site") == site);
    }
}

}  // namespace
}  // namespace postloom::test
