#pragma once

// Parsing of the page templates. A template is HTML with insert tags: tags
// whose text (between "<" and ">") equals one of the configured insert tags
// exactly are replaced by parts of the page; every other tag passes through.

#include "core/project/project_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace postloom {

enum class TemplateSegmentKind : int {
    Text = 0,  // trailing text of the template, no tag after it
    Body = 1,
    Subject = 2,
    Parent = 3,
    Child = 4,
    Next = 5,
    Prev = 6,
    Index = 7,
};

// A run of template text followed by the insert tag that ended it.
struct InsertSegment {
    std::string text;
    TemplateSegmentKind kind = TemplateSegmentKind::Text;
    bool operator==(const InsertSegment&) const = default;
};

// Splits a mail page template (as read in text mode) at the seven mail
// insert tags of settings. When several insert tags are equal, the later in
// the order Body, Subject, Parent, Child, Next, Prev, Index wins. A tag left
// open at the end gains its ">".
std::vector<InsertSegment> ParseMailTemplate(std::string_view templateText, const ProjectSettings& settings);

// The index template around its first insert tag: before holds the text up
// to that tag (other tags passed through, an unclosed one given its ">"),
// after the rest exactly as it stands. Without the tag, before is the whole
// template and after is empty.
struct IndexTemplateParts {
    std::string before;
    std::string after;
};
IndexTemplateParts SplitIndexTemplate(std::string_view templateText, std::string_view insertTag);

}  // namespace postloom
