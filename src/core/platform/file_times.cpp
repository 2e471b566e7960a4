#include "core/platform/file_times.h"

#include "core/platform/native_path.h"

#include <sys/stat.h>

namespace postloom::platform {

std::optional<std::int64_t> ModificationTime(std::string_view cp932Path)
{
    struct stat st {};
    if (!detail::OnExistingPath(cp932Path, [&](const char* native) { return ::stat(native, &st) == 0; }))
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
}

}  // namespace postloom::platform
