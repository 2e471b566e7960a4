#pragma once

// Synthetic mail archives for the benchmarks: a mailing list's folder as the
// outside mail client keeps it, one CP932 file with CR LF line ends per mail.

#include "core/project/project_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace postloom::bench {

struct CorpusOptions {
    std::size_t mailCount = 1000;
    std::uint32_t seed = 1;
    // The share of mails written as today's mail programs send them: subject
    // and sender as encoded words, a base64 UTF-8 body, and one in ten of
    // them with a small attachment. The other mails are the old clients'
    // Shift-JIS text. 0 gives the same archive as before this option.
    double mimeShare = 0;
    // Bodies of sentences drawn from a vocabulary of thousands of Japanese
    // words, with about as many different character pairs as real mail has
    // (what a search index is measured on), instead of the few fixed lines.
    // false gives the same archive as before this option.
    bool variedJapanese = false;
};

struct CorpusMail {
    std::string fileName;  // 00001.alm, 00002.alm, ...
    std::string bytes;     // the whole file, 1 to 4 KB
};

// The mails in arrival order. Threads of varied depth (Message-Id,
// In-Reply-To, References); dates rise with arrival but with senders' clocks
// a little off, so the order is nearly but not quite by date; some replies
// answer mails that are not in the archive, some mails lack a Message-Id or
// an In-Reply-To header. The same options always give the same archive.
std::vector<CorpusMail> GenerateCorpus(const CorpusOptions& options);

// Writes the mails into folder (created when missing). False when a file
// could not be written.
bool WriteCorpus(const std::string& folder, const std::vector<CorpusMail>& mails);

// Saves a project without mails at projectFile for an archive in the folder
// "mail" beside it, set up like the sample's: the index in site/index.html,
// the pages in site/pages (both folders are created), captions with date and
// sender, link bars on, tree graphics off.
// mimeDecode turns the project's MIME decoding on.
SaveResult WriteCorpusProject(const std::string& projectFile, bool mimeDecode = false, bool modernPages = false);

}  // namespace postloom::bench
