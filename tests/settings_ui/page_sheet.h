#pragma once

// The property sheet with all of its pages as the document opens it, shown,
// and helpers for the modal dialogs its pages open.

#include "scripted_prompts.h"

#include "core/project/project_file.h"
#include "core/text/codec.h"
#include "settings_ui/project_page2.h"
#include "settings_ui/project_page3.h"
#include "settings_ui/project_sheet_pages.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace postloom::test {

inline std::string Sjis(const QString& text)
{
    return text::Utf8ToCp932(text.toStdString());
}

struct PageSheet {
    PageSheet(const ProjectSettings& document, const QString& projectFolder)
        : sheet(CreateProjectSheet(document, projectFolder.toStdString(), prompts))
    {
        sheet->show();
        // Active, so that the focus moves as it does for the user.
        sheet->activateWindow();
        if (!QTest::qWaitForWindowActive(sheet.get()))
            QTest::qFail("the sheet did not become active", __FILE__, __LINE__);
    }

    CProjectPage2* indexPage() const { return dynamic_cast<CProjectPage2*>(sheet->tabs()->widget(1)); }
    CProjectPage3* mailPage() const { return dynamic_cast<CProjectPage3*>(sheet->tabs()->widget(2)); }

    // Turns to the page as a click on its tab does; the page being left is
    // asked first.
    void turnTo(int page) { sheet->tabs()->setCurrentIndex(page); }
    CProjectPage2* showIndexPage()
    {
        turnTo(1);
        return indexPage();
    }
    CProjectPage3* showMailPage()
    {
        turnTo(2);
        return mailPage();
    }

    // True when OK closed the sheet.
    bool pressOk()
    {
        sheet->okButton()->click();
        return !sheet->isVisible() && sheet->result() == QDialog::Accepted;
    }

    ScriptedPrompts prompts;
    std::unique_ptr<CProjectSheet> sheet;
};

// Schedules act for the modal dialog of type Dialog that the next action
// opens; the dialog is cancelled afterwards if act left it open, so a test
// never hangs in its loop.
template <typename Dialog>
void WhenModal(std::function<void(Dialog&)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        auto* const dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTest::qFail("the expected dialog did not open", __FILE__, __LINE__);
            return;
        }
        act(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

// The settings after saving document to a project file and loading it
// into a fresh record; false when the settings came back different.
inline bool SurvivesSaveAndReload(const ProjectSettings& document, const QString& folder)
{
    const std::string path = (folder + QStringLiteral("/reload.plp")).toStdString();
    if (!SaveProject(document, path).ok)
        return false;
    ProjectSettings reloaded;
    reloaded.Reset();
    if (!LoadProject(reloaded, path).opened)
        return false;
    return reloaded.SettingsEqual(document);
}

}  // namespace postloom::test
