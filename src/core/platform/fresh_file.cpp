#include "core/platform/fresh_file.h"

#include "core/platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>

namespace postloom::platform {

namespace {

// Anonymous files are linked into place through /proc, which a container
// may lack; without it every new file gets a temporary name instead.
bool AnonymousFilesUsable()
{
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

}  // namespace

std::string TemporaryName(const std::string& nativeFolder)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = nativeFolder + "/" + std::string(kOutputTemporaryPrefix);
    for (std::uint64_t bits = random(), k = 0; k < kTemporaryNameDigits; ++k, bits >>= 4)
        name.push_back(kHex[bits & 15]);
    return name;
}

bool IsTemporaryName(std::string_view name)
{
    if (name.size() != kOutputTemporaryPrefix.size() + kTemporaryNameDigits || !name.starts_with(kOutputTemporaryPrefix))
        return false;
    name.remove_prefix(kOutputTemporaryPrefix.size());
    return std::ranges::all_of(name, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

FreshFile OpenFreshFile(const std::string& nativeFolder)
{
    FreshFile file;
    if (AnonymousFilesUsable()) {
        file.fd = ::open(nativeFolder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (file.fd >= 0) {
            file.anonymous = true;
            return file;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            file.error = errno;
            return file;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(nativeFolder);
        file.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd >= 0) {
            file.temporary = std::move(name);
            return file;
        }
        if (errno != EEXIST) {
            file.error = errno;
            return file;
        }
    }
    file.error = EEXIST;
    return file;
}

bool LinkAnonymous(int fd, const std::string& nativePath)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, nativePath.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace postloom::platform
