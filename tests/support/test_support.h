#pragma once

#include "core/platform/file_problem.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::test {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of name inside the folder, as a byte string.
    std::string File(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// Writes bytes to a file exactly as given (binary).
void WriteFile(const std::string& path, std::string_view bytes);
// The bytes of a file; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);

// CP932 bytes of a UTF-8 literal, so tests can be written readably.
std::string Sjis(std::string_view utf8);

// The names in a folder, sorted.
std::vector<std::string> Names(const std::filesystem::path& folder);

// Every LF preceded by a CR: text as the program writes it in text mode.
std::string Crlf(std::string_view text);

}  // namespace postloom::test

namespace postloom::platform {

// Readable failure messages for results that list files.
inline void PrintTo(const FileProblem& problem, std::ostream* out)
{
    *out << '{' << problem.path << ": " << problem.reason << '}';
}

}  // namespace postloom::platform
