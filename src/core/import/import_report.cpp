#include "core/import/import_report.h"

#include <cstdint>

namespace postloom {

namespace {

std::string Count(std::uint64_t n, std::string_view one, std::string_view many)
{
    std::string digits = std::to_string(n);
    for (std::size_t k = digits.size(); k > 3; k -= 3)
        digits.insert(k - 3, ",");
    return digits + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::string ImportSummary(const ImportResult& result)
{
    std::string summary = Count(result.imported, "mail imported", "mails imported") + ", " +
                          Count(result.alreadyThere, "already there", "already there");
    if (result.source == ImportSource::Mbox)
        summary += ", " + Count(result.unquotedLines, "\">From \" line", "\">From \" lines") + " unquoted as " +
                   (result.mboxVariant == MboxVariant::Mboxo ? "mboxo" : "mboxrd");
    return summary;
}

void AddImportNotices(const ImportResult& result, Problems& out)
{
    for (const std::string& link : result.passedLinks)
        out.push_back({.kind = ProblemKind::LinkPassedOver, .path = link});
}

void AddImportProblems(const ImportResult& result, Problems& out)
{
    if (result.failure)
        out.push_back(
            {.kind = ProblemKind::ImportFailed, .path = result.failure->path, .reason = result.failure->reason});
    for (const platform::FileProblem& problem : result.problems)
        out.push_back({.kind = ProblemKind::ImportFileProblem, .path = problem.path, .reason = problem.reason});
    if (result.stopped)
        out.push_back({.kind = ProblemKind::ImportStopped});
}

}  // namespace postloom
