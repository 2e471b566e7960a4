#pragma once

// A stand-in main window and a log of what reaches the user-interface thread,
// shared by the app layer's tests.

#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/main_window.h"

#include <QStringList>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace postloom::test {

// How long a test waits for something that is bound to happen (generous:
// sanitizer builds on a busy machine are slow).
inline constexpr int kPatience = 60000;

// Records every call as one log entry, in the order of arrival:
//   "range L U"     ID_DISP_PROGRESS (L, U)
//   "at P"          ID_UPDATE_PROGRESS (P, 1)
//   "end"           ID_UPDATE_PROGRESS (0, 0)
//   "wrong thread"  a call that did not arrive on the user-interface thread
class RecordingWindow final : public MainWindow {
public:
    explicit RecordingWindow(QStringList& log) : log_(log) {}

    void dispProgress(int lower, int upper) override;
    void updateProgress(int position, int flag) override;

    // Runs inside every "at P" report, while the sender waits for it.
    std::function<void(int position)> onReport;

private:
    QStringList& log_;
};

// Handlers (document level) that log the name of each id when it runs.
[[nodiscard]] CommandDispatcher::Registration RecordCommands(CommandDispatcher& dispatcher, QStringList& log,
                                                             std::initializer_list<int> ids);

// Logs "dropped ID_..." for every command the dispatcher drops.
void RecordDrops(CommandDispatcher& dispatcher, QStringList& log);

// Posts a marker command and waits until it has run, so everything posted
// before it has been handled. False when it did not run in time.
[[nodiscard]] bool Drain(CommandDispatcher& dispatcher);

// Writes a file of bytes.
void WriteBytes(const std::string& path, std::string_view bytes);

}  // namespace postloom::test
