#include "settings_ui/project_page.h"

#include "settings_ui/page_tabs.h"

#include <QDir>
#include <QLineEdit>

#include <optional>
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

void CProjectPage::browseFolderInto(QLineEdit& field)
{
    const std::optional<QString> folder = prompts().chooseFolder(this, ResolvedForDialog(projectFolder(), field.text()));
    if (!folder)
        return;
    field.setText(QDir::toNativeSeparators(*folder));
    setModified();
}

}  // namespace postloom
