// Renders the three pages of the project property sheet and the appearance
// details dialog of a project into PNG files, and the sheet as the one-step
// start from the project's mail folder shows it (one-step-start.png):
//
//   postloom_settings_screenshots PROJECT.plp OUTPUT-FOLDER
//
// Run it on a display with a Japanese font installed. The pictures in
// docs/screenshots are those of the sample project, rendered on Xvfb:
//
//   QT_QPA_PLATFORM=xcb xvfb-run -a postloom_settings_screenshots examples/sample/sample.plp docs/screenshots
//
// A question or notice that a page asks while the sheet turns its pages is
// answered No and reported; the pictures are then not written.

#include "core/html/output_paths.h"
#include "core/mail/mail_folder_survey.h"
#include "core/project/folder_project.h"
#include "core/project/project_file.h"
#include "settings_ui/appearance_dialog.h"
#include "settings_ui/gui_text.h"
#include "settings_ui/project_sheet_pages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>

#include <cstdio>
#include <optional>

namespace {

using postloom::Answer;
using postloom::FileRequest;

// Nothing may wait for an answer here: every prompt is counted and refused.
class RefusingPrompts final : public postloom::UserPrompts {
public:
    int asked = 0;

    Answer ask(QWidget*, const QString& caption, const QString& question) override
    {
        report(caption, question);
        return Answer::No;
    }
    void inform(QWidget*, const QString& caption, const QString& message) override { report(caption, message); }
    std::optional<QString> chooseFolder(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> chooseFile(QWidget*, const FileRequest&) override { return std::nullopt; }

private:
    void report(const QString& caption, const QString& text)
    {
        ++asked;
        QTextStream(stderr) << "the sheet asked: " << caption << ": " << text << '\n';
    }
};

bool Save(QWidget& widget, const QDir& folder, const QString& name)
{
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!widget.grab().save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        QTextStream(stderr) << "usage: postloom_settings_screenshots PROJECT.plp OUTPUT-FOLDER\n";
        return 2;
    }
    QFont font;
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    font.setPointSize(10);
    QApplication::setFont(font);

    const QString projectFile = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    postloom::ProjectSettings settings;
    settings.Reset();
    if (!postloom::LoadProject(settings, postloom::ToCp932(projectFile)).opened) {
        QTextStream(stderr) << "cannot read " << projectFile << '\n';
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    if (!QDir().mkpath(output.path())) {
        QTextStream(stderr) << "cannot create " << output.path() << '\n';
        return 1;
    }
    const std::string projectFolder = postloom::ToCp932(QFileInfo(projectFile).absolutePath());

    RefusingPrompts prompts;
    const std::unique_ptr<postloom::CProjectSheet> sheet =
        postloom::CreateProjectSheet(settings, projectFolder, prompts);
    sheet->resize(sheet->sizeHint().expandedTo(QSize(620, 0)));
    sheet->show();
    const std::array<const char*, 4> pages{"settings-file-page.png", "settings-index-page.png",
                                           "settings-mail-page.png", "settings-site-page.png"};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        sheet->tabs()->setCurrentIndex(static_cast<int>(i));
        if (prompts.asked != 0 || sheet->tabs()->currentIndex() != static_cast<int>(i))
            return 1;
        if (!Save(*sheet, output, QString::fromLatin1(pages[i])))
            return 1;
    }

    // The one-step start: a new project filled from the mail folder alone.
    const std::string mailFolder = postloom::OutputPaths(settings, projectFolder).Resolve(settings.TargetPath);
    postloom::ProjectSettings fresh;
    fresh.Reset();
    postloom::FillFolderProject(fresh, mailFolder, postloom::SurveyMailFolder(mailFolder).pattern);
    const std::unique_ptr<postloom::CProjectSheet> oneStep = postloom::CreateProjectSheet(fresh, projectFolder, prompts);
    oneStep->resize(oneStep->sizeHint().expandedTo(QSize(620, 0)));
    oneStep->show();
    if (prompts.asked != 0 || !Save(*oneStep, output, QStringLiteral("one-step-start.png")))
        return 1;

    postloom::CAppearanceDialog details(
        postloom::ProjectPageContext{settings, projectFolder, prompts}, postloom::PageKind::Index);
    details.show();
    return Save(details, output, QStringLiteral("settings-details-dialog.png")) ? 0 : 1;
}
