#include "core/html/template_segments.h"

#include <array>
#include <optional>
#include <utility>

namespace postloom {

namespace {

// The tag text of a tag that starts after the "<" at pos: up to the next
// ">" or the end. next is set behind the ">" (or to the end).
std::string_view TagTextAt(std::string_view text, std::size_t pos, std::size_t& next)
{
    const std::size_t close = text.find('>', pos);
    if (close == std::string_view::npos) {
        next = text.size();
        return text.substr(pos);
    }
    next = close + 1;
    return text.substr(pos, close - pos);
}

void AppendPassedTag(std::string& out, std::string_view tag)
{
    out.push_back('<');
    out.append(tag);
    out.push_back('>');
}

}  // namespace

std::vector<InsertSegment> ParseMailTemplate(std::string_view templateText, const ProjectSettings& settings)
{
    // Searched from the back, so that of equal tags the later kind wins.
    const std::array<std::pair<const std::string*, TemplateSegmentKind>, 7> tags{{
        {&settings.MailIndexInsertTag, TemplateSegmentKind::Index},
        {&settings.MailPrevInsertTag, TemplateSegmentKind::Prev},
        {&settings.MailNextInsertTag, TemplateSegmentKind::Next},
        {&settings.MailChildInsertTag, TemplateSegmentKind::Child},
        {&settings.MailParentInsertTag, TemplateSegmentKind::Parent},
        {&settings.MailSubjectInsertTag, TemplateSegmentKind::Subject},
        {&settings.MailBodyInsertTag, TemplateSegmentKind::Body},
    }};

    std::vector<InsertSegment> segments;
    std::string current;
    std::size_t pos = 0;
    while (pos < templateText.size()) {
        const std::size_t open = templateText.find('<', pos);
        if (open == std::string_view::npos) {
            current.append(templateText.substr(pos));
            break;
        }
        current.append(templateText.substr(pos, open - pos));
        const std::string_view tag = TagTextAt(templateText, open + 1, pos);
        std::optional<TemplateSegmentKind> kind;
        for (const auto& [text, tagKind] : tags) {
            if (*text == tag) {
                kind = tagKind;
                break;
            }
        }
        if (kind) {
            segments.push_back({std::move(current), *kind});
            current.clear();
        } else {
            AppendPassedTag(current, tag);
        }
    }
    if (!current.empty())
        segments.push_back({std::move(current), TemplateSegmentKind::Text});
    return segments;
}

IndexTemplateParts SplitIndexTemplate(std::string_view templateText, std::string_view insertTag)
{
    IndexTemplateParts parts;
    std::size_t pos = 0;
    while (pos < templateText.size()) {
        const std::size_t open = templateText.find('<', pos);
        if (open == std::string_view::npos) {
            parts.before.append(templateText.substr(pos));
            break;
        }
        parts.before.append(templateText.substr(pos, open - pos));
        const std::string_view tag = TagTextAt(templateText, open + 1, pos);
        if (tag == insertTag) {
            parts.after.assign(templateText.substr(pos));
            break;
        }
        AppendPassedTag(parts.before, tag);
    }
    return parts;
}

}  // namespace postloom
