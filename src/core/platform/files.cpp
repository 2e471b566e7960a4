#include "core/platform/files.h"

#include "core/platform/file_system.h"
#include "core/platform/native_path.h"
#include "core/text/codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace postloom::platform {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr int kEndOfFileMark = 0x1A;
}  // namespace

std::string ReasonText(const FileError& error)
{
    if (error.notAFile)
        return "is a folder or a special file";
    // The system's text follows the locale; every text here is CP932. Unlike
    // strerror, this is safe on the worker threads.
    return text::Utf8ToCp932(std::generic_category().message(error.code));
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

std::optional<ReadableFile> OpenReadable(std::string_view cp932Path, FileError& error)
{
    error = {};
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below,
    // and on a regular file the flag changes nothing.
    int fd = -1;
    const auto openFile = [&](const char* native) {
        fd = ::open(native, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0;
    };
    if (!detail::OnExistingPath(cp932Path, openFile)) {
        error.code = errno;
        return std::nullopt;
    }
    return AdoptReadable(fd, error);
}

std::optional<ReadableFile> AdoptReadable(int fd, FileError& error)
{
    ReadableFile file{FileDescriptor(fd)};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error.code = errno;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error.notAFile = true;
        return std::nullopt;
    }
    file.size = static_cast<std::uint64_t>(st.st_size);
    return file;
}

FileHandle OpenForReading(std::string_view cp932Path, FileError& error)
{
    std::optional<ReadableFile> file = OpenReadable(cp932Path, error);
    if (!file)
        return nullptr;
    std::FILE* f = ::fdopen(file->fd.get(), "rb");
    if (!f) {
        error.code = errno;
        return nullptr;
    }
    file->fd.release();
    return FileHandle(f);
}

FileHandle OpenForReading(std::string_view cp932Path)
{
    FileError ignored;
    return OpenForReading(cp932Path, ignored);
}

FileHandle CreateForWriting(std::string_view cp932Path)
{
    // fopen refuses a directory by itself (EISDIR).
    if (cp932Path.empty() || !detail::Passable(cp932Path))
        return nullptr;
    return FileHandle(std::fopen(NativePath(cp932Path).c_str(), "wb"));
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

ssize_t ReadAt(int fd, std::uint64_t offset, char* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool ReadExactly(int fd, std::uint64_t offset, char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ReadAt(fd, offset, data, size);
        if (n <= 0) {
            // A file cut shorter while it is read ends like a read error.
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::optional<std::string> ReadWholeFile(std::string_view cp932Path, FileError& error)
{
    const std::optional<ReadableFile> file = OpenReadable(cp932Path, error);
    if (!file)
        return std::nullopt;
    return ReadRest(*file, error);
}

std::optional<std::string> ReadRest(const ReadableFile& file, FileError& error)
{
    // Straight from the descriptor in pieces of the file's size, where
    // stdio would add its own buffer and calls.
    const int fd = file.fd.get();
    const std::size_t piece = file.size > 0 ? static_cast<std::size_t>(file.size) + 1 : kBufferSize;
    std::string data;
    for (;;) {
        const std::size_t used = data.size();
        data.resize(used + piece);
        const ssize_t n = ::read(fd, data.data() + used, piece);
        if (n < 0 && errno == EINTR) {
            data.resize(used);
            continue;
        }
        if (n < 0) {
            error.code = errno;
            return std::nullopt;
        }
        data.resize(used + static_cast<std::size_t>(n));
        // A short read that brings the file to its size is its end.
        if (n == 0 || (static_cast<std::size_t>(n) < piece && data.size() == file.size))
            return data;
    }
}

std::optional<std::string> ReadWholeFile(std::string_view cp932Path)
{
    FileError ignored;
    return ReadWholeFile(cp932Path, ignored);
}

// A buffer of the file's size (plus the byte that shows its end) is read
// in one call and costs no more memory than the file.
TextReader::TextReader(ReadableFile file)
    : fd_(std::move(file.fd)),
      buffer_(static_cast<std::size_t>(std::min<std::uint64_t>(file.size + 1, kBufferSize)))
{
}

std::optional<TextReader> TextReader::Open(std::string_view cp932Path, FileError& error)
{
    std::optional<ReadableFile> file = OpenReadable(cp932Path, error);
    if (!file)
        return std::nullopt;
    return TextReader(std::move(*file));
}

std::optional<TextReader> TextReader::Open(std::string_view cp932Path)
{
    FileError ignored;
    return Open(cp932Path, ignored);
}

bool TextReader::Fill()
{
    if (ended_)
        return false;
    // Straight from the descriptor: the reader buffers by itself, and stdio
    // would add a buffer of its own (and a stat call to size it) per file.
    ssize_t n = 0;
    do {
        n = ::read(fd_.get(), buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    pos_ = 0;
    size_ = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (n <= 0) {
        ended_ = true;
        failed_ = n < 0;
        return false;
    }
    return true;
}

int TextReader::NextRawByte()
{
    if (pos_ >= size_ && !Fill())
        return EOF;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int TextReader::Get()
{
    int c = NextRawByte();
    if (c == kEndOfFileMark) {
        ended_ = true;
        size_ = pos_ = 0;
        return EOF;
    }
    if (c == '\r') {
        const int next = NextRawByte();
        if (next == '\n')
            return '\n';
        if (next != EOF)
            --pos_;  // the byte after a lone CR is read again
    }
    return c;
}

bool TextReader::ReadLinePiece(std::string& piece, std::size_t maxBytes, bool& lineEnded)
{
    piece.clear();
    lineEnded = false;
    maxBytes = std::max<std::size_t>(maxBytes, 1);
    for (;;) {
        // Fast path: copy a run of plain bytes straight out of the buffer.
        std::size_t end = pos_;
        const std::size_t limit = std::min(size_, pos_ + (maxBytes - piece.size()));
        while (end < limit) {
            const char c = buffer_[end];
            if (c == '\n' || c == '\r' || c == static_cast<char>(kEndOfFileMark))
                break;
            ++end;
        }
        piece.append(buffer_.data() + pos_, end - pos_);
        pos_ = end;
        if (piece.size() >= maxBytes) {
            inLine_ = true;
            return true;
        }
        if (pos_ < size_ || Fill()) {
            const char c = buffer_[pos_];
            if (c != '\n' && c != '\r' && c != static_cast<char>(kEndOfFileMark))
                continue;
        }
        const int c = Get();
        if (c == EOF || c == '\n') {
            lineEnded = true;
            const bool any = inLine_ || !piece.empty() || c == '\n';
            inLine_ = false;
            return any;
        }
        piece.push_back(static_cast<char>(c));
    }
}

std::string_view TextReader::PeekStart(std::size_t n)
{
    if (pos_ == 0 && size_ == 0)
        Fill();
    return pos_ == 0 ? std::string_view(buffer_.data(), std::min(n, size_)) : std::string_view{};
}

FileWriter::FileWriter(FileHandle file, Mode mode) : file_(std::move(file)), mode_(mode) {}

std::optional<FileWriter> FileWriter::Create(std::string_view cp932Path, Mode mode)
{
    FileHandle f = CreateForWriting(cp932Path);
    if (!f)
        return std::nullopt;
    return FileWriter(std::move(f), mode);
}

void FileWriter::Write(std::string_view bytes)
{
    if (!file_ || !ok_)
        return;
    if (mode_ == Mode::Binary) {
        ok_ = std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
        return;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        if (end > start && std::fwrite(bytes.data() + start, 1, end - start, file_.get()) != end - start) {
            ok_ = false;
            return;
        }
        if (lf == std::string_view::npos)
            break;
        if (std::fwrite("\r\n", 1, 2, file_.get()) != 2) {
            ok_ = false;
            return;
        }
        start = lf + 1;
    }
}

bool FileWriter::Close()
{
    if (!file_)
        return false;
    if (std::fflush(file_.get()) != 0)
        ok_ = false;
    if (std::fclose(file_.release()) != 0)
        ok_ = false;
    return ok_;
}

}  // namespace postloom::platform
