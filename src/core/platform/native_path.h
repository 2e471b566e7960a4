#pragma once

// How a CP932 path reaches the operating system; shared by the file-system
// and file modules and the import's source folders only.

#include "core/text/codec.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

namespace postloom::platform::detail {

// A system call stops at a NUL, so a path holding one would act on another
// file than the one every check looked at. False, with errno EINVAL, for
// such a path.
inline bool Passable(std::string_view path)
{
    if (std::memchr(path.data(), '\0', path.size()) == nullptr)
        return true;
    errno = EINVAL;
    return false;
}

// Runs attempt (a system call on a native path: true on success, false with
// errno set) on an existing file named by a CP932 path. Folders unpacked from
// a Windows archive hold names whose bytes on disk are CP932, not UTF-8, so
// only when the converted path does not exist are the converted folder with
// the name's own bytes and then the path's own bytes tried; an ASCII path
// or a converted path that works costs one call. After a failure errno
// tells the first reason other than "does not exist", if any.
template <class Attempt>
bool OnExistingPath(std::string_view cp932Path, Attempt&& attempt)
{
    if (cp932Path.empty()) {
        errno = ENOENT;
        return false;
    }
    if (!Passable(cp932Path))
        return false;
    const std::string converted = text::Cp932ToUtf8(cp932Path);
    if (attempt(converted.c_str()))
        return true;
    if (errno != ENOENT)
        return false;
    std::string mixed = converted;
    if (const std::size_t slash = cp932Path.rfind('/'); slash != std::string_view::npos)
        mixed = text::Cp932ToUtf8(cp932Path.substr(0, slash)) + std::string(cp932Path.substr(slash));
    if (mixed != converted) {
        if (attempt(mixed.c_str()))
            return true;
        if (errno != ENOENT)
            return false;
    }
    const std::string raw(cp932Path);
    if (raw == converted || raw == mixed) {
        errno = ENOENT;
        return false;
    }
    return attempt(raw.c_str());
}

}  // namespace postloom::platform::detail
