#pragma once

// The file that new content goes into before it is put in place, in the
// target's own folder so that putting it in place is one step: an anonymous
// file (O_TMPFILE) where the file system offers it, else a file under a
// hidden temporary name (kOutputTemporaryPrefix and random letters).

#include <cstddef>
#include <string>
#include <string_view>

namespace postloom::platform {

struct FreshFile {
    int fd = -1;
    bool anonymous = false;  // no name yet: LinkAnonymous gives it one
    std::string temporary;   // its native path when it has a name
    int error = 0;           // errno when fd is -1
};

// Opens a fresh file in nativeFolder for writing.
FreshFile OpenFreshFile(const std::string& nativeFolder);

// A hidden temporary path in nativeFolder that no file had a moment ago:
// kOutputTemporaryPrefix and kTemporaryNameDigits lower-case hex digits.
std::string TemporaryName(const std::string& nativeFolder);
inline constexpr std::size_t kTemporaryNameDigits = 12;

// True when name (a bare name) has exactly the shape TemporaryName gives.
bool IsTemporaryName(std::string_view name);

// Gives the anonymous file open as fd the name nativePath; fails (EEXIST)
// when that name is taken. True on success, else errno is set.
bool LinkAnonymous(int fd, const std::string& nativePath);

}  // namespace postloom::platform
