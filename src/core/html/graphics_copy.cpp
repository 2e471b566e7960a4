#include "core/html/graphics_copy.h"

#include "core/html/output_paths.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace postloom {

namespace {

enum class CopyOutcome { Done, Failed, OntoItself };

// Copies source byte for byte to destination. A destination that is the
// source itself (the same file under any name) is left alone: opening it
// for writing would empty the very file being read.
CopyOutcome CopyFile(const std::string& source, const std::string& destination)
{
    const std::optional<platform::FileIdentity> from = platform::IdentityOf(source);
    const std::optional<platform::FileIdentity> to = platform::IdentityOf(destination);
    if (from && to && *from == *to)
        return CopyOutcome::OntoItself;

    const platform::FileHandle input = platform::OpenForReading(source);
    if (!input)
        return CopyOutcome::Failed;
    std::optional<platform::FileWriter> output =
        platform::FileWriter::Create(destination, platform::FileWriter::Mode::Binary);
    if (!output)
        return CopyOutcome::Failed;
    std::array<char, 64 * 1024> block;
    std::size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), input.get())) > 0)
        output->Write(std::string_view(block.data(), n));
    const bool readFailed = std::ferror(input.get()) != 0;
    return output->Close() && !readFailed ? CopyOutcome::Done : CopyOutcome::Failed;
}

void Copy(const std::string& source, const std::string& destination, GraphicsCopyResult& result)
{
    switch (CopyFile(source, destination)) {
    case CopyOutcome::Done:
        ++result.copiesDone;
        break;
    case CopyOutcome::Failed:
        result.copiesFailed.push_back(source);
        break;
    case CopyOutcome::OntoItself:
        result.copiesOntoThemselves.push_back(source);
        break;
    }
}

}  // namespace

GraphicsCopyResult CopyGraphics(const ProjectSettings& settings, const std::string& projectFolder,
                                JobProgress& progress)
{
    GraphicsCopyResult result;
    const OutputPaths paths(settings, projectFolder);
    if (settings.DrawGraphic != 0) {
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
