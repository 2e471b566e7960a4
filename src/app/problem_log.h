#pragma once

// What went wrong in the latest run of the desktop program: the problems the
// core tells every front (the ones postloom-batch prints), shown in Japanese.
// A run is one user command: reading a project, creating the pages
// (create-all is one run), a single step, a save. Each run starts a new
// list; the list stays until the next run begins, so the user can come back
// to it.

#include "core/report/run_problems.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace postloom {

class ProblemLog final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // A new run: the list of the last one goes.
    void beginRun();
    // Problems and notices of the running run.
    void add(const Problems& problems, const Problems& notices = {});
    // The run has ended; summary is the status bar's line for it.
    void endRun(const QString& summary);

    const Problems& problems() const { return problems_; }
    const Problems& notices() const { return notices_; }
    // As the problem list shows them: in Japanese, one a line.
    QStringList shownProblems() const;
    QStringList shownNotices() const;
    // Problems seen since the program started, over every run.
    int problemsSeen() const { return problemsSeen_; }

    // The status bar's line: summary, and the count of problems when there
    // were any.
    QString summaryWithCount(const QString& summary) const;

Q_SIGNALS:
    void runStarted();
    void added(const Problems& problems, const Problems& notices);
    void runEnded(const QString& summary);

private:
    Problems problems_;
    Problems notices_;
    int problemsSeen_ = 0;
};

}  // namespace postloom
