#pragma once

// One segment of the search index: a folder of scripts for a set of mails,
// numbered 0.. newest first.
//   t<k>.js  terms hashed into shards: { term: PostingsText(numbers) }
//   m<b>.js  the mail table in blocks: [page URL, subject, sender, date, sort key]
//   x<b>.js  the folded texts in blocks (subject, sender and body joined by
//            LF), as a JSON array in UTF-16LE compressed with raw DEFLATE,
//            in base64
// Each script hands its data to PostloomSearch.shard / .mails / .texts with
// the segment's id and its own number.

#include "core/platform/file_problem.h"
#include "core/search/search_mail.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace postloom::search {

inline constexpr std::uint32_t kMailsPerBlock = 256;
inline constexpr std::uint32_t kTextsPerBlock = 32;
// The size a shard aims at: a query loads one shard per term.
inline constexpr std::uint64_t kShardTargetBytes = 32 * 1024;

// FNV-1a of the term's UTF-8 bytes: the term's shard is this modulo the
// number of shards.
std::uint32_t TermHash(std::string_view utf8);

struct WrittenSegment {
    std::uint32_t mails = 0;
    std::uint32_t shards = 0;
    std::uint64_t bytes = 0;
    std::vector<platform::FileProblem> problems;
};

class SegmentWriter {
public:
    // folder: the segment's folder (CP932), made by the caller.
    SegmentWriter(std::string folder, std::string id);

    // Mails come newest first; each takes the next number.
    void Add(const SearchMail& mail, std::int64_t sortKey);
    // Writes what is left and the shards.
    WrittenSegment Finish();

private:
    struct Postings {
        std::string coded;
        std::int64_t last = -1;
    };

    void FlushMailBlock();
    void FlushTextBlock();
    void WriteScript(std::string_view name, std::string_view content);

    std::string folder_;
    std::string id_;
    std::uint32_t count_ = 0;
    std::unordered_map<std::string, Postings> terms_;
    std::string mailBlock_;
    std::string textBlock_;
    WrittenSegment written_;
};

}  // namespace postloom::search
