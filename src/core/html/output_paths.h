#pragma once

// Where every output file goes and how every link between the pages is
// spelt. Paths are CP932; every separator search treats a double-byte
// character as one unit.
//
// Two separator styles: Windows ("\", absolute = second character ":",
// names compare with A-Z case ignored) and Posix ("/", absolute = leading
// "/", names compare exactly). The program runs with the native style; the
// Windows style is kept so that the system's original examples run as tests.
//
// Relative paths in the settings resolve against the project folder (the
// folder of the project file). Functions that return a URL return it ready
// to be written into a page: separators turned into "/" and the bytes that
// could break an attribute percent-encoded (EncodeUrl).

#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace postloom {

enum class PathStyle { Windows, Posix };
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;

char Separator(PathStyle style);
bool IsAbsolutePath(std::string_view path, PathStyle style);

// Lexical full path: path made absolute against base (itself absolute), "."
// and ".." resolved, runs of separators collapsed, no disk access.
std::string FullPath(std::string_view path, std::string_view base, PathStyle style);

// Relative path from folder base to target, both made absolute against
// currentFolder first; "..\" k times and the rest of target. nullopt when
// the two lie on different drives (Windows). The links built on it then
// carry the absolute target as a "file:///" URL instead.
std::optional<std::string> RelativePath(std::string_view base, std::string_view target, std::string_view currentFolder,
                                        PathStyle style);

// Every separator becomes "/" (Windows: every "\" outside double-byte characters).
std::string ToUrlSeparators(std::string_view text, PathStyle style);

// Percent-encodes bytes below 0x21, 0x7F and " ' < > & ` = % # ? \ (as %XX);
// double-byte characters and every other byte stay. A lead byte makes a
// double-byte character only with a valid trail byte (0x40-0x7E, 0x80-0xFC)
// after it, so a stray lead byte never shields a quote from being encoded.
std::string EncodeUrl(std::string_view url);

// Creates every missing folder of path (a relative path first resolved
// against projectFolder). False at the first folder that cannot be created.
bool CreateFolderPath(std::string_view path, std::string_view projectFolder, PathStyle style = kNativePathStyle);

// True when name is a bare file name that may be used: not empty, not "."
// or "..", and without a separator (Windows style: "\\" or "/") or a NUL
// byte. A stored fileName that fails this names no file at all.
bool IsUsableFileName(std::string_view name, PathStyle style = kNativePathStyle);

// The part of path after its last separator; the whole path without one.
std::string FileNamePart(std::string_view path, PathStyle style = kNativePathStyle);

// folder, a separator unless folder already ends in one, and name; name
// alone when folder is empty (never a path in the root by accident).
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = kNativePathStyle);

class OutputPaths {
public:
    OutputPaths(const ProjectSettings& settings, std::string projectFolder, PathStyle style = kNativePathStyle);

    PathStyle style() const { return style_; }
    const std::string& projectFolder() const { return projectFolder_; }

    // A settings path resolved against the project folder (absolute, lexical).
    std::string Resolve(std::string_view settingPath) const;

    // Name of the mail's page: fileName (lower-cased under ToLower) up to its
    // last ".", plus ".html".
    std::string PageFileName(const MailRecord& mail) const;
    // The page name as a link between mail pages (encoded).
    std::string PageLinkFromMail(const MailRecord& mail) const;
    // The mail's archive file: resolved TargetPath + fileName.
    std::string MailSourcePath(const MailRecord& mail) const;
    // Absolute folder of the index file: the project folder when IndexPath
    // has no separator, the root for "/index.html", the drive's root folder
    // for "C:\\index.html" (lower-cased under ToLower, Windows style).
    std::string IndexFolder() const;
    // Absolute folder the mail pages are written to.
    std::string MailFolderFullPath() const;
    // Absolute path of the mail's page: MailFolderFullPath() + PageFileName.
    std::string PageFullPath(const MailRecord& mail) const;
    // Absolute path of the index file.
    std::string IndexFileFullPath() const;
    // Mail page folder as seen from the index page, in URL form.
    std::string MailFolderFromIndex() const;
    // The same ending in "/" unless it is empty: what every page's URL in
    // the index page starts with.
    std::string PageLinkStartFromIndex() const;
    // URL of the mail's page in the index page.
    std::string PageLinkFromIndex(const MailRecord& mail) const;
    // URL of the index page in every mail page. Never nullopt: where no
    // relative path exists (different drives, Windows style) it is the
    // absolute "file:///" URL of the index file.
    std::optional<std::string> IndexLinkFromMail() const;
    // URL of one of the five tree graphics (given by its settings path).
    // Never nullopt, as IndexLinkFromMail.
    std::optional<std::string> TreeGraphicUrl(std::string_view graphicPath) const;

    // Destination folders of the graphics copy (absolute).
    std::string IndexGraphicFolder() const;
    std::string MailGraphicFolder() const;
    // BACKGROUND values: "./name" when the graphic folder is the page's own
    // folder, else the relative path to it, "/", "./" and the name.
    std::string IndexBackgroundUrl() const;
    std::string MailBackgroundUrl() const;
    // The mail pages' background as a URL from the index page's folder
    // (where the modern style's stylesheet names it).
    std::string MailBackgroundUrlFromIndex() const;
    // Destinations of the copies, named as the links above name them: a tree
    // graphic's copy is lower-cased under ToLower (Posix style), a
    // background keeps its case.
    std::string TreeGraphicCopyPath(std::string_view graphicPath) const;
    std::string IndexBackgroundCopyPath() const;
    std::string MailBackgroundCopyPath() const;

private:
    const ProjectSettings& settings_;
    std::string projectFolder_;
    PathStyle style_;
};

// The links from the index page's folder to mail pages, as
// PageLinkFromIndex gives them, with the folder arithmetic they all start
// with done once rather than again for every mail.
class PageLinksFromIndex {
public:
    explicit PageLinksFromIndex(const OutputPaths& paths)
        : paths_(paths), start_(paths.PageLinkStartFromIndex())
    {
    }
    std::string LinkTo(const MailRecord& mail) const { return start_ + paths_.PageLinkFromMail(mail); }

private:
    const OutputPaths& paths_;
    const std::string start_;
};

}  // namespace postloom
