#include "core/html/mail_page_writer.h"

#include "core/html/mail_body.h"
#include "core/html/mime_page_body.h"
#include "core/html/output_paths.h"
#include "core/html/template_files.h"
#include "core/html/template_segments.h"
#include "core/html/text_helpers.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"
#include "core/platform/work_ahead.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <cerrno>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <variant>

namespace postloom {

namespace {

// The link bar's labels in CP932: "[親ﾒｰﾙ]", "[子ﾒｰﾙ]", "[次ﾒｰﾙ]", "[前ﾒｰﾙ]".
constexpr std::string_view kParentLabel = "[\x90\x65\xd2\xb0\xd9]";
constexpr std::string_view kChildLabel = "[\x8e\x71\xd2\xb0\xd9]";
constexpr std::string_view kNextLabel = "[\x8e\x9f\xd2\xb0\xd9]";
constexpr std::string_view kPrevLabel = "[\x91\x4f\xd2\xb0\xd9]";

enum class Outcome {
    NotHandled,  // the run stopped before this mail
    SwitchedOff,
    UnusableName,
    ClashesWithArchive,
    ClashesWithOutput,
    MissingArchive,
    UnreadableArchive,
    PageNotWritten,
    Written,
    Unchanged,
};

// What is known of a mail before the run writes anything. Every page goes
// into one folder; only the name is kept, to keep a large run small.
struct PlannedPage {
    // Set when the mail gets no page whatever its archive holds.
    std::optional<Outcome> decided;
    std::string name;
    // A later mail of the list has the same page, which it then replaces.
    std::optional<std::size_t> laterMail;
    // Another mail of the list has the same page, before or after this one.
    bool shared = false;
    // No file had the page's name when the run began: it is neither
    // compared nor looked up before it is made.
    bool absent = false;
};

// What writing one page came to, with the system's reason on failure.
struct PageOutcome {
    PageOutcome() = default;
    PageOutcome(Outcome what, std::string why) : outcome(what), reason(std::move(why)) {}

    Outcome outcome = Outcome::NotHandled;
    std::string reason;
    std::vector<platform::FileProblem> attachmentsNotSaved;
};

// The page text is handed on in pieces of about this size.
constexpr std::size_t kPagePiece = 256 * 1024;

// Where a page's text goes in pieces: its output file, or memory for a page
// built ahead of its writing.
using PageOut = std::function<void(std::string_view)>;

// Pages of archives up to this size are built in memory ahead of their
// writing; a larger one is built while it is written. A window of pages
// built ahead then stays within some tens of megabytes whatever the
// archives hold.
constexpr std::uint64_t kHeldArchiveLimit = 256 * 1024;

// The archive file of a mail, open for reading; its body is streamed into
// the page, once for every place that shows it. With MIME decoding a
// mail that declares MIME is decoded instead (see Decode).
class Archive {
public:
    explicit Archive(platform::ReadableFile file) : file_(std::move(file)) {}

    // The file's size when it was opened.
    std::uint64_t size() const { return file_.size; }

    // Decodes the mail when it declares MIME. A small file is read whole and
    // a mail that does not declare MIME keeps its bytes for AppendBody; a
    // large one is decoded from the file piece by piece. False when the file
    // could not be read to its end.
    bool Decode(std::string_view pageName)
    {
        if (file_.size > kHeldArchiveLimit) {
            bool readFailed = false;
            mimeBody_ = MimePageBody::FromOpenFile(file_.fd.get(), pageName, readFailed);
            if (readFailed)
                error_ = EIO;
            return !readFailed;
        }
        platform::FileError error;
        std::optional<std::string> bytes = platform::ReadRest(file_, error);
        if (!bytes) {
            error_ = error.code;
            return false;
        }
        mimeBody_ = MimePageBody::FromMailFile(*bytes, pageName);
        if (!mimeBody_)
            wholeFile_ = std::move(*bytes);
        return true;
    }

    const std::optional<MimePageBody>& mimeBody() const { return mimeBody_; }
    std::optional<MimePageBody> TakeMimeBody() { return std::move(mimeBody_); }

    // Appends the escaped body to page, handing full pieces to out. False
    // when the file could not be read to its end.
    bool AppendBody(std::string& page, const PageOut& out)
    {
        if (mimeBody_) {
            if (!mimeBody_->AppendTo(page, out))
                error_ = EIO;
            return error_ == 0;
        }
        MailBodyEscaper escaper;
        if (wholeFile_) {
            escaper.Feed(*wholeFile_, page);
            escaper.Finish(page);
            return true;
        }
        // One read buffer per writer thread, not one per page.
        thread_local std::string raw(64 * 1024, '\0');
        for (std::uint64_t offset = 0; !escaper.Ended();) {
            bool more = true;
            const std::uint64_t before = offset;
            if (!ReadAt(offset, raw.data(), raw.size(), more))
                return false;
            escaper.Feed(std::string_view(raw.data(), static_cast<std::size_t>(offset - before)), page);
            if (page.size() >= kPagePiece) {
                out(page);
                page.clear();
            }
            if (!more)
                break;
        }
        escaper.Finish(page);
        return true;
    }

    int error() const { return error_; }

private:
    // One read of up to size bytes at offset into buffer; offset advances by
    // what was read, more turns false at the end of the file: a read that
    // returns nothing, or a short one that reaches the size the file had
    // when it was opened (no second call just to see the end).
    bool ReadAt(std::uint64_t& offset, char* buffer, std::size_t size, bool& more)
    {
        const int fd = file_.fd.get();
        for (;;) {
            const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error_ = errno;
                return false;
            }
            offset += static_cast<std::uint64_t>(n);
            more = n > 0 && (static_cast<std::size_t>(n) == size || offset < file_.size);
            return true;
        }
    }

    platform::ReadableFile file_;
    int error_ = 0;
    std::optional<MimePageBody> mimeBody_;
    std::optional<std::string> wholeFile_;
};

// Everything a page needs that is the same for every mail of one run.
class PageBuilder {
public:
    PageBuilder(const ProjectSettings& settings, const OutputPaths& paths) : settings_(settings), paths_(paths)
    {
        indexLink_ = paths.IndexLinkFromMail();
    }

    bool LoadTemplate(std::string_view templatePath)
    {
        const std::optional<std::string> text = ReadTextFile(templatePath);
        if (!text)
            return false;
        segments_ = ParseMailTemplate(*text, settings_);
        return true;
    }

    // Reads both includes that are switched on; tells which could not be read.
    void LoadStandardParts(MailPageResult& result)
    {
        bodyTag_ = MailBodyTag(settings_, paths_.MailBackgroundUrl());
        if (settings_.MailHeader != 0) {
            if (std::optional<std::string> lines = ReadIncludeLines(paths_.Resolve(settings_.MailHeaderFile)))
                header_ = IncludeBlock("Header", *lines);
            else
                result.headerMissing = true;
        }
        if (settings_.MailFooter != 0) {
            if (std::optional<std::string> lines = ReadIncludeLines(paths_.Resolve(settings_.MailFooterFile)))
                footer_ = IncludeBlock("Footer", *lines);
            else
                result.footerMissing = true;
        }
    }

    bool DecodesMime() const { return settings_.MimeDecode != 0; }

    // Writes the page of mail, whose archive file is archive, into out.
    // False when the archive could not be read to its end.
    bool Write(const MailRecord& mail, Archive& archive, const PageOut& out) const
    {
        std::string page;
        const bool read = settings_.MailCreateType == 0 ? BuildStandard(mail, archive, page, out)
                                                        : BuildFromTemplate(mail, archive, page, out);
        out(page);
        return read;
    }

private:
    // The link to a related mail's page; none without that mail or when its
    // stored name can have no page.
    std::optional<std::string> LinkTo(const MailRecord* related) const
    {
        if (related == nullptr || !IsUsableFileName(related->fileName))
            return std::nullopt;
        return paths_.PageLinkFromMail(*related);
    }

    void AppendLinkOrText(std::string& page, const MailRecord* related, bool needsPage, std::string_view label) const
    {
        const std::optional<std::string> link = needsPage && related && related->outputHtml == 0
                                                    ? std::nullopt
                                                    : LinkTo(related);
        if (link)
            page.append("<A HREF=").append(*link).append(">").append(label).append("</A>");
        else
            page.append(label);
    }

    void AppendLinkBar(const MailRecord& mail, std::string& page) const
    {
        page.append("<CENTER>\n");
        if (indexLink_)
            page.append("<A HREF=").append(*indexLink_).append(">[TOP]</A><BR>");
        else
            page.append("[TOP]<BR>");
        AppendLinkOrText(page, mail.parent, false, kParentLabel);
        AppendLinkOrText(page, mail.firstChild, true, kChildLabel);
        AppendLinkOrText(page, mail.nextSibling, true, kNextLabel);
        AppendLinkOrText(page, mail.prevSibling, true, kPrevLabel);
        page.append("<HR>\n</CENTER>\n");
    }

    bool BuildStandard(const MailRecord& mail, Archive& archive, std::string& page, const PageOut& out) const
    {
        const std::string caption = MailCaption(settings_, mail);
        page.append(GeneratorComment());
        page.append(PageHeadStart(settings_));
        page.append("<TITLE>").append(caption).append("</TITLE>\n</HEAD>\n");
        page.append(bodyTag_);
        page.append(header_);
        if (settings_.MailBaseFont != 0)
            page.append("<BASEFONT SIZE=").append(std::to_string(settings_.MailBaseFontSize)).append(">\n");
        if (settings_.DispLink != 0)
            AppendLinkBar(mail, page);
        if (settings_.DispSubject != 0)
            page.append("Subject: ").append(caption).append("<BR>\n<HR>\n");
        const bool read = archive.AppendBody(page, out);
        page.append(footer_);
        page.append("</BODY>\n</HTML>\n");
        return read;
    }

    void AppendTagLink(std::string& page, const std::optional<std::string>& link) const
    {
        if (link)
            page.append("<A HREF=").append(*link).append(">");
    }

    bool BuildFromTemplate(const MailRecord& mail, Archive& archive, std::string& page, const PageOut& out) const
    {
        bool read = true;
        for (const InsertSegment& segment : segments_) {
            page.append(segment.text);
            switch (segment.kind) {
            case TemplateSegmentKind::Text:
                break;
            case TemplateSegmentKind::Body:
                read = archive.AppendBody(page, out) && read;
                break;
            case TemplateSegmentKind::Subject:
                page.append(MailCaption(settings_, mail));
                break;
            case TemplateSegmentKind::Parent:
                AppendTagLink(page, LinkTo(mail.parent));
                break;
            case TemplateSegmentKind::Child:
                AppendTagLink(page, LinkTo(mail.firstChild));
                break;
            case TemplateSegmentKind::Next:
                AppendTagLink(page, LinkTo(mail.nextSibling));
                break;
            case TemplateSegmentKind::Prev:
                AppendTagLink(page, LinkTo(mail.prevSibling));
                break;
            case TemplateSegmentKind::Index:
                AppendTagLink(page, indexLink_);
                break;
            }
        }
        return read;
    }

    const ProjectSettings& settings_;
    const OutputPaths& paths_;
    std::optional<std::string> indexLink_;
    std::string bodyTag_;
    std::string header_;
    std::string footer_;
    std::vector<InsertSegment> segments_;
};

// A file the run writes besides the pages, given as its folder's identity
// and its name, so that a page under another spelling of the same folder
// is still recognised.
struct OtherOutput {
    std::string path;
    std::optional<platform::FileIdentity> folder;
    std::string name;
};

// The index page and the graphic copies this run writes.
std::vector<OtherOutput> OtherOutputs(const ProjectSettings& settings, const OutputPaths& paths)
{
    std::vector<std::string> files;
    if (settings.IndexCreateType == 0 || settings.IndexCreateType == 1)
        files.push_back(paths.IndexFileFullPath());
    if (settings.DrawGraphic != 0) {
        for (const std::string* graphic : {&settings.FirstTree, &settings.ContTree, &settings.LastTree,
                                           &settings.NextTree, &settings.NullTree})
            files.push_back(paths.TreeGraphicCopyPath(*graphic));
    }
    if (settings.IndexBackGround != 0)
        files.push_back(paths.IndexBackgroundCopyPath());
    if (settings.MailBackGround != 0)
        files.push_back(paths.MailBackgroundCopyPath());
    std::vector<OtherOutput> outputs;
    for (std::string& file : files) {
        const std::string name = FileNamePart(file, paths.style());
        const std::string folder = file.substr(0, file.size() - name.size());
        outputs.push_back({std::move(file), platform::IdentityOf(folder.empty() ? "." : folder), name});
    }
    return outputs;
}

bool IsOtherOutput(const std::vector<OtherOutput>& outputs, const std::string& pagePath,
                   const std::optional<platform::FileIdentity>& pageFolder, const std::string& pageName)
{
    return std::any_of(outputs.begin(), outputs.end(), [&](const OtherOutput& output) {
        return output.path == pagePath || (pageFolder && output.folder == pageFolder && output.name == pageName);
    });
}

// Decides, before anything is written, which mails are to get a page and
// where. A page is never written over the archive file of any mail of the
// list (that would destroy the mail), nor over the index page or a graphic
// copy. Of mails that share a page name each writes it in list order, so
// the last one whose archive can be read has it; the sharing is reported.
std::vector<PlannedPage> PlanPages(const ProjectSettings& settings, const OutputPaths& paths,
                                   const std::string& mailFolder)
{
    const MailList& mails = settings.mailList;
    std::vector<PlannedPage> plans(mails.size());
    const std::optional<platform::FileIdentity> pageFolderId = platform::IdentityOf(mailFolder);
    const std::optional<platform::FileIdentity> archiveFolderId =
        platform::IdentityOf(paths.Resolve(settings.TargetPath));
    const bool sharedFolder = pageFolderId && archiveFolderId && *pageFolderId == *archiveFolderId;
    std::unordered_set<std::string_view> archiveNames;
    if (sharedFolder) {
        for (const auto& mail : mails)
            archiveNames.insert(mail->fileName);
    }
    const std::vector<OtherOutput> otherOutputs = OtherOutputs(settings, paths);
    // Keys point into plans, which never grows.
    std::unordered_map<std::string_view, std::size_t> pageOwners;
    // One listing of the page folder instead of a lookup per page.
    const std::optional<std::unordered_set<std::string>> existing = platform::NativeNamesIn(mailFolder);

    for (std::size_t i = 0; i < mails.size(); ++i) {
        const MailRecord& mail = *mails[i];
        PlannedPage& plan = plans[i];
        if (mail.outputHtml == 0) {
            plan.decided = Outcome::SwitchedOff;
            continue;
        }
        if (!IsUsableFileName(mail.fileName)) {
            plan.decided = Outcome::UnusableName;
            continue;
        }
        plan.name = paths.PageFileName(mail);
        plan.absent = existing && !existing->contains(platform::NativePath(plan.name));
        if (sharedFolder && archiveNames.contains(plan.name)) {
            plan.decided = Outcome::ClashesWithArchive;
        } else if (IsOtherOutput(otherOutputs, JoinPath(mailFolder, plan.name), pageFolderId, plan.name)) {
            plan.decided = Outcome::ClashesWithOutput;
        } else if (const auto [owner, added] = pageOwners.try_emplace(plan.name, i); !added) {
            plans[owner->second].laterMail = i;
            plans[owner->second].shared = plan.shared = true;
            owner->second = i;
        }
    }
    // The first of mails sharing a page makes it; the others find it there.
    for (PlannedPage& plan : plans)
        plan.absent = plan.absent && !plan.shared;
    return plans;
}

// Opens the archive of mail; the outcome for the mail instead when there is
// none to read.
std::variant<Archive, PageOutcome> OpenArchive(const MailRecord& mail, const OutputPaths& paths)
{
    platform::FileError error;
    std::optional<platform::ReadableFile> file = platform::OpenReadable(paths.MailSourcePath(mail), error);
    if (!file) {
        if (error.code == ENOENT)
            return PageOutcome{Outcome::MissingArchive, {}};
        return PageOutcome{Outcome::UnreadableArchive, platform::ReasonText(error)};
    }
    return Archive(std::move(*file));
}

PageOutcome Unreadable(const Archive& archive)
{
    return {Outcome::UnreadableArchive, platform::ReasonText({archive.error(), false})};
}

// Saves the attachments, then puts the page in place: a page in place never
// links to files that are not there yet.
PageOutcome Finish(platform::OutputFile& out, const std::optional<MimePageBody>& mimeBody, std::string_view pagePath)
{
    PageOutcome outcome;
    if (mimeBody)
        mimeBody->SaveAttachments(pagePath, outcome.attachmentsNotSaved);
    switch (out.Commit()) {
    case platform::OutputFile::Outcome::Written:
        outcome.outcome = Outcome::Written;
        break;
    case platform::OutputFile::Outcome::Unchanged:
        outcome.outcome = Outcome::Unchanged;
        break;
    case platform::OutputFile::Outcome::Failed:
        outcome.outcome = Outcome::PageNotWritten;
        outcome.reason = out.Error();
        break;
    }
    return outcome;
}

// Builds the page of a large archive while writing it. A mail whose archive
// cannot be read to its end leaves any existing page as it was.
PageOutcome StreamPage(const MailRecord& mail, Archive& archive, const PlannedPage& plan, const std::string& pagePath,
                       const PageBuilder& builder)
{
    if (builder.DecodesMime() && !archive.Decode(plan.name))
        return Unreadable(archive);
    platform::OutputFile out(pagePath, platform::OutputFile::Mode::Text);
    if (!builder.Write(mail, archive, [&out](std::string_view bytes) { out.Write(bytes); })) {
        out.Discard();
        return Unreadable(archive);
    }
    return Finish(out, archive.mimeBody(), pagePath);
}

// A page built ahead of its writing, or what settled the mail without one.
struct BuiltPage {
    std::optional<PageOutcome> outcome;
    std::string text;  // with CR LF line ends
    std::optional<MimePageBody> mimeBody;
    // An archive too large to hold its page in memory, left open for the
    // writer, which builds the page as it writes it.
    std::optional<Archive> largeArchive;
};

// Reads the archive of a planned mail and builds its page in memory.
// Writes nothing, so it may run ahead of the writing. A page that already
// holds these bytes is settled as unchanged here, unless another mail
// shares it (the writer may still be about to replace it) or attachments
// belong to it (they are saved whether or not the page changed).
BuiltPage BuildPage(const MailRecord& mail, const PlannedPage& plan, const std::string& pageFolder,
                    const PageBuilder& builder, const OutputPaths& paths)
{
    BuiltPage page;
    if (plan.decided) {
        page.outcome = PageOutcome{*plan.decided, {}};
        return page;
    }
    std::variant<Archive, PageOutcome> opened = OpenArchive(mail, paths);
    if (PageOutcome* const failed = std::get_if<PageOutcome>(&opened)) {
        page.outcome = std::move(*failed);
        return page;
    }
    Archive& archive = std::get<Archive>(opened);
    if (archive.size() > kHeldArchiveLimit) {
        page.largeArchive.emplace(std::move(archive));
        return page;
    }
    if (builder.DecodesMime() && !archive.Decode(plan.name)) {
        page.outcome = Unreadable(archive);
        return page;
    }
    page.text.reserve(static_cast<std::size_t>(archive.size()) + 2048);
    if (!builder.Write(mail, archive, [&page](std::string_view bytes) { platform::AppendCrlf(bytes, page.text); })) {
        page.outcome = Unreadable(archive);
        return page;
    }
    page.mimeBody = archive.TakeMimeBody();
    if (!plan.absent && !plan.shared && !(page.mimeBody && page.mimeBody->HasAttachments()) &&
        platform::HoldsExactly(JoinPath(pageFolder, plan.name), page.text))
        page.outcome = PageOutcome{Outcome::Unchanged, {}};
    return page;
}

// Writes a built page into its place, pagePath.
PageOutcome WritePage(BuiltPage& page, const MailRecord& mail, const PlannedPage& plan, const std::string& pagePath,
                      const PageBuilder& builder)
{
    if (page.outcome)
        return std::move(*page.outcome);
    if (page.largeArchive)
        return StreamPage(mail, *page.largeArchive, plan, pagePath, builder);
    platform::OutputFile out(pagePath, platform::OutputFile::Mode::Binary,
                             plan.absent ? platform::OutputFile::Target::Absent : platform::OutputFile::Target::Unknown);
    out.Write(page.text);
    return Finish(out, page.mimeBody, pagePath);
}

unsigned PageThreads(const MailPageOptions& options, std::size_t mailCount)
{
    unsigned threads = options.threads;
    // The writing thread mostly waits for the file system, so every core
    // gets a builder besides it.
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency()) + 1;
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(mailCount, 1)));
}

// What the run came to, mail by mail: the outcome of each, and the
// details of the few that have any.
struct RunOutcomes {
    explicit RunOutcomes(std::size_t mails) : outcome(mails, Outcome::NotHandled) {}

    void Set(std::size_t i, PageOutcome page)
    {
        outcome[i] = page.outcome;
        if (!page.reason.empty() || !page.attachmentsNotSaved.empty())
            details.emplace(i, std::move(page));
    }

    std::vector<Outcome> outcome;
    std::map<std::size_t, PageOutcome> details;
};

void Collect(const MailList& mails, const std::vector<PlannedPage>& plans, const std::string& pageFolder,
             const RunOutcomes& outcomes, MailPageResult& result)
{
    static const PageOutcome kNoDetails;
    for (std::size_t i = 0; i < mails.size(); ++i) {
        const std::string& name = mails[i]->fileName;
        const PlannedPage& plan = plans[i];
        const auto found = outcomes.details.find(i);
        const PageOutcome& details = found == outcomes.details.end() ? kNoDetails : found->second;
        const auto path = [&] { return JoinPath(pageFolder, plan.name); };
        result.attachmentsNotSaved.insert(result.attachmentsNotSaved.end(), details.attachmentsNotSaved.begin(),
                                          details.attachmentsNotSaved.end());
        if (plan.laterMail && outcomes.outcome[i] != Outcome::NotHandled)
            result.pageNameClashes.push_back({name, path(), mails[*plan.laterMail]->fileName});
        switch (outcomes.outcome[i]) {
        case Outcome::NotHandled:
            break;
        case Outcome::SwitchedOff:
            ++result.pagesSwitchedOff;
            break;
        case Outcome::UnusableName:
            result.unusableFileNames.push_back(name);
            break;
        case Outcome::ClashesWithArchive:
            result.pagesClashingWithArchives.push_back(path());
            break;
        case Outcome::ClashesWithOutput:
            result.pageNameClashes.push_back({name, path(), {}});
            break;
        case Outcome::MissingArchive:
            result.missingArchives.push_back(name);
            break;
        case Outcome::UnreadableArchive:
            result.unreadableArchives.push_back({name, details.reason});
            break;
        case Outcome::PageNotWritten:
            result.pagesNotWritten.push_back({path(), details.reason});
            break;
        case Outcome::Written:
            ++result.pagesWritten;
            break;
        case Outcome::Unchanged:
            ++result.pagesUnchanged;
            break;
        }
    }
}

}  // namespace

MailPageResult WriteMailPages(const ProjectSettings& settings, const std::string& projectFolder,
                              JobProgress& progress, const StopFlag& stop, const MailPageOptions& options)
{
    MailPageResult result;
    if (settings.MailCreateType != 0 && settings.MailCreateType != 1)
        return result;

    const OutputPaths paths(settings, projectFolder);
    PageBuilder builder(settings, paths);
    if (settings.MailCreateType == 1) {
        if (!builder.LoadTemplate(paths.Resolve(settings.MailTemplateFile))) {
            result.templateMissing = true;
            return result;
        }
    } else {
        builder.LoadStandardParts(result);
    }

    const MailList& mails = settings.mailList;
    const std::string pageFolder = paths.MailFolderFullPath();
    const std::vector<PlannedPage> plans = PlanPages(settings, paths, pageFolder);
    RunOutcomes outcomes(mails.size());

    const unsigned threads = PageThreads(options, mails.size());
    // With more threads, the others build pages ahead and the calling
    // thread alone creates the files: threads creating files in one folder
    // only wait for each other's lock on it.
    const auto build = [&](std::size_t i) { return BuildPage(*mails[i], plans[i], pageFolder, builder, paths); };
    std::optional<platform::WorkAhead<BuiltPage>> queue;
    if (threads > 1)
        queue.emplace(mails.size(), threads - 1, build);
    for (std::size_t i = 0; i < mails.size(); ++i) {
        if (stop.load()) {
            result.stopped = true;
            break;
        }
        progress.Report(static_cast<int>(i + 1));
        BuiltPage page = queue ? queue->Take(i) : build(i);
        outcomes.Set(i, WritePage(page, *mails[i], plans[i], JoinPath(pageFolder, plans[i].name), builder));
    }
    queue.reset();

    Collect(mails, plans, pageFolder, outcomes, result);
    return result;
}

}  // namespace postloom
