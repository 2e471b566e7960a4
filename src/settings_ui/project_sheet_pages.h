#pragma once

// The property sheet of a project with all of its pages, as the document
// opens it.

#include "settings_ui/project_sheet.h"

#include <memory>
#include <string>

namespace postloom {

std::unique_ptr<CProjectSheet> CreateProjectSheet(const ProjectSettings& document, std::string projectFolder,
                                                  UserPrompts& prompts, QWidget* parent = nullptr);

}  // namespace postloom
