// The path operations of both separator styles: lexical full paths,
// relative paths, URL forms and folder creation.

#include "core/html/output_paths.h"

#include "core/platform/file_system.h"
#include "core/text/cp932.h"

#include <vector>

namespace postloom {

namespace {

constexpr bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Where the next separator at or after from lies. Posix: every "/" byte,
// because the operating system splits there whatever byte stands before it
// ("/" is never the trail byte of a valid character). Windows: "\" outside
// double-byte characters, whose trail byte may be 0x5C.
std::size_t FindSeparator(std::string_view path, std::size_t from, PathStyle style)
{
    if (style == PathStyle::Posix)
        return path.find('/', from);
    return text::FindChar(path, '\\', from);
}

std::size_t FindLastSeparator(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Posix)
        return path.rfind('/');
    return text::FindLastChar(path, '\\');
}

// The non-empty pieces between separators.
void AppendComponents(std::string_view path, PathStyle style, std::vector<std::string_view>& out)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = FindSeparator(path, start, style);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            out.push_back(path.substr(start, end - start));
        start = end + 1;
    }
}

// An absolute path split into its root prefix ("C:" for Windows, empty for
// Posix) and its components.
struct SplitPath {
    std::string_view root;
    std::vector<std::string_view> components;
};

SplitPath SplitAbsolute(std::string_view absolute, PathStyle style)
{
    SplitPath split;
    if (style == PathStyle::Windows && IsAbsolutePath(absolute, style)) {
        split.root = absolute.substr(0, 2);
        absolute.remove_prefix(2);
    }
    AppendComponents(absolute, style, split.components);
    return split;
}

// A-Z compare without case, double-byte characters exactly (a trail byte
// that happens to be a letter is part of another character).
bool WindowsNamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t length = text::CharLength(a, i);
        if (length != text::CharLength(b, i))
            return false;
        if (length == 2) {
            if (a.substr(i, 2) != b.substr(i, 2))
                return false;
        } else if (!text::EqualsIgnoreCase(a.substr(i, 1), b.substr(i, 1))) {
            return false;
        }
        i += length;
    }
    return true;
}

bool ComponentsEqual(std::string_view a, std::string_view b, PathStyle style)
{
    return style == PathStyle::Windows ? WindowsNamesEqual(a, b) : a == b;
}

// Every folder from the outermost down to path itself, which must be
// absolute and lexically full.
std::vector<std::string> FolderChain(std::string_view fullPath, PathStyle style)
{
    const SplitPath split = SplitAbsolute(fullPath, style);
    std::vector<std::string> chain;
    std::string folder(split.root);
    for (const std::string_view component : split.components) {
        folder += Separator(style);
        folder += component;
        chain.push_back(folder);
    }
    return chain;
}

}  // namespace

char Separator(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}

bool IsAbsolutePath(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Windows)
        return path.size() >= 2 && path[1] == ':';
    return !path.empty() && path.front() == '/';
}

std::string FullPath(std::string_view path, std::string_view base, PathStyle style)
{
    const char separator = Separator(style);
    SplitPath split;
    if (IsAbsolutePath(path, style)) {
        split = SplitAbsolute(path, style);
    } else {
        split = SplitAbsolute(base, style);
        // "\x" on Windows starts from the root of the base's drive.
        if (style == PathStyle::Windows && !path.empty() && path.front() == separator)
            split.components.clear();
        AppendComponents(path, style, split.components);
    }
    std::vector<std::string_view> resolved;
    for (const std::string_view component : split.components) {
        if (component == ".")
            continue;
        if (component == "..") {
            if (!resolved.empty())
                resolved.pop_back();
            continue;
        }
        resolved.push_back(component);
    }
    std::string full(split.root);
    if (resolved.empty())
        full += separator;
    for (const std::string_view component : resolved) {
        full += separator;
        full += component;
    }
    return full;
}

std::optional<std::string> RelativePath(std::string_view base, std::string_view target, std::string_view currentFolder,
                                        PathStyle style)
{
    const std::string fullBase = FullPath(base, currentFolder, style);
    const std::string fullTarget = FullPath(target, fullBase, style);
    const SplitPath from = SplitAbsolute(fullBase, style);
    const SplitPath to = SplitAbsolute(fullTarget, style);
    if (!text::EqualsIgnoreCase(from.root, to.root))
        return std::nullopt;
    std::size_t common = 0;
    while (common < from.components.size() && common < to.components.size() &&
           ComponentsEqual(from.components[common], to.components[common], style))
        ++common;
    std::string relative;
    for (std::size_t i = common; i < from.components.size(); ++i) {
        relative += "..";
        relative += Separator(style);
    }
    for (std::size_t i = common; i < to.components.size(); ++i) {
        if (i > common)
            relative += Separator(style);
        relative += to.components[i];
    }
    return relative;
}

std::string ToUrlSeparators(std::string_view text, PathStyle style)
{
    std::string url(text);
    if (style == PathStyle::Windows) {
        for (std::size_t i = 0; i < url.size(); i += text::CharLength(url, i)) {
            if (url[i] == '\\')
                url[i] = '/';
        }
    }
    return url;
}

std::string EncodeUrl(std::string_view url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    // A single-byte backslash is an ordinary character of a Linux name; a browser
    // would take it for a separator. Windows paths have none left here.
    static constexpr std::string_view kReserved = "\"'<>&`=%#?\\";
    std::string encoded;
    encoded.reserve(url.size());
    for (std::size_t i = 0; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        // Only a lead byte with a valid trail byte makes a character of two
        // bytes; otherwise the next byte is judged on its own, as a browser
        // does, and so a quote after a stray lead byte is still encoded.
        if (text::IsLeadByte(c) && i + 1 < url.size() && IsTrailByte(static_cast<unsigned char>(url[i + 1]))) {
            encoded += url.substr(i, 2);
            ++i;
            continue;
        }
        if (c < 0x21 || c == 0x7F || kReserved.find(static_cast<char>(c)) != std::string_view::npos) {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return encoded;
}

bool CreateFolderPath(std::string_view path, std::string_view projectFolder, PathStyle style)
{
    for (const std::string& folder : FolderChain(FullPath(path, projectFolder, style), style)) {
        if (!platform::IsDirectory(folder) && !platform::MakeDirectory(folder))
            return false;
    }
    return true;
}

bool IsUsableFileName(std::string_view name, PathStyle style)
{
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string_view::npos)
        return false;
    if (style == PathStyle::Windows && name.find('/') != std::string_view::npos)
        return false;
    return FindSeparator(name, 0, style) == std::string_view::npos;
}

std::string FileNamePart(std::string_view path, PathStyle style)
{
    const std::size_t separator = FindLastSeparator(path, style);
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style)
{
    if (folder.empty())
        return std::string(name);
    std::string joined(folder);
    if (FindLastSeparator(joined, style) != joined.size() - 1)
        joined += Separator(style);
    joined += name;
    return joined;
}

}  // namespace postloom
