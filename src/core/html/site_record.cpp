#include "core/html/site_record.h"

#include "core/html/output_paths.h"
#include "core/platform/digest.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace postloom {

namespace {

constexpr std::string_view kFormatLine = "postloom-site 1";

// Bytes that would end or split a field are written as %XX.
void AppendField(std::string& out, std::string_view field)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.push_back(' ');
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || byte == '%') {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
}

void AppendNumber(std::string& out, std::int64_t number)
{
    out.push_back(' ');
    out.append(std::to_string(number));
}

void AppendStamp(std::string& out, const platform::FileStamp& stamp)
{
    AppendNumber(out, static_cast<std::int64_t>(stamp.size));
    AppendNumber(out, stamp.modifiedNs);
}

std::string DigestOf(std::string_view text)
{
    platform::Digest digest;
    return digest.Add(text).Hex();
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The fields of one line, decoded; nullopt for a malformed escape.
std::optional<std::vector<std::string>> Fields(std::string_view line)
{
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at <= line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        std::string field;
        for (std::size_t i = at; i < end; ++i) {
            if (line[i] != '%') {
                field.push_back(line[i]);
                continue;
            }
            if (i + 2 >= end)
                return std::nullopt;
            const int high = HexValue(line[i + 1]);
            const int low = HexValue(line[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            field.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        }
        fields.push_back(std::move(field));
        at = end + 1;
    }
    return fields;
}

template <class Number>
bool ReadNumber(const std::string& text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ReadStamp(const std::vector<std::string>& fields, std::size_t at, platform::FileStamp& stamp)
{
    return ReadNumber(fields[at], stamp.size) && ReadNumber(fields[at + 1], stamp.modifiedNs);
}

bool IsPageName(const std::string& name)
{
    return IsUsableFileName(name) && name.ends_with(".html");
}

// "<page>_files/<name>" for the page and a usable name.
bool IsAttachmentOf(const std::string& path, const std::string& pageName)
{
    const std::string folder = AttachmentFolderOf(pageName);
    return path.size() > folder.size() + 1 && path.starts_with(folder) && path[folder.size()] == '/' &&
           IsUsableFileName(std::string_view(path).substr(folder.size() + 1));
}

}  // namespace

std::string AttachmentFolderOf(std::string_view pageName)
{
    const std::size_t dot = pageName.rfind('.');
    return std::string(dot == std::string_view::npos ? pageName : pageName.substr(0, dot)) + "_files";
}

std::string FormatSiteRecord(const SiteRecord& record)
{
    std::string text;
    // A page line and a file line or so each.
    text.reserve(256 * (record.pages.size() + 1));
    text.append(kFormatLine).append("\nfolder");
    AppendField(text, record.pageFolder);
    text.push_back('\n');
    for (const auto& [name, page] : record.pages) {
        text.append("page");
        AppendField(text, name);
        AppendField(text, page.mailFile);
        AppendStamp(text, page.archive);
        AppendField(text, page.inputs);
        AppendStamp(text, page.page);
        AppendNumber(text, page.madeFolder ? 1 : 0);
        text.push_back('\n');
        for (const RecordedFile& file : page.attachments) {
            text.append("file");
            AppendField(text, file.path);
            AppendStamp(text, file.stamp);
            text.push_back('\n');
        }
    }
    const std::string digest = DigestOf(text);
    text.append("end ").append(digest).append("\n");
    return text;
}

std::optional<SiteRecord> ParseSiteRecord(std::string_view text)
{
    // The digest line closes the record: a cut or changed record fails here.
    if (!text.ends_with('\n'))
        return std::nullopt;
    const std::size_t lastLine = text.rfind('\n', text.size() - 2);
    if (lastLine == std::string_view::npos)
        return std::nullopt;
    const std::string_view body = text.substr(0, lastLine + 1);
    if (text.substr(lastLine + 1) != "end " + DigestOf(body) + "\n")
        return std::nullopt;

    SiteRecord record;
    RecordedPage* current = nullptr;
    std::string currentName;
    std::size_t at = 0;
    for (int line = 0; at < body.size(); ++line) {
        const std::size_t end = body.find('\n', at);
        const std::string_view row = body.substr(at, end - at);
        at = end + 1;
        if (line == 0) {
            if (row != kFormatLine)
                return std::nullopt;
            continue;
        }
        const std::optional<std::vector<std::string>> fields = Fields(row);
        if (!fields || fields->empty())
            return std::nullopt;
        const std::vector<std::string>& f = *fields;
        if (line == 1) {
            if (f.size() != 2 || f[0] != "folder")
                return std::nullopt;
            record.pageFolder = f[1];
        } else if (f[0] == "page" && f.size() == 9) {
            RecordedPage page;
            page.mailFile = f[2];
            int madeFolder = 0;
            if (!IsPageName(f[1]) || !IsUsableFileName(page.mailFile) || !ReadStamp(f, 3, page.archive) ||
                !ReadStamp(f, 6, page.page) || !ReadNumber(f[8], madeFolder) || madeFolder < 0 || madeFolder > 1)
                return std::nullopt;
            page.inputs = f[5];
            page.madeFolder = madeFolder == 1;
            const auto [placed, added] = record.pages.emplace(f[1], std::move(page));
            if (!added)
                return std::nullopt;
            current = &placed->second;
            currentName = f[1];
        } else if (f[0] == "file" && f.size() == 4 && current != nullptr) {
            RecordedFile file{f[1], {}};
            if (!IsAttachmentOf(file.path, currentName) || !ReadStamp(f, 2, file.stamp))
                return std::nullopt;
            current->attachments.push_back(std::move(file));
        } else {
            return std::nullopt;
        }
    }
    if (record.pageFolder.empty())
        return std::nullopt;
    return record;
}

std::optional<SiteRecord> LoadSiteRecord(std::string_view recordPath, std::string_view pageFolder)
{
    const std::optional<std::string> text = platform::ReadWholeFile(recordPath);
    if (!text)
        return std::nullopt;
    std::optional<SiteRecord> record = ParseSiteRecord(*text);
    if (!record || record->pageFolder != pageFolder)
        return std::nullopt;
    return record;
}

std::optional<std::string> SaveSiteRecord(std::string_view recordPath, const SiteRecord& record)
{
    platform::OutputFile out(recordPath, platform::OutputFile::Mode::Binary);
    out.Write(FormatSiteRecord(record));
    if (out.Commit() == platform::OutputFile::Outcome::Failed)
        return out.Error();
    return std::nullopt;
}

}  // namespace postloom
