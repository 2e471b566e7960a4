#include "scripted_prompts.h"

#include <QTest>

namespace postloom::test {

namespace {

template <typename T>
T Next(std::deque<T>& script, const char* what, T fallback)
{
    if (script.empty()) {
        QTest::qFail(what, __FILE__, __LINE__);
        return fallback;
    }
    const T next = script.front();
    script.pop_front();
    return next;
}

std::optional<QString> Chosen(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

}  // namespace

Answer ScriptedPrompts::ask(QWidget*, const QString& caption, const QString& question)
{
    questions.push_back({caption, question});
    return Next(answers, "unexpected question", Answer::No);
}

void ScriptedPrompts::inform(QWidget*, const QString& caption, const QString& message)
{
    notices.push_back({caption, message});
}

std::optional<QString> ScriptedPrompts::chooseFolder(QWidget*, const QString& startFolder)
{
    folderStarts.push_back(startFolder);
    return Chosen(Next(chosenFolders, "unexpected folder picker", QString()));
}

std::optional<QString> ScriptedPrompts::chooseFile(QWidget*, const FileRequest& request)
{
    fileRequests.push_back(request);
    return Chosen(Next(chosenFiles, "unexpected file dialog", QString()));
}

}  // namespace postloom::test
