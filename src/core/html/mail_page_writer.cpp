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

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <cerrno>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

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

// What is known of a mail before the run writes anything.
struct PlannedPage {
    // Set when the mail gets no page whatever its archive holds.
    std::optional<Outcome> decided;
    std::string path;
    // A later mail of the list has the same page, which it then replaces.
    std::optional<std::size_t> laterMail;
};

// What writing one page came to, with the system's reason on failure.
struct PageOutcome {
    PageOutcome() = default;
    PageOutcome(Outcome what, std::string why) : outcome(what), reason(std::move(why)) {}

    Outcome outcome = Outcome::NotHandled;
    std::string reason;
    std::vector<platform::FileProblem> attachmentsNotSaved;
};

// The page text is handed to the file in pieces of about this size.
constexpr std::size_t kPagePiece = 256 * 1024;

// The archive file of a mail, open for reading; its body is streamed into
// the page, once for every place that shows it. With MIME decoding the
// whole file is read and decoded once instead (see Decode).
class Archive {
public:
    explicit Archive(platform::FileHandle file) : file_(std::move(file)) {}

    // Reads the whole file and decodes it when it declares MIME; a mail that
    // does not keeps its bytes for AppendBody. False when the file could not
    // be read to its end.
    bool Decode(std::string_view pageName)
    {
        std::string bytes;
        std::uint64_t offset = 0;
        for (bool more = true; more;) {
            bytes.resize(static_cast<std::size_t>(offset) + 64 * 1024);
            if (!ReadAt(offset, bytes.data() + offset, bytes.size() - offset, more))
                return false;
        }
        bytes.resize(static_cast<std::size_t>(offset));
        mimeBody_ = MimePageBody::FromMailFile(bytes, pageName);
        if (!mimeBody_)
            wholeFile_ = std::move(bytes);
        return true;
    }

    const std::optional<MimePageBody>& mimeBody() const { return mimeBody_; }

    // Appends the escaped body to page, handing full pieces to out. False
    // when the file could not be read to its end.
    bool AppendBody(std::string& page, platform::OutputFile& out)
    {
        if (mimeBody_) {
            mimeBody_->AppendTo(page);
            return true;
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
            if (!more)
                break;
            escaper.Feed(std::string_view(raw.data(), static_cast<std::size_t>(offset - before)), page);
            if (page.size() >= kPagePiece) {
                out.Write(page);
                page.clear();
            }
        }
        escaper.Finish(page);
        return true;
    }

    int error() const { return error_; }

private:
    // One read of up to size bytes at offset into buffer; offset advances by
    // what was read, more turns false at the end of the file.
    bool ReadAt(std::uint64_t& offset, char* buffer, std::size_t size, bool& more)
    {
        const int fd = ::fileno(file_.get());
        for (;;) {
            const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error_ = errno;
                return false;
            }
            offset += static_cast<std::uint64_t>(n);
            more = n > 0;
            return true;
        }
    }

    platform::FileHandle file_;
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
    bool Write(const MailRecord& mail, Archive& archive, platform::OutputFile& out) const
    {
        std::string page;
        const bool read = settings_.MailCreateType == 0 ? BuildStandard(mail, archive, page, out)
                                                        : BuildFromTemplate(mail, archive, page, out);
        out.Write(page);
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

    bool BuildStandard(const MailRecord& mail, Archive& archive, std::string& page, platform::OutputFile& out) const
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

    bool BuildFromTemplate(const MailRecord& mail, Archive& archive, std::string& page,
                           platform::OutputFile& out) const
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
    std::unordered_map<std::string, std::size_t> pageOwners;

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
        const std::string pageName = paths.PageFileName(mail);
        plan.path = JoinPath(mailFolder, pageName);
        if (sharedFolder && archiveNames.contains(pageName)) {
            plan.decided = Outcome::ClashesWithArchive;
        } else if (IsOtherOutput(otherOutputs, plan.path, pageFolderId, pageName)) {
            plan.decided = Outcome::ClashesWithOutput;
        } else if (const auto [owner, added] = pageOwners.try_emplace(plan.path, i); !added) {
            plans[owner->second].laterMail = i;
            owner->second = i;
        }
    }
    return plans;
}

// Handles one mail whose page is planned. A mail whose archive cannot be
// read to its end leaves any existing page as it was.
PageOutcome WritePage(const MailRecord& mail, const PlannedPage& plan, const PageBuilder& builder,
                      const OutputPaths& paths)
{
    if (plan.decided)
        return {*plan.decided, {}};
    const std::string source = paths.MailSourcePath(mail);
    platform::FileError error;
    platform::FileHandle file = platform::OpenForReading(source, error);
    if (!file) {
        if (error.code == ENOENT)
            return {Outcome::MissingArchive, {}};
        return {Outcome::UnreadableArchive, platform::ReasonText(error)};
    }
    Archive archive(std::move(file));
    if (builder.DecodesMime() && !archive.Decode(FileNamePart(plan.path)))
        return {Outcome::UnreadableArchive, platform::ReasonText({archive.error(), false})};
    platform::OutputFile out(plan.path, platform::OutputFile::Mode::Text);
    if (!builder.Write(mail, archive, out)) {
        out.Discard();
        return {Outcome::UnreadableArchive, platform::ReasonText({archive.error(), false})};
    }
    PageOutcome outcome;
    // The attachments go first: a page in place never links to files that
    // are not there yet.
    if (archive.mimeBody())
        archive.mimeBody()->SaveAttachments(plan.path, outcome.attachmentsNotSaved);
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

// Writes the pages on several threads. Mails whose pages share a file name
// always go to the same thread, which handles its mails in list order, so
// the later mail's page wins as in a run on one thread. The calling thread
// reports the positions in order and releases each mail to the writers only
// after its report and after testing the stop flag; it stays a bounded
// number of mails ahead of the slowest writer, so the reports follow the
// writing.
class ParallelRun {
public:
    ParallelRun(const MailList& mails, const std::vector<PlannedPage>& plans, const PageBuilder& builder,
                const OutputPaths& paths, unsigned threads, std::vector<PageOutcome>& outcomes)
        : mails_(mails), plans_(plans), builder_(builder), paths_(paths), outcomes_(outcomes), owners_(mails.size()),
          cursors_(threads, 0)
    {
        const std::hash<std::string> hash;
        for (std::size_t i = 0; i < mails.size(); ++i)
            owners_[i] = static_cast<unsigned>(hash(plans[i].path) % threads);
    }

    // True when the stop flag ended the run early.
    bool Run(JobProgress& progress, const StopFlag& stop)
    {
        std::vector<std::jthread> writers;
        writers.reserve(cursors_.size());
        for (unsigned w = 0; w < cursors_.size(); ++w)
            writers.emplace_back([this, w] { Write(w); });
        // Lets the writers end before they are joined, also when a report throws.
        const ReleaseAllOnExit releaseAll{*this};

        bool stopped = false;
        const std::size_t window = 16 * cursors_.size();
        for (std::size_t i = 0; i < mails_.size(); ++i) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return i < SlowestCursor() + window; });
            }
            if (stop.load()) {
                stopped = true;
                break;
            }
            progress.Report(static_cast<int>(i + 1));
            {
                const std::lock_guard lock(mutex_);
                released_ = i + 1;
            }
            changed_.notify_all();
        }
        return stopped;
    }

private:
    struct ReleaseAllOnExit {
        ParallelRun& run;
        ~ReleaseAllOnExit()
        {
            {
                const std::lock_guard lock(run.mutex_);
                run.allReleased_ = true;
            }
            run.changed_.notify_all();
        }
    };

    std::size_t SlowestCursor() const { return *std::min_element(cursors_.begin(), cursors_.end()); }

    void Write(unsigned self)
    {
        std::size_t next = 0;
        for (;;) {
            std::size_t limit = 0;
            {
                std::unique_lock lock(mutex_);
                cursors_[self] = next;
                changed_.notify_all();
                changed_.wait(lock, [&] { return next < released_ || allReleased_; });
                if (next >= released_)
                    return;
                limit = released_;
            }
            for (; next < limit; ++next) {
                if (owners_[next] != self)
                    continue;
                outcomes_[next] = WritePage(*mails_[next], plans_[next], builder_, paths_);
                {
                    const std::lock_guard lock(mutex_);
                    cursors_[self] = next + 1;
                }
                changed_.notify_all();
            }
        }
    }

    const MailList& mails_;
    const std::vector<PlannedPage>& plans_;
    const PageBuilder& builder_;
    const OutputPaths& paths_;
    std::vector<PageOutcome>& outcomes_;  // each element written by its owner only
    std::vector<unsigned> owners_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::size_t> cursors_;  // per writer: every mail before it is done
    std::size_t released_ = 0;
    bool allReleased_ = false;
};

unsigned WriterThreads(const MailPageOptions& options, std::size_t mailCount)
{
    unsigned threads = options.writerThreads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(mailCount, 1)));
}

void Collect(const MailList& mails, const std::vector<PlannedPage>& plans, const std::vector<PageOutcome>& outcomes,
             MailPageResult& result)
{
    for (std::size_t i = 0; i < mails.size(); ++i) {
        const std::string& name = mails[i]->fileName;
        const PlannedPage& plan = plans[i];
        result.attachmentsNotSaved.insert(result.attachmentsNotSaved.end(), outcomes[i].attachmentsNotSaved.begin(),
                                          outcomes[i].attachmentsNotSaved.end());
        if (plan.laterMail && outcomes[i].outcome != Outcome::NotHandled)
            result.pageNameClashes.push_back({name, plan.path, mails[*plan.laterMail]->fileName});
        switch (outcomes[i].outcome) {
        case Outcome::NotHandled:
            break;
        case Outcome::SwitchedOff:
            ++result.pagesSwitchedOff;
            break;
        case Outcome::UnusableName:
            result.unusableFileNames.push_back(name);
            break;
        case Outcome::ClashesWithArchive:
            result.pagesClashingWithArchives.push_back(plan.path);
            break;
        case Outcome::ClashesWithOutput:
            result.pageNameClashes.push_back({name, plan.path, {}});
            break;
        case Outcome::MissingArchive:
            result.missingArchives.push_back(name);
            break;
        case Outcome::UnreadableArchive:
            result.unreadableArchives.push_back({name, outcomes[i].reason});
            break;
        case Outcome::PageNotWritten:
            result.pagesNotWritten.push_back({plan.path, outcomes[i].reason});
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
    const std::vector<PlannedPage> plans = PlanPages(settings, paths, paths.MailFolderFullPath());
    std::vector<PageOutcome> outcomes(mails.size());

    const unsigned threads = WriterThreads(options, mails.size());
    if (threads <= 1) {
        for (std::size_t i = 0; i < mails.size(); ++i) {
            if (stop.load()) {
                result.stopped = true;
                break;
            }
            progress.Report(static_cast<int>(i + 1));
            outcomes[i] = WritePage(*mails[i], plans[i], builder, paths);
        }
    } else {
        ParallelRun run(mails, plans, builder, paths, threads, outcomes);
        result.stopped = run.Run(progress, stop);
    }

    Collect(mails, plans, outcomes, result);
    return result;
}

}  // namespace postloom
