#include "app/problem_log.h"

#include "core/report/problem_wording.h"
#include "core/text/codec.h"

namespace postloom {

namespace {

QStringList Shown(const Problems& problems)
{
    QStringList shown;
    for (const Problem& problem : problems) {
        shown << QString::fromStdString(text::Cp932ToUtf8(WordProblem(problem, ProblemLanguage::Japanese)));
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

void ProblemLog::add(const Problems& problems, const Problems& notices)
{
    if (problems.empty() && notices.empty()) {
        return;
    }
    problems_.insert(problems_.end(), problems.begin(), problems.end());
    notices_.insert(notices_.end(), notices.begin(), notices.end());
    problemsSeen_ += static_cast<int>(problems.size());
    Q_EMIT added(problems, notices);
}

void ProblemLog::endRun(const QString& summary)
{
    Q_EMIT runEnded(summaryWithCount(summary));
}

QStringList ProblemLog::shownProblems() const
{
    return Shown(problems_);
}

QStringList ProblemLog::shownNotices() const
{
    return Shown(notices_);
}

QString ProblemLog::summaryWithCount(const QString& summary) const
{
    if (problems_.empty()) {
        return summary;
    }
    return QStringLiteral("%1 (問題 %2件)").arg(summary).arg(problems_.size());
}

}  // namespace postloom
