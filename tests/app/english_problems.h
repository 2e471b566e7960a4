#pragma once

// The problems of a log as postloom-batch words them, for tests that pin
// what was found by its familiar lines.

#include "core/report/problem_wording.h"
#include "core/text/codec.h"

#include <QStringList>

namespace postloom::test {

inline QStringList English(const Problems& problems)
{
    QStringList lines;
    for (const Problem& problem : problems) {
        lines << QString::fromStdString(text::Cp932ToUtf8(WordProblem(problem, ProblemLanguage::English)));
    }
    return lines;
}

}  // namespace postloom::test
