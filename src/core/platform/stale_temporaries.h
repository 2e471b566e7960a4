#pragma once

// What a run killed while writing leaves where anonymous files are not
// available (NFS, CIFS, vfat, no /proc): its new files under their hidden
// temporary names (see TemporaryName). No later write ever takes them up,
// so a run that wrote a folder to its end removes them there.

#include <chrono>
#include <cstddef>
#include <string_view>

namespace postloom::platform {

// Removes from the folder at cp932Folder the regular files whose names have
// exactly the shape of the program's temporary names and that were last
// modified before runStart (with a margin for file times that lag behind
// the clock), so that a file another run is still writing stays. Symbolic
// links are never followed and never removed; nothing else is touched.
// Returns how many files went; a folder that cannot be read removes none.
std::size_t RemoveStaleTemporaries(std::string_view cp932Folder, std::chrono::system_clock::time_point runStart);

// The same in cp932Folder and in each folder inside it whose name ends in
// suffix, from one listing of cp932Folder (a page folder holds a file per
// mail); a symbolic link to a folder is not entered.
std::size_t RemoveStaleTemporariesWithSubfolders(std::string_view cp932Folder, std::string_view suffix,
                                                 std::chrono::system_clock::time_point runStart);

}  // namespace postloom::platform
