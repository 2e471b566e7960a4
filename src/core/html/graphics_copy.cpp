#include "core/html/graphics_copy.h"

#include "core/html/output_paths.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"

#include <array>
#include <optional>
#include <string_view>

namespace postloom {

namespace {

// Copies source byte for byte to destination. A destination that is the
// source itself (the same file under any name) is left alone: replacing it
// would be pointless, and a failed copy must not lose the only one.
void Copy(const std::string& source, const std::string& destination, GraphicsCopyResult& result)
{
    const std::optional<platform::FileIdentity> from = platform::IdentityOf(source);
    const std::optional<platform::FileIdentity> to = platform::IdentityOf(destination);
    if (from && to && *from == *to) {
        result.copiesOntoThemselves.push_back(source);
        return;
    }
    platform::FileError error;
    const std::optional<std::string> bytes = platform::ReadWholeFile(source, error);
    if (!bytes) {
        result.copiesFailed.push_back({source, platform::ReasonText(error)});
        return;
    }
    platform::OutputFile output(destination, platform::OutputFile::Mode::Binary);
    output.Write(*bytes);
    if (output.Commit() == platform::OutputFile::Outcome::Failed)
        result.copiesFailed.push_back({destination, output.Error()});
    else
        ++result.copiesDone;
}

}  // namespace

GraphicsCopyResult CopyGraphics(const ProjectSettings& settings, const std::string& projectFolder,
                                JobProgress& progress)
{
    GraphicsCopyResult result;
    const OutputPaths paths(settings, projectFolder);
    // Only the classic index draws its tree with the graphics.
    if (settings.DrawGraphic != 0 && PageStyleOf(settings) == PageStyleKind::Classic) {
        const std::array<const std::string*, 5> trees{&settings.FirstTree, &settings.ContTree, &settings.LastTree,
                                                      &settings.NextTree, &settings.NullTree};
        for (std::size_t k = 0; k < trees.size(); ++k) {
            progress.Report(static_cast<int>(k));
            Copy(paths.Resolve(*trees[k]), paths.TreeGraphicCopyPath(*trees[k]), result);
        }
    }
    if (settings.IndexBackGround != 0)
        Copy(paths.Resolve(settings.IndexBackGroundFile), paths.IndexBackgroundCopyPath(), result);
    if (settings.MailBackGround != 0)
        Copy(paths.Resolve(settings.MailBackGroundFile), paths.MailBackgroundCopyPath(), result);
    return result;
}

}  // namespace postloom
