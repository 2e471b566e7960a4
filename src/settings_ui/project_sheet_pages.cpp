#include "settings_ui/project_sheet_pages.h"

#include "settings_ui/project_page1.h"
#include "settings_ui/project_page2.h"
#include "settings_ui/project_page3.h"
#include "settings_ui/project_page4.h"

#include <utility>

namespace postloom {

std::unique_ptr<CProjectSheet> CreateProjectSheet(const ProjectSettings& document, std::string projectFolder,
                                                  UserPrompts& prompts, QWidget* parent)
{
    auto sheet = std::make_unique<CProjectSheet>(document, std::move(projectFolder), prompts, parent);
    sheet->addPage(std::make_unique<CProjectPage1>(sheet->pageContext()));
    sheet->addPage(std::make_unique<CProjectPage2>(sheet->pageContext()));
    sheet->addPage(std::make_unique<CProjectPage3>(sheet->pageContext()));
    sheet->addPage(std::make_unique<CProjectPage4>(sheet->pageContext()));
    return sheet;
}

}  // namespace postloom
