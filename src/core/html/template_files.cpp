#include "core/html/template_files.h"

#include "core/platform/files.h"

namespace postloom {

namespace {
constexpr char kEndOfFileMark = 0x1A;
}  // namespace

std::string TextModeContent(std::string_view raw)
{
    const std::size_t end = raw.find(kEndOfFileMark);
    if (end != std::string_view::npos)
        raw = raw.substr(0, end);
    std::string text;
    text.reserve(raw.size());
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t cr = raw.find("\r\n", start);
        if (cr == std::string_view::npos) {
            text.append(raw.substr(start));
            break;
        }
        text.append(raw.substr(start, cr - start));
        text.push_back('\n');
        start = cr + 2;
    }
    return text;
}

std::optional<std::string> ReadTextFile(std::string_view path)
{
    std::optional<std::string> raw = platform::ReadWholeFile(path);
    if (!raw)
        return std::nullopt;
    return TextModeContent(*raw);
}

std::optional<std::string> ReadIncludeLines(std::string_view path)
{
    std::optional<std::string> text = ReadTextFile(path);
    if (text && !text->empty() && text->back() != '\n')
        text->push_back('\n');
    return text;
}

std::string IncludeBlock(std::string_view part, std::string_view lines)
{
    std::string block;
    block.reserve(lines.size() + 96);
    block.append("\n<!-- Begin of Included ").append(part).append(" File -->\n\n");
    block.append(lines);
    block.append("\n<!-- End of Included ").append(part).append(" File -->\n\n");
    return block;
}

}  // namespace postloom
