#pragma once

// The one stylesheet of a modern site, "postloom.css" beside the index
// page. The project's colours, margins, base font sizes and background
// images are custom properties at its top; the rules below them use only
// those, so the property sheet shapes the site as it shapes the classic
// pages.

#include "core/html/output_paths.h"
#include "core/platform/file_stamp.h"
#include "core/project/project_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace postloom::modern {

inline constexpr std::string_view kStylesheetName = "postloom.css";

// The stylesheet (UTF-8). The background URLs are relative to the
// stylesheet's folder, in URL form, CP932.
std::string StylesheetText(const ProjectSettings& settings, std::string_view indexBackgroundUrl,
                           std::string_view mailBackgroundUrl);

struct StylesheetOutcome {
    // The file as it stands after the write, when it is in place.
    std::optional<platform::FileStamp> stamp;
    std::string error;  // the system's reason when it could not be written
};

// Puts the stylesheet in place beside the index page (left alone when it
// holds these bytes already).
StylesheetOutcome WriteStylesheet(const ProjectSettings& settings, const OutputPaths& paths);

// The link to the stylesheet from a mail page: beside the index page that
// indexLinkFromMail (OutputPaths::IndexLinkFromMail) links.
std::string StylesheetLinkFromMail(std::string_view indexLinkFromMail);

}  // namespace postloom::modern
