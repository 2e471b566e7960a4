#include "app_test_support.h"

#include "app/command_ids.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <fstream>

namespace postloom::test {
namespace {

bool OnUserInterfaceThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

QString NameOf(int id)
{
    const CommandInfo* const info = FindCommand(id);
    return info != nullptr ? QString::fromLatin1(info->name) : QString::number(id);
}

}  // namespace

void RecordingWindow::dispProgress(int lower, int upper)
{
    if (!OnUserInterfaceThread()) {
        log_ << QStringLiteral("wrong thread");
    }
    log_ << QStringLiteral("range %1 %2").arg(lower).arg(upper);
}

void RecordingWindow::updateProgress(int position, int flag)
{
    if (!OnUserInterfaceThread()) {
        log_ << QStringLiteral("wrong thread");
    }
    if (flag == 0) {
        log_ << QStringLiteral("end");
        return;
    }
    log_ << QStringLiteral("at %1").arg(position);
    if (onReport) {
        onReport(position);
    }
}

CommandDispatcher::Registration RecordCommands(CommandDispatcher& dispatcher, QStringList& log,
                                               std::initializer_list<int> ids)
{
    std::vector<CommandRoute> routes;
    for (const int id : ids) {
        routes.push_back({.id = id, .handler = [&log, id] { log << NameOf(id); }});
    }
    return dispatcher.addRoutes(RouteLevel::Document, std::move(routes));
}

void RecordDrops(CommandDispatcher& dispatcher, QStringList& log)
{
    QObject::connect(&dispatcher, &CommandDispatcher::dropped,
                     [&log](int id) { log << QStringLiteral("dropped ") + NameOf(id); });
}

bool Drain(CommandDispatcher& dispatcher)
{
    bool ran = false;
    // The version box: no test uses it otherwise.
    const auto marker = dispatcher.addRoutes(RouteLevel::Application, {{.id = ID_APP_ABOUT, .handler = [&ran] { ran = true; }}});
    dispatcher.post(ID_APP_ABOUT);
    return QTest::qWaitFor([&ran] { return ran; }, kPatience);
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace postloom::test
