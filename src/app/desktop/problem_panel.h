#pragma once

// The problem list: a dockable panel beside the thread tree that shows what
// went wrong in the latest run, one problem a line in Japanese with its path
// in full. The text can be selected and copied. It opens by itself after a
// run with problems and closes after a run without (never opens in an
// unattended run), and the 表示 menu brings it back until the next run.

#include <QDockWidget>

class QPlainTextEdit;

namespace postloom {

class ProblemLog;

class ProblemPanel final : public QDockWidget {
    Q_OBJECT

public:
    ProblemPanel(ProblemLog& log, QWidget* parent = nullptr);

    // The shown lines: notices after the problems.
    QString text() const;
    // Off in an unattended run, which prints the lines instead.
    void setOpensByItself(bool opens) { opensByItself_ = opens; }

private:
    void refresh();

    ProblemLog& log_;
    QPlainTextEdit* lines_;
    bool opensByItself_ = true;
};

}  // namespace postloom
