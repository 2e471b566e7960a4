#include "desktop_test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>

namespace postloom::test {

Answer ScriptedDesktopPrompts::ask(QWidget*, const QString& caption, const QString& question)
{
    asked.append(caption + QLatin1Char('|') + question);
    if (answers.empty()) {
        return Answer::No;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedDesktopPrompts::inform(QWidget*, const QString&, const QString& message)
{
    errors.append(message);
}

namespace {

std::optional<QString> TakeFirst(std::deque<QString>& choices)
{
    if (choices.empty()) {
        return std::nullopt;
    }
    QString choice = choices.front();
    choices.pop_front();
    return choice;
}

}  // namespace

std::optional<QString> ScriptedDesktopPrompts::chooseFolder(QWidget*, const QString&)
{
    asked.append(QStringLiteral("folder"));
    return TakeFirst(chosenFolders);
}

std::optional<QString> ScriptedDesktopPrompts::chooseFile(QWidget*, const FileRequest&)
{
    asked.append(QStringLiteral("file"));
    return TakeFirst(chosenFiles);
}

std::optional<ImportChoice> ScriptedDesktopPrompts::chooseImportTarget(QWidget*, const ImportRequest& request)
{
    asked.append(QStringLiteral("import dialog"));
    importRequests.push_back(request);
    if (importChoices.empty()) {
        return std::nullopt;
    }
    const ImportChoice choice = importChoices.front();
    importChoices.pop_front();
    return choice;
}

SaveChoice ScriptedDesktopPrompts::askSaveChanges(QWidget*, const QString& documentTitle)
{
    asked.append(QStringLiteral("save ") + documentTitle);
    if (saveChoices.empty()) {
        return SaveChoice::Cancel;
    }
    const SaveChoice choice = saveChoices.front();
    saveChoices.pop_front();
    return choice;
}

void ScriptedDesktopPrompts::showError(QWidget*, const QString& message)
{
    errors.append(message);
}

void ScriptedDesktopPrompts::showWarning(QWidget*, const QString& message)
{
    warnings.append(message);
}

std::optional<QString> ScriptedDesktopPrompts::chooseProjectToOpen(QWidget*)
{
    asked.append(QStringLiteral("open dialog"));
    if (projectsToOpen.empty()) {
        return std::nullopt;
    }
    QString chosen = projectsToOpen.front();
    projectsToOpen.pop_front();
    return chosen;
}

std::optional<QString> ScriptedDesktopPrompts::chooseProjectToSave(QWidget*, const QString& suggested)
{
    asked.append(QStringLiteral("save dialog"));
    suggestedSaves.append(suggested);
    if (projectsToSave.empty()) {
        return std::nullopt;
    }
    QString chosen = projectsToSave.front();
    projectsToSave.pop_front();
    return chosen;
}

void ScriptedDesktopPrompts::openWithDesktop(const QString& path)
{
    opened.append(path);
}

bool CopyFolder(const QString& from, const QString& to)
{
    const QDir source(from);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target)) {
                return false;
            }
        } else if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(path, target)) {
            return false;
        }
    }
    return true;
}

SampleCopy::SampleCopy()
{
    valid_ = dir_.isValid() && CopyFolder(QStringLiteral(SAMPLE_DIR), dir_.path());
}

bool SampleCopy::useClassicPages() const
{
    // The classic style is the value 0, which the project file leaves out.
    QByteArray bytes = ReadBytes(project());
    bytes.replace("\nPageStyle=1\n", "\n");
    return !bytes.isEmpty() && WriteBytes(project(), bytes);
}

TestProgram::TestProgram(const QStringList& arguments, bool headless)
{
    auto scripted = std::make_unique<ScriptedDesktopPrompts>();
    prompts = scripted.get();
    DesktopEnvironment environment;
    environment.headless = headless;
    environment.prompts = std::move(scripted);
    environment.store =
        std::make_unique<QSettings>(storeDir.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat);
    app = std::make_unique<CPostloomApp>(ParseCommandLine(arguments), std::move(environment));
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace postloom::test
