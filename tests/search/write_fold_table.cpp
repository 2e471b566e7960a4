// Writes the search fold of every code point of the blocks that are folded,
// one line each ("41 61": U+0041 folds to U+0061), so that the browser's
// fold can be compared with this program's over all of them.
//   write_fold_table <output file>

#include "core/search/search_text.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_fold_table <output file>\n");
        return 2;
    }
    std::ofstream out(argv[1]);
    char buffer[16];
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (!postloom::search::IsFoldable(c) || (c >= 0xD800 && c <= 0xDFFF)) {
            continue;
        }
        std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(c));
        std::string line = buffer;
        for (const char32_t f : postloom::search::FoldForSearch(std::u32string(1, c))) {
            std::snprintf(buffer, sizeof buffer, " %X", static_cast<unsigned>(f));
            line += buffer;
        }
        out << line << '\n';
    }
    return out ? 0 : 1;
}
