#include "app/desktop/problem_panel.h"

#include "app/problem_log.h"

#include <QPlainTextEdit>

namespace postloom {

ProblemPanel::ProblemPanel(ProblemLog& log, QWidget* parent)
    : QDockWidget(QStringLiteral("問題の一覧"), parent), log_(log), lines_(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("problemPanel"));
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    setWidget(lines_);
    toggleViewAction()->setText(QStringLiteral("問題の一覧(&L)"));
    hide();
    connect(&log_, &ProblemLog::runStarted, this, &ProblemPanel::refresh);
    connect(&log_, &ProblemLog::added, this, &ProblemPanel::refresh);
    // An empty list only takes room from the tree: it shows after a run
    // with problems and goes after a run without.
    connect(&log_, &ProblemLog::runEnded, this, [this] {
        refresh();
        setVisible(opensByItself_ && !log_.problems().empty());
    });
}

QString ProblemPanel::text() const
{
    return lines_->toPlainText();
}

void ProblemPanel::refresh()
{
    QStringList shown = log_.shownProblems();
    shown << log_.shownNotices();
    lines_->setPlainText(shown.join(QLatin1Char('\n')));
}

}  // namespace postloom
