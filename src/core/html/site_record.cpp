#include "core/html/site_record.h"

#include "core/html/output_paths.h"
#include "core/platform/digest.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace postloom {

namespace {

constexpr std::string_view kFormatLine = "postloom-site 1";

// Bytes that would end or split a field are written as %XX.
void AppendField(std::string& out, std::string_view field)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto escaped = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F || byte == '%';
    };
    out.push_back(' ');
    // Most fields hold nothing to escape: plain runs go in whole.
    auto from = field.begin();
    for (auto at = std::find_if(from, field.end(), escaped); at != field.end();
         at = std::find_if(from, field.end(), escaped)) {
        const auto byte = static_cast<unsigned char>(*at);
        out.append(from, at).append({'%', kHex[byte >> 4], kHex[byte & 0xF]});
        from = at + 1;
    }
    out.append(from, field.end());
}

void AppendNumber(std::string& out, std::int64_t number)
{
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    out.push_back(' ');
    out.append(digits, written.ptr);
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

// The fields of one line, split at spaces: up to kMaxFields, the count
// in count (one more than fit when the line has more).
constexpr std::size_t kMaxFields = 9;
using LineFields = std::array<std::string_view, kMaxFields>;

std::size_t SplitFields(std::string_view line, LineFields& fields)
{
    std::size_t count = 0;
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (count == kMaxFields)
            return count + 1;
        fields[count++] = line.substr(at, end - at);
        if (end == line.size())
            return count;
        at = end + 1;
    }
}

// A field with its escapes decoded; nullopt for a malformed escape.
std::optional<std::string> Decoded(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            text.push_back(field[i]);
            continue;
        }
        if (i + 2 >= field.size())
            return std::nullopt;
        const int high = HexValue(field[i + 1]);
        const int low = HexValue(field[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        text.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return text;
}

template <class Number>
bool ReadNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ReadStamp(const LineFields& fields, std::size_t at, platform::FileStamp& stamp)
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

bool IsViewPath(std::string_view path)
{
    constexpr std::string_view kMonths = "months/";
    if (path == "feed.atom")
        return true;
    return path.starts_with(kMonths) && path.ends_with(".html") && IsUsableFileName(path.substr(kMonths.size()));
}

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
    if (record.stylesheet) {
        text.append("style");
        AppendStamp(text, *record.stylesheet);
        text.push_back('\n');
    }
    for (const auto& [path, view] : record.views) {
        text.append("view");
        AppendField(text, path);
        AppendField(text, view.inputs);
        AppendStamp(text, view.file);
        text.push_back('\n');
    }
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
    for (const auto& [name, page] : record.threadPages) {
        text.append("thread");
        AppendField(text, name);
        AppendField(text, page.inputs);
        AppendStamp(text, page.page);
        text.push_back('\n');
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
    LineFields f;
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
        const std::size_t count = SplitFields(row, f);
        if (line == 1) {
            if (count != 2 || f[0] != "folder")
                return std::nullopt;
            std::optional<std::string> folder = Decoded(f[1]);
            if (!folder)
                return std::nullopt;
            record.pageFolder = std::move(*folder);
        } else if (line == 2 && f[0] == "style" && count == 3) {
            platform::FileStamp stamp;
            if (!ReadStamp(f, 1, stamp))
                return std::nullopt;
            record.stylesheet = stamp;
        } else if (f[0] == "view" && count == 5 && current == nullptr) {
            std::optional<std::string> path = Decoded(f[1]);
            std::optional<std::string> inputs = Decoded(f[2]);
            RecordedView view;
            if (!path || !inputs || !IsViewPath(*path) || !ReadStamp(f, 3, view.file) ||
                !record.views.emplace(std::move(*path), RecordedView{std::move(*inputs), view.file}).second)
                return std::nullopt;
        } else if (f[0] == "page" && count == 9) {
            std::optional<std::string> name = Decoded(f[1]);
            std::optional<std::string> mailFile = Decoded(f[2]);
            std::optional<std::string> inputs = Decoded(f[5]);
            RecordedPage page;
            int madeFolder = 0;
            if (!name || !mailFile || !inputs || !IsPageName(*name) || !IsUsableFileName(*mailFile) ||
                !ReadStamp(f, 3, page.archive) || !ReadStamp(f, 6, page.page) || !ReadNumber(f[8], madeFolder) ||
                madeFolder < 0 || madeFolder > 1)
                return std::nullopt;
            page.mailFile = std::move(*mailFile);
            page.inputs = std::move(*inputs);
            page.madeFolder = madeFolder == 1;
            // The record is written in the order of its names: each page
            // goes at the end, unless the record was put together by hand.
            const auto hint = record.pages.empty() || record.pages.rbegin()->first < *name ? record.pages.end()
                                                                                           : record.pages.lower_bound(*name);
            if (hint != record.pages.end() && hint->first == *name)
                return std::nullopt;
            current = &record.pages.emplace_hint(hint, *name, std::move(page))->second;
            currentName = std::move(*name);
        } else if (f[0] == "thread" && count == 5) {
            std::optional<std::string> name = Decoded(f[1]);
            std::optional<std::string> inputs = Decoded(f[2]);
            RecordedThreadPage page;
            if (!name || !inputs || !IsPageName(*name) || !ReadStamp(f, 3, page.page) ||
                !record.threadPages.emplace(std::move(*name), RecordedThreadPage{std::move(*inputs), page.page}).second)
                return std::nullopt;
            current = nullptr;
        } else if (f[0] == "file" && count == 4 && current != nullptr) {
            std::optional<std::string> path = Decoded(f[1]);
            RecordedFile file;
            if (!path || !IsAttachmentOf(*path, currentName) || !ReadStamp(f, 2, file.stamp))
                return std::nullopt;
            file.path = std::move(*path);
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
    out.WriteMoved(FormatSiteRecord(record));
    if (out.Commit() == platform::OutputFile::Outcome::Failed)
        return out.Error();
    return std::nullopt;
}

}  // namespace postloom
