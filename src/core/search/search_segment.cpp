#include "core/search/search_segment.h"

#include "core/platform/output_file.h"
#include "core/platform/raw_deflate.h"
#include "core/search/script_encoding.h"
#include "core/search/search_text.h"
#include "core/search/search_tokens.h"
#include "core/text/utf32.h"

#include <algorithm>
#include <utility>

namespace postloom::search {

namespace {

// The text kept for the exact check and the terms, from one part of a mail
// (subject, sender, body): parts are folded apart so that no term spans two.
void AddPart(std::string_view utf8, std::string& kept, std::vector<std::string>& terms)
{
    const std::u32string folded = FoldForSearch(text::Utf8ToUtf32(utf8));
    for (std::string& term : IndexTerms(folded)) {
        terms.push_back(std::move(term));
    }
    kept += text::Utf32ToUtf8(folded);
}

void AppendNumber(std::int64_t n, std::string& out) { out += std::to_string(n); }

}  // namespace

std::uint32_t TermHash(std::string_view utf8)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : utf8) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

SegmentWriter::SegmentWriter(std::string folder, std::string id)
    : folder_(std::move(folder)), id_(std::move(id))
{
}

void SegmentWriter::Add(const SearchMail& mail, std::int64_t sortKey)
{
    const std::uint32_t number = count_++;

    std::string kept;
    std::vector<std::string> terms;
    AddPart(mail.subject, kept, terms);
    kept += '\n';
    AddPart(mail.sender, kept, terms);
    kept += '\n';
    AddPart(mail.body, kept, terms);
    for (std::string& term : terms) {
        Postings& postings = terms_[std::move(term)];
        if (postings.last != number) {  // once a mail
            AppendDelta(number, postings.last, postings.coded);
        }
    }

    mailBlock_ += mailBlock_.empty() ? "[" : ",";
    mailBlock_ += '[';
    AppendStringLiteral(mail.pageUrl, mailBlock_);
    mailBlock_ += ',';
    AppendStringLiteral(mail.subject, mailBlock_);
    mailBlock_ += ',';
    AppendStringLiteral(mail.sender, mailBlock_);
    mailBlock_ += ',';
    AppendStringLiteral(mail.date, mailBlock_);
    mailBlock_ += ',';
    AppendNumber(sortKey, mailBlock_);
    mailBlock_ += ']';
    if (count_ % kMailsPerBlock == 0) {
        FlushMailBlock();
    }

    textBlock_ += textBlock_.empty() ? "[" : ",";
    AppendStringLiteral(kept, textBlock_);
    if (count_ % kTextsPerBlock == 0) {
        FlushTextBlock();
    }
}

void SegmentWriter::FlushMailBlock()
{
    if (mailBlock_.empty()) {
        return;
    }
    const std::uint32_t block = (count_ - 1) / kMailsPerBlock;
    std::string script = "PostloomSearch.mails(\"" + id_ + "\"," + std::to_string(block) + ",";
    script += mailBlock_;
    script += "]);\n";
    mailBlock_.clear();
    WriteScript("m" + std::to_string(block) + ".js", script);
}

void SegmentWriter::FlushTextBlock()
{
    if (textBlock_.empty()) {
        return;
    }
    textBlock_ += ']';
    const std::uint32_t block = (count_ - 1) / kTextsPerBlock;
    std::string script = "PostloomSearch.texts(\"" + id_ + "\"," + std::to_string(block) + ",\"";
    // UTF-16 compresses Japanese better than UTF-8 (a tenth smaller).
    script += Base64(platform::RawDeflate(text::Utf32ToUtf16Le(text::Utf8ToUtf32(textBlock_))));
    script += "\");\n";
    textBlock_.clear();
    WriteScript("x" + std::to_string(block) + ".js", script);
}

WrittenSegment SegmentWriter::Finish()
{
    FlushMailBlock();
    FlushTextBlock();

    // Each entry costs its term, its postings and the quotes.
    std::vector<std::pair<std::string_view, std::string>> entries;
    entries.reserve(terms_.size());
    std::uint64_t estimate = 0;
    for (const auto& [term, postings] : terms_) {
        entries.emplace_back(term, PostingsText(postings.coded, static_cast<std::uint32_t>(postings.last)));
        estimate += term.size() + entries.back().second.size() + 6;
    }
    const auto shards = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(1, (estimate + kShardTargetBytes - 1) / kShardTargetBytes));

    std::sort(entries.begin(), entries.end());
    std::vector<std::string> scripts(shards);
    for (const auto& [term, postings] : entries) {
        std::string& script = scripts[TermHash(term) % shards];
        script += script.empty() ? "{" : ",";
        AppendStringLiteral(term, script);
        script += ":\"";
        script += postings;
        script += '"';
    }
    for (std::uint32_t k = 0; k < shards; ++k) {
        std::string script = "PostloomSearch.shard(\"" + id_ + "\"," + std::to_string(k) + ",";
        script += scripts[k].empty() ? "{" : scripts[k];
        script += "});\n";
        WriteScript("t" + std::to_string(k) + ".js", script);
    }
    terms_.clear();

    written_.mails = count_;
    written_.shards = shards;
    return std::move(written_);
}

void SegmentWriter::WriteScript(std::string_view name, std::string_view content)
{
    const std::string path = folder_ + "/" + std::string(name);
    platform::OutputFile file(path, platform::OutputFile::Mode::Binary, platform::OutputFile::Target::Absent);
    file.Write(content);
    if (file.Commit() == platform::OutputFile::Outcome::Failed) {
        written_.problems.push_back({path, file.Error()});
        return;
    }
    written_.bytes += content.size();
}

}  // namespace postloom::search
