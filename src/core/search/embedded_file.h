#pragma once

// Files the program carries in itself (built in by cmake/EmbedFiles.cmake).

#include <span>
#include <string_view>

namespace postloom::search {

struct EmbeddedFile {
    std::string_view name;
    std::string_view bytes;
};

// The browser's search code, written into the search folder with the index.
std::span<const EmbeddedFile> SearchScripts();
// The search page (search.html), which loads them from search/.
std::span<const EmbeddedFile> SearchPages();

}  // namespace postloom::search
