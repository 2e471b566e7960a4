#include "settings_ui/project_page.h"

#include <utility>

namespace postloom {

CProjectPage::CProjectPage(const ProjectPageContext& context, QString title, QWidget* parent)
    : QWidget(parent), context_(context), title_(std::move(title))
{
}

void CProjectPage::showFirstTime()
{
    if (shown_)
        return;
    shown_ = true;
    load();
}

bool CProjectPage::checkOnLeave()
{
    return true;
}

bool CProjectPage::takeValues()
{
    return true;
}

}  // namespace postloom
