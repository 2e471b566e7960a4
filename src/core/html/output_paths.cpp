#include "core/html/output_paths.h"

#include "core/platform/file_system.h"
#include "core/text/cp932.h"

namespace postloom {

namespace {

std::string LowerIf(bool lower, std::string_view text)
{
    return lower ? text::ToLowerAscii(text) : std::string(text);
}

bool EndsInSeparator(std::string_view path, PathStyle style)
{
    if (style == PathStyle::Posix)
        return !path.empty() && path.back() == '/';
    return !path.empty() && text::FindLastChar(path, '\\') == path.size() - 1;
}

// folder (possibly empty, meaning "here"), then "." + separator + name: the
// form of the tree-graphic and background links.
std::string DotNameBelow(std::string_view folder, std::string_view name, PathStyle style)
{
    std::string path(folder);
    if (!path.empty() && !EndsInSeparator(path, style))
        path += Separator(style);
    path += '.';
    path += Separator(style);
    path += name;
    return path;
}

// Windows file systems ignore case, so there whole folders may be
// lower-cased; on Linux an existing folder is used as it is written.
bool LowerFolders(const ProjectSettings& settings, PathStyle style)
{
    return style == PathStyle::Windows && settings.ToLower != 0;
}

std::string LinkToFolder(std::string_view fromFolder, std::string_view toFolder, std::string_view projectFolder,
                         PathStyle style)
{
    if (auto relative = RelativePath(fromFolder, toFolder, projectFolder, style))
        return *std::move(relative);
    // Different drives: no relative link exists, so the link names the
    // absolute place, which still works while the pages are read locally.
    return "file:///" + FullPath(toFolder, fromFolder, style);
}

// The copy of a tree graphic is made under this name too, so that on Linux
// link and file agree under ToLower.
std::string TreeGraphicName(const ProjectSettings& settings, std::string_view graphicPath, PathStyle style)
{
    return LowerIf(settings.ToLower != 0 && style == PathStyle::Posix, FileNamePart(graphicPath, style));
}

std::string BackgroundUrl(std::string_view pageFolder, std::string_view graphicFolder, std::string_view backgroundFile,
                          std::string_view projectFolder, PathStyle style)
{
    const std::string url = DotNameBelow(LinkToFolder(pageFolder, graphicFolder, projectFolder, style),
                                         FileNamePart(backgroundFile, style), style);
    return EncodeUrl(ToUrlSeparators(url, style));
}

}  // namespace

OutputPaths::OutputPaths(const ProjectSettings& settings, std::string projectFolder, PathStyle style)
    : settings_(settings), style_(style)
{
    // An unsaved project has no folder of its own: it works in the process's
    // working directory.
    if (style == PathStyle::Posix && !IsAbsolutePath(projectFolder, style))
        projectFolder_ = FullPath(projectFolder, platform::CurrentDirectory(), style);
    else
        projectFolder_ = FullPath(projectFolder, projectFolder, style);
}

std::string OutputPaths::Resolve(std::string_view settingPath) const
{
    return FullPath(settingPath, projectFolder_, style_);
}

std::string OutputPaths::PageFileName(const MailRecord& mail) const
{
    const std::string name = LowerIf(settings_.ToLower != 0, mail.fileName);
    return std::string(text::TextBefore(name, text::FindLastChar(name, '.'))) + ".html";
}

std::string OutputPaths::PageLinkFromMail(const MailRecord& mail) const
{
    return EncodeUrl(PageFileName(mail));
}

std::string OutputPaths::MailSourcePath(const MailRecord& mail) const
{
    return JoinPath(Resolve(settings_.TargetPath), mail.fileName, style_);
}

std::string OutputPaths::IndexFileFullPath() const
{
    return Resolve(settings_.IndexPath);
}

std::string OutputPaths::IndexFolder() const
{
    // The folder of the very file the index is written to, so that links
    // computed from it hold wherever IndexPath points ("..", a root file).
    const std::string folder =
        settings_.IndexPath.empty() ? projectFolder_ : FullPath("..", IndexFileFullPath(), style_);
    return LowerIf(LowerFolders(settings_, style_), folder);
}

std::string OutputPaths::MailFolderFullPath() const
{
    const std::string_view mailPath = settings_.MailPath;
    std::string folder;
    if (mailPath.empty())
        folder = IndexFolder();
    else if (IsAbsolutePath(mailPath, style_))
        folder = FullPath(mailPath, mailPath, style_);
    else
        folder = FullPath(LowerIf(settings_.ToLower != 0, mailPath), IndexFolder(), style_);
    return LowerIf(LowerFolders(settings_, style_), folder);
}

std::string OutputPaths::PageFullPath(const MailRecord& mail) const
{
    return JoinPath(MailFolderFullPath(), PageFileName(mail), style_);
}

std::string OutputPaths::MailFolderFromIndex() const
{
    const std::string_view mailPath = settings_.MailPath;
    std::string folder;
    if (mailPath.empty())
        folder = std::string(".") + Separator(style_);
    else if (IsAbsolutePath(mailPath, style_))
        folder = LinkToFolder(IndexFolder(), mailPath, projectFolder_, style_);
    else
        folder = LowerIf(settings_.ToLower != 0, mailPath);
    return EncodeUrl(ToUrlSeparators(LowerIf(LowerFolders(settings_, style_), folder), style_));
}

std::string OutputPaths::PageLinkStartFromIndex() const
{
    std::string link = MailFolderFromIndex();
    if (!link.empty() && link.back() != '/')
        link += '/';
    return link;
}

std::string OutputPaths::PageLinkFromIndex(const MailRecord& mail) const
{
    return PageLinksFromIndex(*this).LinkTo(mail);
}

std::optional<std::string> OutputPaths::IndexLinkFromMail() const
{
    const std::string link = LinkToFolder(MailFolderFullPath(), IndexFileFullPath(), projectFolder_, style_);
    return EncodeUrl(ToUrlSeparators(link, style_));
}

std::optional<std::string> OutputPaths::TreeGraphicUrl(std::string_view graphicPath) const
{
    const std::string folder = settings_.IndexImagePath.empty()
                                   ? std::string()
                                   : LinkToFolder(IndexFolder(), IndexGraphicFolder(), projectFolder_, style_);
    const std::string url = DotNameBelow(folder, TreeGraphicName(settings_, graphicPath, style_), style_);
    return EncodeUrl(ToUrlSeparators(LowerIf(LowerFolders(settings_, style_), url), style_));
}

std::string OutputPaths::IndexGraphicFolder() const
{
    return settings_.IndexImagePath.empty() ? IndexFolder() : Resolve(settings_.IndexImagePath);
}

std::string OutputPaths::MailGraphicFolder() const
{
    return settings_.MailImagePath.empty() ? MailFolderFullPath() : Resolve(settings_.MailImagePath);
}

std::string OutputPaths::IndexBackgroundUrl() const
{
    return BackgroundUrl(IndexFolder(), IndexGraphicFolder(), settings_.IndexBackGroundFile, projectFolder_, style_);
}

std::string OutputPaths::MailBackgroundUrl() const
{
    return BackgroundUrl(MailFolderFullPath(), MailGraphicFolder(), settings_.MailBackGroundFile, projectFolder_,
                         style_);
}

std::string OutputPaths::MailBackgroundUrlFromIndex() const
{
    return BackgroundUrl(IndexFolder(), MailGraphicFolder(), settings_.MailBackGroundFile, projectFolder_, style_);
}

std::string OutputPaths::TreeGraphicCopyPath(std::string_view graphicPath) const
{
    return JoinPath(IndexGraphicFolder(), TreeGraphicName(settings_, graphicPath, style_), style_);
}

std::string OutputPaths::IndexBackgroundCopyPath() const
{
    return JoinPath(IndexGraphicFolder(), FileNamePart(settings_.IndexBackGroundFile, style_), style_);
}

std::string OutputPaths::MailBackgroundCopyPath() const
{
    return JoinPath(MailGraphicFolder(), FileNamePart(settings_.MailBackGroundFile, style_), style_);
}

}  // namespace postloom
