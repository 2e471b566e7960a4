// Writes the search index of tests/search/search_corpus.json in two runs
// (the second adds, changes and removes mails), with generated mails enough
// for several shards and blocks, and the mails of the second run as
// mails.json for the browser code's tests to scan.
//   write_search_fixture <corpus.json> <output folder>

#include "core/search/search_index_writer.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using postloom::search::SearchEntry;
using postloom::search::SearchMail;

struct Mail {
    SearchEntry entry;
    SearchMail mail;
};

// Text of kana and common kanji from a fixed seed, the same on every run.
std::string Generated(std::uint32_t& seed, int characters)
{
    static const std::u32string kAlphabet =
        U"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
        U"日本東京大阪会議新線学校社員電話時間週月年今後前中外内手気分地方国人生活仕事場所問題説明資料確認";
    std::string out;
    for (int i = 0; i < characters; ++i) {
        seed = seed * 1103515245u + 12345u;
        const char32_t c = kAlphabet[(seed >> 8) % kAlphabet.size()];
        // UTF-8 of a BMP character.
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
        if ((seed >> 20) % 23 == 0) {
            out += '\n';
        }
    }
    return out;
}

std::vector<Mail> Corpus(const nlohmann::json& corpus, int run)
{
    std::vector<Mail> mails;
    for (const auto& m : corpus.at("mails")) {
        if (m.at("run").get<int>() > run || (run == 2 && m.value("removedInRun2", false))) {
            continue;
        }
        const bool changed = run == 2 && m.contains("bodyInRun2");
        const std::string key = m.at("key");
        mails.push_back({{key, changed ? "2" : "1", m.at("sortKey").get<std::int64_t>()},
                         {key + ".html", m.at("subject"), m.at("sender"), m.at("date"),
                          changed ? m.at("bodyInRun2") : m.at("body")}});
    }
    std::uint32_t seed = 7;
    for (int i = 0; i < 400; ++i) {
        const std::string key = "g" + std::to_string(1000 + i);
        mails.push_back({{key, "1", 1500000000 + i * 60},
                         {key + ".html", Generated(seed, 8), "生成", "2017/07/14", Generated(seed, 300)}});
    }
    return mails;
}

bool Write(const std::string& folder, const std::vector<Mail>& mails)
{
    std::vector<SearchEntry> entries;
    for (const Mail& m : mails) {
        entries.push_back(m.entry);
    }
    const auto run = postloom::search::WriteSearchIndex(folder, entries, [&](std::size_t i) { return mails[i].mail; });
    for (const auto& problem : run.problems) {
        std::cerr << problem.path << ": " << problem.reason << "\n";
    }
    return run.Ok();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: write_search_fixture <corpus.json> <output folder>\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    const auto corpus = nlohmann::json::parse(in);
    const std::string out = argv[2];
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    if (!Write(out + "/search", Corpus(corpus, 1)) || !Write(out + "/search", Corpus(corpus, 2))) {
        return 1;
    }
    nlohmann::json live = nlohmann::json::array();
    for (const Mail& m : Corpus(corpus, 2)) {
        live.push_back({{"url", m.mail.pageUrl}, {"subject", m.mail.subject}, {"sender", m.mail.sender},
                        {"date", m.mail.date}, {"sortKey", m.entry.sortKey}, {"body", m.mail.body}});
    }
    std::ofstream(out + "/mails.json") << live.dump(1);
    return 0;
}
