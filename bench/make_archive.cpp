// Writes a generated archive and a project for it, to time or profile a
// conversion by hand (perf, /usr/bin/time) without a benchmark around it.
//
//   postloom_make_archive FOLDER MAILS [FIRST] [--modern] [--varied]
//
// FOLDER/mail gets mails FIRST+1 .. FIRST+MAILS of the archive the pipeline
// benchmark times (mails already there are left alone), and, when it is not
// there yet, FOLDER/bench.plp a project without mails in the classic page
// style (--modern: the modern one). So a run of postloom-batch, another call
// with FIRST past the mails written, and one more run time a re-run.
// --varied writes the Japanese text the search is measured on.

#include "corpus_generator.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    bool modern = false;
    bool varied = false;
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--modern")
            modern = true;
        else if (arg == "--varied")
            varied = true;
        else
            args.push_back(arg);
    }
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: postloom_make_archive FOLDER MAILS [FIRST] [--modern] [--varied]\n");
        return 2;
    }
    const std::filesystem::path folder(args[0]);
    const std::size_t count = std::strtoul(std::string(args[1]).c_str(), nullptr, 10);
    const std::size_t first = args.size() > 2 ? std::strtoul(std::string(args[2]).c_str(), nullptr, 10) : 0;
    // The same seed as the pipeline benchmark, so the archives are the same.
    const auto mails =
        postloom::bench::GenerateCorpus({.mailCount = first + count, .seed = 7, .variedJapanese = varied});
    if (!postloom::bench::WriteCorpus((folder / "mail").string(), {mails.begin() + first, mails.end()})) {
        std::fprintf(stderr, "cannot write the archive into %s\n", (folder / "mail").c_str());
        return 1;
    }
    const std::filesystem::path project = folder / "bench.plp";
    if (!std::filesystem::exists(project)) {
        const postloom::SaveResult saved = postloom::bench::WriteCorpusProject(project.string(), false, modern);
        if (!saved.ok) {
            std::fprintf(stderr, "cannot write the project: %s\n", saved.error.c_str());
            return 1;
        }
    }
    return 0;
}
