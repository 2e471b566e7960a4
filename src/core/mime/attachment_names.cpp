#include "core/mime/attachment_names.h"

#include "core/text/codec.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

namespace postloom::mime {

namespace {

// Longest file name the usual Linux file systems take, in bytes of UTF-8.
constexpr std::size_t kMaxNameBytes = 255;
// In a shown name, an ending longer than this is not an extension worth
// keeping when the name is cut ("report.2024 final version" keeps no
// ".2024 final version").
constexpr std::size_t kMaxExtensionBytes = 16;

// Served by the usual servers as a type that a browser shows or hands out
// but never runs. Left out on purpose: everything a browser renders as a
// document (html, htm, xhtml, shtml, mht, svg, svgz, xml, xsl), scripts and
// server pages (js, mjs, php*, phtml, cgi, pl, py, asp, aspx, jsp), plugins
// (swf), Windows hosts (hta, vbs, wsf), and Markdown, which site generators
// turn into HTML with the sender's markup in it.
constexpr std::string_view kPassiveExtensions[] = {
    // text and patches
    "txt", "text", "log", "csv", "tsv", "diff", "patch", "json",
    // documents
    "pdf", "rtf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "odt", "ods", "odp",
    // images
    "png", "jpg", "jpeg", "gif", "webp", "bmp", "tif", "tiff", "ico", "avif", "heic",
    // audio
    "mp3", "wav", "ogg", "oga", "flac", "m4a", "aac", "opus", "mid", "midi", "wma",
    // video
    "mp4", "m4v", "webm", "ogv", "mov", "avi", "mkv", "mpg", "mpeg", "wmv", "3gp",
    // archives
    "zip", "gz", "tgz", "bz2", "xz", "zst", "7z", "rar", "tar", "lzh", "lha", "cab",
    // mail, calendars, cards, signatures and bytes of no known type
    "eml", "ics", "vcf", "asc", "sig", "p7s", "bin",
};

// The extension of a part without a name. Only passive extensions: an HTML
// or XML text is saved as text, SVG and XML of other types as bytes.
std::string_view ExtensionFor(std::string_view contentType)
{
    struct Entry {
        std::string_view type;
        std::string_view extension;
    };
    static constexpr Entry kExtensions[] = {
        {"message/rfc822", ".eml"},
        {"text/plain", ".txt"},
        {"text/html", ".txt"},
        {"text/csv", ".csv"},
        {"text/xml", ".txt"},
        {"text/calendar", ".ics"},
        {"text/vcard", ".vcf"},
        {"text/x-vcard", ".vcf"},
        {"image/png", ".png"},
        {"image/jpeg", ".jpg"},
        {"image/pjpeg", ".jpg"},
        {"image/gif", ".gif"},
        {"image/bmp", ".bmp"},
        {"image/tiff", ".tif"},
        {"image/webp", ".webp"},
        {"audio/mpeg", ".mp3"},
        {"audio/wav", ".wav"},
        {"video/mp4", ".mp4"},
        {"application/pdf", ".pdf"},
        {"application/zip", ".zip"},
        {"application/x-zip-compressed", ".zip"},
        {"application/gzip", ".gz"},
        {"application/x-lzh-compressed", ".lzh"},
        {"application/json", ".json"},
        {"application/rtf", ".rtf"},
        {"application/msword", ".doc"},
        {"application/vnd.ms-excel", ".xls"},
        {"application/vnd.ms-powerpoint", ".ppt"},
        {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", ".docx"},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", ".xlsx"},
        {"application/vnd.openxmlformats-officedocument.presentationml.presentation", ".pptx"},
        {"application/pgp-signature", ".asc"},
        {"application/pkcs7-signature", ".p7s"},
    };
    for (const Entry& entry : kExtensions) {
        if (entry.type == contentType)
            return entry.extension;
    }
    // A multipart nested too deep to open is kept whole, header included: a
    // mail program opens it.
    if (contentType.starts_with("multipart/"))
        return ".eml";
    return ".bin";
}

// The length of the UTF-8 character at the start of s, 0 when s does not
// start with one.
std::size_t Utf8CharLength(std::string_view s)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t length = 0;
    if (lead < 0x80)
        length = 1;
    else if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || length > s.size() || !text::IsValidUtf8(s.substr(0, length)))
        return 0;
    return length;
}

bool IsUnsafeAscii(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
}

// Bytes that are not UTF-8, separators and control characters (C0, DEL,
// C1) become '_'.
std::string ReplaceUnsafeCharacters(std::string_view name)
{
    std::string safe;
    safe.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        const std::size_t length = Utf8CharLength(name.substr(i));
        const bool c1 = length == 2 && static_cast<unsigned char>(name[i]) == 0xC2 &&
                        static_cast<unsigned char>(name[i + 1]) < 0xA0;
        if (length == 0 || c1 || (length == 1 && IsUnsafeAscii(name[i])))
            safe += '_';
        else
            safe += name.substr(i, length);
        i += length == 0 ? 1 : length;
    }
    return safe;
}

// Paths in the system are CP932, so a name must hold only characters CP932
// has; the others become "〓", as in headers. The way through CP932 can
// bring back a '\\' (from U+00A5), hence the second pass.
std::string WithinCp932(const std::string& name)
{
    return ReplaceUnsafeCharacters(text::Cp932ToUtf8(text::Utf8ToCp932(name, text::Unmappable::Geta)));
}

// Cuts s to at most maxBytes without splitting a UTF-8 character.
std::string_view CutUtf8(std::string_view s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

// Names compare without the case of ASCII letters: the folders are often
// copied to Windows or macOS file systems, where "A.txt" and "a.txt" are one
// file.
std::string FoldCase(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// The part's name, safe in a folder and within CP932, leading dots gone;
// "part-N" and the extension of its type when that leaves nothing.
std::string SafeName(const NamedPart& part, std::size_t index)
{
    std::string name = WithinCp932(ReplaceUnsafeCharacters(part.name));
    name.erase(0, name.find_first_not_of('.'));
    if (name.empty())
        name = "part-" + std::to_string(index + 1) + std::string(ExtensionFor(part.contentType));
    return name;
}

struct SplitName {
    std::string stem;
    std::string extension;  // with its dot, or empty
};

// The name as the sender wrote it, split at its last dot when what follows
// is short enough to be an extension.
SplitName SplitAsGiven(const std::string& name)
{
    if (const std::size_t dot = name.rfind('.');
        dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxExtensionBytes)
        return {name.substr(0, dot), name.substr(dot)};
    return {name, {}};
}

bool IsPassive(std::string_view extension)
{
    const std::string folded = FoldCase(extension);
    return std::ranges::find(kPassiveExtensions, std::string_view(folded)) != std::end(kPassiveExtensions);
}

// The name as it is saved: only a passive last extension stays an
// extension, every other dot becomes '_'.
SplitName SplitForSaving(const std::string& name, std::string_view contentType)
{
    SplitName split;
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && IsPassive(name.substr(dot + 1)))
        split = {name.substr(0, dot), name.substr(dot)};
    else
        split = {name, contentType.starts_with("text/") ? ".txt" : ".bin"};
    std::ranges::replace(split.stem, '.', '_');
    return split;
}

// Makes each name unique in one folder: a name already given gets "-2",
// "-3", ... before its extension, cut to kMaxNameBytes.
class UniqueNames {
public:
    std::string Add(const SplitName& name)
    {
        int& number = nextNumber_.try_emplace(FoldCase(name.stem + name.extension), 1).first->second;
        std::string candidate;
        for (;; ++number) {
            const std::string suffix = number == 1 ? std::string() : "-" + std::to_string(number);
            candidate = std::string(CutUtf8(name.stem, kMaxNameBytes - name.extension.size() - suffix.size()));
            candidate += suffix;
            candidate += name.extension;
            if (taken_.insert(FoldCase(candidate)).second)
                break;
        }
        ++number;
        return candidate;
    }

private:
    std::set<std::string> taken_;
    // The next number to try for each name, so that many parts of one name
    // do not try every number before theirs again.
    std::map<std::string, int> nextNumber_;
};

}  // namespace

std::span<const std::string_view> PassiveExtensions()
{
    return kPassiveExtensions;
}

std::vector<std::string> AttachmentFileNames(const std::vector<NamedPart>& parts)
{
    std::vector<std::string> names;
    names.reserve(parts.size());
    UniqueNames unique;
    for (std::size_t index = 0; index < parts.size(); ++index)
        names.push_back(unique.Add(SplitForSaving(SafeName(parts[index], index), parts[index].contentType)));
    return names;
}

std::vector<std::string> AttachmentShownNames(const std::vector<NamedPart>& parts)
{
    std::vector<std::string> names;
    names.reserve(parts.size());
    UniqueNames unique;
    for (std::size_t index = 0; index < parts.size(); ++index)
        names.push_back(unique.Add(SplitAsGiven(SafeName(parts[index], index))));
    return names;
}

}  // namespace postloom::mime
