#include "app/problem_log.h"

#include "core/text/codec.h"

namespace postloom {

namespace {

QStringList Shown(const ProblemLines& lines)
{
    QStringList shown;
    for (const std::string& line : lines) {
        shown << QString::fromStdString(text::Cp932ToUtf8(line));
    }
    return shown;
}

}  // namespace

void ProblemLog::beginRun()
{
    problems_.clear();
    notices_.clear();
    Q_EMIT runStarted();
}

void ProblemLog::add(const ProblemLines& problems, const ProblemLines& notices)
{
    if (problems.empty() && notices.empty()) {
        return;
    }
    const QStringList newProblems = Shown(problems);
    const QStringList newNotices = Shown(notices);
    problems_ << newProblems;
    notices_ << newNotices;
    problemsSeen_ += static_cast<int>(newProblems.size());
    Q_EMIT added(newProblems, newNotices);
}

void ProblemLog::endRun(const QString& summary)
{
    Q_EMIT runEnded(summaryWithCount(summary));
}

QString ProblemLog::summaryWithCount(const QString& summary) const
{
    if (problems_.isEmpty()) {
        return summary;
    }
    return QStringLiteral("%1 (問題 %2件)").arg(summary).arg(problems_.size());
}

}  // namespace postloom
