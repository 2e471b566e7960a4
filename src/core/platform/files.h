#pragma once

// Files opened by CP932 path. Reading in text mode is done by hand and is the
// same everywhere: CR LF reads as LF, a lone CR stays, a 0x1A byte ends the
// file. Writing in text mode turns every LF into CR LF. A path that holds a
// NUL byte opens and creates nothing (errno EINVAL).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace postloom::platform {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Why a file could not be opened or read.
struct FileError {
    int code = 0;           // errno of the call that failed; 0 with notAFile
    bool notAFile = false;  // a folder or a special file stands where a file is wanted
    bool operator==(const FileError&) const = default;
};

// The reason as a message gives it (CP932): the system's text for code,
// or "is a folder or a special file".
std::string ReasonText(const FileError& error);

// Owns an open file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    // Closes now, for the error that a close can report (a delayed write).
    int close() { return ::close(release()); }

private:
    int fd_;
};

// An existing regular file open for reading, and its size at the opening.
struct ReadableFile {
    FileDescriptor fd;
    std::uint64_t size = 0;
};

// Opens an existing file for reading; never a directory or a special file
// that could block (a FIFO). nullopt when it cannot be opened, and error
// tells why. A name whose converted path does not exist is tried by its own
// bytes as well (see file_system.h).
std::optional<ReadableFile> OpenReadable(std::string_view cp932Path, FileError& error);

// Takes over fd, just opened for reading, when it is a regular file;
// otherwise closes it, and error tells why.
std::optional<ReadableFile> AdoptReadable(int fd, FileError& error);

// The same as a stdio stream.
FileHandle OpenForReading(std::string_view cp932Path, FileError& error);
FileHandle OpenForReading(std::string_view cp932Path);

// Creates or empties a file for writing. nullptr when that fails.
FileHandle CreateForWriting(std::string_view cp932Path);

// write(2) until every byte is out; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// One pread(2) of up to size bytes at offset, again when a signal cut it
// short: the bytes read, 0 at the end of the file, -1 with errno set.
ssize_t ReadAt(int fd, std::uint64_t offset, char* data, std::size_t size);
// ReadAt until size bytes are in data; false with errno set on an error,
// EIO at an early end of the file.
bool ReadExactly(int fd, std::uint64_t offset, char* data, std::size_t size);

// The whole file as bytes; nullopt when it cannot be opened or read, and
// error tells why.
std::optional<std::string> ReadWholeFile(std::string_view cp932Path, FileError& error);
std::optional<std::string> ReadWholeFile(std::string_view cp932Path);
// What is left to read of an open file, usually in one read.
std::optional<std::string> ReadRest(const ReadableFile& file, FileError& error);

// Reads a file in text mode, line by line or byte by byte.
class TextReader {
public:
    explicit TextReader(ReadableFile file);
    static std::optional<TextReader> Open(std::string_view cp932Path, FileError& error);
    static std::optional<TextReader> Open(std::string_view cp932Path);

    // The next piece of the current line, without its line end: at most
    // maxBytes bytes (at least 1), so that a line of any length is read
    // without being held whole. lineEnded tells whether the piece is the
    // last of its line (a line end or the end of the file follows it). False
    // at the end of the file (or at a read error) when no line was left.
    bool ReadLinePiece(std::string& piece, std::size_t maxBytes, bool& lineEnded);

    // Up to n of the file's first bytes as they stand, before any text-mode
    // translation; only before anything else was read.
    std::string_view PeekStart(std::size_t n);

    // The next byte after the text-mode translation, or EOF.
    int Get();

    // True when reading stopped because of a read error, not the end.
    bool Failed() const { return failed_; }

private:
    int NextRawByte();
    bool Fill();

    FileDescriptor fd_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    bool inLine_ = false;  // a piece of the current line was given out
};

// Writes a file, either as given (binary) or turning LF into CR LF (text).
// Close() tells whether every byte reached the file.
class FileWriter {
public:
    enum class Mode { Binary, Text };

    FileWriter(FileHandle file, Mode mode);
    static std::optional<FileWriter> Create(std::string_view cp932Path, Mode mode);

    void Write(std::string_view bytes);
    FileWriter& operator<<(std::string_view bytes)
    {
        Write(bytes);
        return *this;
    }
    bool Ok() const { return ok_; }
    // Flushes and closes; false when anything failed.
    bool Close();

private:
    FileHandle file_;
    Mode mode_;
    bool ok_ = true;
};

}  // namespace postloom::platform
