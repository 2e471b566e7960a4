#pragma once

// One page of the project property sheet. The sheet decides when a page is
// shown for the first time, asks the page on display whether it may be
// left, and at OK has every page that has been shown take and save its
// values into the working copy. A page that was never shown writes nothing.

#include "core/project/project_settings.h"
#include "settings_ui/user_prompts.h"

#include <QString>
#include <QWidget>

class QLineEdit;

#include <string>

namespace postloom {

// What every page works with; the sheet owns all of it.
struct ProjectPageContext {
    ProjectSettings& settings;  // the sheet's working copy
    std::string projectFolder;  // CP932; relative setting paths resolve against it
    UserPrompts& prompts;
};

class CProjectPage : public QWidget {
public:
    CProjectPage(const ProjectPageContext& context, QString title, QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    bool shown() const { return shown_; }
    // Set by the edits each page names, also by the fill of a field when the
    // page is first shown; at OK the sheet reports a change when any page
    // has it set.
    bool modified() const { return modified_; }

    // The first display fills the controls from the working copy; later
    // calls do nothing.
    void showFirstTime();

    // The check on leaving the page (another page chosen, or OK while this
    // page is on display). False keeps the user on the page; the page has
    // told the user why.
    virtual bool checkOnLeave();
    // At OK, for a page that has been shown, before anything is saved: false
    // when a value cannot be taken (the page has told the user and put the
    // focus on the field); the sheet then stays open on this page.
    virtual bool takeValues();
    // At OK, for a page that has been shown: writes the page's settings into
    // the working copy.
    virtual void save() = 0;

protected:
    virtual void load() = 0;
    void setModified() { modified_ = true; }
    // The folder picker, opened at the field's folder; a chosen folder goes
    // into the field and marks the page modified.
    void browseFolderInto(QLineEdit& field);

    ProjectSettings& settings() const { return context_.settings; }
    const std::string& projectFolder() const { return context_.projectFolder; }
    UserPrompts& prompts() const { return context_.prompts; }

private:
    ProjectPageContext context_;
    QString title_;
    bool shown_ = false;
    bool modified_ = false;
};

}  // namespace postloom
