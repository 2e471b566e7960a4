#pragma once

// What went wrong in the latest run of the desktop program, in the lines the
// core words for every front (the same that postloom-batch prints). A run is
// one user command: reading a project, creating the pages (create-all is one
// run), a single step, a save. Each run starts a new list; the list stays
// until the next run begins, so the user can come back to it.

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
    // Lines (CP932) of the running run.
    void add(const ProblemLines& problems, const ProblemLines& notices = {});
    // The run has ended; summary is the status bar's line for it.
    void endRun(const QString& summary);

    const QStringList& problems() const { return problems_; }
    const QStringList& notices() const { return notices_; }
    // Problems seen since the program started, over every run.
    int problemsSeen() const { return problemsSeen_; }

    // The status bar's line: summary, and the count of problems when there
    // were any.
    QString summaryWithCount(const QString& summary) const;

Q_SIGNALS:
    void runStarted();
    // As lines arrive, converted for display.
    void added(const QStringList& problems, const QStringList& notices);
    void runEnded(const QString& summary);

private:
    QStringList problems_;
    QStringList notices_;
    int problemsSeen_ = 0;
};

}  // namespace postloom
