#include "core/html/mail_page_writer.h"

#include "core/html/mail_body.h"
#include "core/html/mime_page_body.h"
#include "core/html/modern/body_lines.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/mail_page.h"
#include "core/html/modern/month_pages_writer.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/modern/thread_page_plan.h"
#include "core/html/modern/thread_page_writer.h"
#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/html/site_cleanup.h"
#include "core/html/site_record.h"
#include "core/html/template_files.h"
#include "core/html/template_segments.h"
#include "core/html/text_helpers.h"
#include "core/platform/core_share.h"
#include "core/platform/digest.h"
#include "core/platform/file_stamp.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"
#include "core/platform/work_ahead.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <cerrno>
#include <string_view>
#include <system_error>
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
    NameTaken,
    ArchiveGone,
    MissingArchive,
    UnreadableArchive,
    PageNotWritten,
    Written,
    Unchanged,
};

// What is known of a mail before the run writes anything.
struct PageTask {
    // Set when the mail gets no page whatever its archive holds.
    std::optional<Outcome> decided;
    std::string name;
    // No file had the page's name when the run began: it is neither
    // compared nor looked up before it is made.
    bool absent = false;
    // What the site record says of the page, when it has it.
    const RecordedPage* recorded = nullptr;
    std::size_t position = 0;  // the mail's place in the list
};

// What writing one page came to, with the system's reason on failure.
struct PageOutcome {
    PageOutcome() = default;
    PageOutcome(Outcome what, std::string why) : outcome(what), reason(std::move(why)) {}

    Outcome outcome = Outcome::NotHandled;
    std::string reason;
    std::vector<platform::FileProblem> attachmentsNotSaved;
    // The page as the site record is to know it, once it is in place.
    std::optional<RecordedPage> recorded;
};

// The page text is handed on in pieces of about this size.
constexpr std::size_t kPagePiece = 256 * 1024;

// Where a page's text goes in pieces: its output file, or memory for a page
// built ahead of its writing.
using PageOut = std::function<void(std::string_view)>;

// The part of a modern mail page that its thread's page shows too (the
// mail's head and its body), where it lies in the text a page handed to its
// out, and the subject shown before it there.
struct ThreadArticleSpan {
    std::string subject;
    std::size_t fromStart = 0;  // bytes before it
    std::size_t fromEnd = 0;    // bytes after it
};

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

    // Appends the escaped body to page, its addresses hidden as hiding
    // says, handing full pieces to out. False when the file could not be
    // read to its end.
    bool AppendBody(std::string& page, const PageOut& out, AddressHiding hiding)
    {
        if (mimeBody_) {
            if (!mimeBody_->AppendTo(page, out, hiding))
                error_ = EIO;
            return error_ == 0;
        }
        MailBodyEscaper escaper(hiding);
        const bool read = FeedFile(
            page, out, [&](std::string_view raw) { escaper.Feed(raw, page); }, [&] { return escaper.Ended(); });
        if (read)
            escaper.Finish(page);
        return read;
    }

    // The same for a modern page: the body's lines as UTF-8 in their block,
    // or the decoded texts (AppendModernAttachments lists the attachments).
    bool AppendModernTexts(std::string& page, const PageOut& out, AddressHiding hiding)
    {
        if (mimeBody_) {
            if (!modern::AppendMimeTexts(*mimeBody_, hiding, page, out))
                error_ = EIO;
            return error_ == 0;
        }
        modern::BodyFormatter formatter(hiding);
        modern::ArchiveBodyLines lines;
        page.append(modern::kBodyStart);
        const bool read = FeedFile(
            page, out, [&](std::string_view raw) { lines.Feed(raw, formatter, page); }, [&] { return lines.Ended(); });
        if (read) {
            lines.Finish(formatter, page);
            page.append(modern::kBodyEnd);
        }
        return read;
    }

    void AppendModernAttachments(std::string& page) const
    {
        if (mimeBody_ && mimeBody_->HasAttachments())
            modern::AppendAttachmentList(mimeBody_->AttachmentLinks(), page);
    }

    int error() const { return error_; }

private:
    // Hands the file's bytes to feed: held whole, or read piece by piece
    // until its end or until ended() says the text ended, with full pieces
    // of the page handed to out. False when the file could not be read.
    template <class Feed, class Ended>
    bool FeedFile(std::string& page, const PageOut& out, const Feed& feed, const Ended& ended)
    {
        if (wholeFile_) {
            feed(*wholeFile_);
            return true;
        }
        // One read buffer per writer thread, not one per page.
        thread_local std::string raw(64 * 1024, '\0');
        for (std::uint64_t offset = 0; !ended();) {
            bool more = true;
            const std::uint64_t before = offset;
            if (!ReadAt(offset, raw.data(), raw.size(), more))
                return false;
            feed(std::string_view(raw.data(), static_cast<std::size_t>(offset - before)));
            if (page.size() >= kPagePiece) {
                out(page);
                page.clear();
            }
            if (!more)
                break;
        }
        return true;
    }

    // One read of up to size bytes at offset into buffer; offset advances by
    // what was read, more turns false at the end of the file: a read that
    // returns nothing, or a short one that reaches the size the file had
    // when it was opened (no second call just to see the end).
    bool ReadAt(std::uint64_t& offset, char* buffer, std::size_t size, bool& more)
    {
        const ssize_t n = platform::ReadAt(file_.fd.get(), offset, buffer, size);
        if (n < 0) {
            error_ = errno;
            return false;
        }
        offset += static_cast<std::uint64_t>(n);
        more = n > 0 && (static_cast<std::size_t>(n) == size || offset < file_.size);
        return true;
    }

    platform::ReadableFile file_;
    int error_ = 0;
    std::optional<MimePageBody> mimeBody_;
    std::optional<std::string> wholeFile_;
};

// Everything a page needs that is the same for every mail of one run.
class PageBuilder {
public:
    // keptArticles, when given, is where the mails on thread pages are kept
    // for those (see Keep).
    PageBuilder(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                const modern::ThreadPagePlan& threads, modern::KeptArticles* keptArticles)
        : settings_(settings), paths_(paths), plan_(plan), threads_(threads), keptArticles_(keptArticles),
          modern_(PageStyleOf(settings) == PageStyleKind::Modern && settings.MailCreateType == 0)
    {
        indexLink_ = paths.IndexLinkFromMail();
        if (modern_)
            FindThreadTops();
    }

    bool LoadTemplate(std::string_view templatePath)
    {
        const std::optional<std::string> text = ReadTextFile(templatePath);
        if (!text)
            return false;
        segments_ = ParseMailTemplate(*text, settings_);
        templateText_ = *text;
        return true;
    }

    // What every page of the run is made from besides its own mail: the
    // program, every setting, the index link, the BODY tag, the includes
    // or the template. Computed once, after the includes or the template
    // were read.
    void DigestRunInputs()
    {
        platform::Digest digest;
        digest.Add(POSTLOOM_VERSION);
        for (const SettingDefinition* setting : AllSettings()) {
            digest.Add(setting->key);
            std::visit(
                [&](auto member) {
                    using Value = std::remove_cvref_t<decltype(settings_.*member)>;
                    if constexpr (std::is_same_v<Value, std::string>)
                        digest.Add(settings_.*member);
                    else
                        digest.Add(static_cast<std::uint64_t>(static_cast<std::int64_t>(settings_.*member)));
                },
                setting->member);
        }
        digest.Add(paths_.MailFolderFullPath()).Add(indexLink_.value_or("")).Add(bodyTag_);
        digest.Add(header_).Add(footer_).Add(templateText_);
        runInputs_ = digest.Hex();
    }

    // Everything a mail's page is made from but its mail file: the run's
    // inputs, its names, its caption and the four links as they would be
    // written.
    std::string InputsOf(const MailRecord& mail, const PageTask& task) const
    {
        platform::Digest digest;
        digest.Add(runInputs_).Add(task.name).Add(mail.fileName).Add(MailCaption(settings_, mail));
        for (const MailRecord* related : {mail.parent, mail.firstChild, mail.nextSibling, mail.prevSibling}) {
            const std::optional<std::string> link = LinkTo(related);
            digest.Add(link ? "1" : "0").Add(link.value_or(""));
        }
        // A modern page shows the sender and the date whatever the caption
        // shows, and links the first mail of its thread and its place in
        // the thread's page.
        if (modern_) {
            const std::optional<std::string> top = ThreadTopLink(mail, task.position);
            digest.Add(mail.from).Add(std::to_string(mail.date)).Add(top ? "1" : "0").Add(top.value_or(""));
            digest.Add(threads_.LinkFromMail(task.position).value_or(""));
        }
        return digest.Hex();
    }

    // Reads both includes that are switched on; tells which could not be read.
    void LoadStandardParts(MailPageResult& result)
    {
        bodyTag_ = MailBodyTag(settings_, paths_.MailBackgroundUrl());
        header_ = Include(settings_.MailHeader, settings_.MailHeaderFile, "Header", result.headerMissing);
        footer_ = Include(settings_.MailFooter, settings_.MailFooterFile, "Footer", result.footerMissing);
        if (modern_) {
            std::optional<std::string> stylesheet;
            if (indexLink_)
                stylesheet = modern::StylesheetLinkFromMail(*indexLink_);
            layout_.emplace(settings_, std::move(stylesheet), header_, footer_);
        }
    }

    bool DecodesMime() const { return settings_.MimeDecode != 0; }

    // Writes the page of mail, at position in the list, whose archive file
    // is archive, into out, which writes every LF as CR LF. False when the
    // archive could not be read to its end. article, when given, gets where
    // the part of the page its thread page shows went, if that page is to
    // keep it.
    bool Write(const MailRecord& mail, std::size_t position, Archive& archive, const PageOut& out,
               std::optional<ThreadArticleSpan>* article = nullptr) const
    {
        std::string page;
        const bool read = modern_ ? BuildModern(mail, position, archive, page, out, article)
                          : settings_.MailCreateType == 0 ? BuildStandard(mail, archive, page, out)
                                                          : BuildFromTemplate(mail, archive, page, out);
        if (article && *article) {
            // The bytes around the span once their LFs are CR LF; only the
            // short top and bottom are counted, not the body. Line by line
            // through memchr: a byte by byte count costs several times more.
            const auto lfs = [&page](std::size_t from, std::size_t to) {
                std::size_t count = 0;
                const char* const end = page.data() + to;
                for (const char* at = page.data() + from;
                     (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) !=
                     nullptr;
                     ++at)
                    ++count;
                return count;
            };
            ThreadArticleSpan& span = **article;
            span.fromStart += lfs(0, span.fromStart);
            span.fromEnd += lfs(page.size() - span.fromEnd, page.size());
        }
        out(page);
        return read;
    }

    // Keeps the part of a mail page that its thread page shows, from the
    // text its Write handed to out (written) and where that Write said it
    // lies.
    void Keep(std::size_t position, const ThreadArticleSpan& article, std::string_view written) const
    {
        keptArticles_->Keep(position, article.subject,
                            written.substr(article.fromStart, written.size() - article.fromStart - article.fromEnd));
    }

private:
    // The include block of part, or nothing; missing is set when the include
    // is switched on but cannot be read. A modern page holds it as UTF-8.
    std::string Include(std::int32_t on, const std::string& file, std::string_view part, bool& missing) const
    {
        if (on == 0)
            return {};
        const std::optional<std::string> lines = ReadIncludeLines(paths_.Resolve(file));
        if (!lines) {
            missing = true;
            return {};
        }
        return modern_ ? modern::IncludeBlockUtf8(part, lines) : IncludeBlock(part, *lines);
    }

    // The first mail of every mail's thread, found once for the run: a
    // walk up from each mail would cost the square of a deep thread.
    void FindThreadTops()
    {
        const MailList& mails = settings_.mailList;
        std::unordered_map<const MailRecord*, std::size_t> position;
        position.reserve(mails.size());
        for (std::size_t i = 0; i < mails.size(); ++i)
            position.emplace(mails[i].get(), i);
        threadTops_.assign(mails.size(), nullptr);
        std::vector<std::size_t> path;
        for (std::size_t i = 0; i < mails.size(); ++i) {
            const MailRecord* top = nullptr;
            path.clear();
            for (std::size_t at = i;;) {
                if (threadTops_[at] != nullptr) {
                    top = threadTops_[at];
                    break;
                }
                path.push_back(at);
                const MailRecord* parent = mails[at]->parent;
                const auto found = parent == nullptr ? position.end() : position.find(parent);
                // A loop of parents (never made by the tree) ends the walk too.
                if (found == position.end() || path.size() > mails.size()) {
                    top = mails[at].get();
                    break;
                }
                at = found->second;
            }
            for (const std::size_t at : path)
                threadTops_[at] = top;
        }
    }

    // The link to the first mail of the thread, where the bar has none to
    // it already.
    std::optional<std::string> ThreadTopLink(const MailRecord& mail, std::size_t position) const
    {
        const MailRecord* top = threadTops_[position];
        if (top == &mail || top == mail.parent)
            return std::nullopt;
        return LinkTo(top);
    }

    bool BuildModern(const MailRecord& mail, std::size_t position, Archive& archive, std::string& page,
                     const PageOut& out, std::optional<ThreadArticleSpan>* article) const
    {
        const modern::MailPageLinks links{indexLink_,
                                          ThreadTopLink(mail, position),
                                          LinkTo(mail.parent),
                                          LinkTo(mail.firstChild),
                                          LinkTo(mail.nextSibling),
                                          LinkTo(mail.prevSibling),
                                          threads_.LinkFromMail(position)};
        std::string subject = modern::SubjectHtml(settings_, mail);
        layout_->AppendTop(subject, links, page);
        const bool keep = article && keptArticles_ && threads_.Shows(position);
        const std::size_t headStart = page.size();
        modern::AppendMailHead(settings_, mail, page);
        bool handedOn = false;
        const PageOut watched = [&](std::string_view piece) {
            handedOn = true;
            out(piece);
        };
        const bool read = archive.AppendModernTexts(page, keep ? watched : out, AddressHidingOf(settings_));
        const std::size_t bodyEnd = page.size();
        archive.AppendModernAttachments(page);
        layout_->AppendBottom(page);
        // A body that went out piece by piece is too large to keep.
        if (read && keep && !handedOn)
            article->emplace(ThreadArticleSpan{std::move(subject), headStart, page.size() - bodyEnd});
        return read;
    }

    // The link to a related mail's page; none without that mail or when it
    // has no page on the site.
    std::optional<std::string> LinkTo(const MailRecord* related) const
    {
        if (!plan_.HasPage(related))
            return std::nullopt;
        return paths_.PageLinkFromMail(*related);
    }

    void AppendLinkOrText(std::string& page, const MailRecord* related, std::string_view label) const
    {
        const std::optional<std::string> link = LinkTo(related);
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
        AppendLinkOrText(page, mail.parent, kParentLabel);
        AppendLinkOrText(page, mail.firstChild, kChildLabel);
        AppendLinkOrText(page, mail.nextSibling, kNextLabel);
        AppendLinkOrText(page, mail.prevSibling, kPrevLabel);
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
        const bool read = archive.AppendBody(page, out, AddressHidingOf(settings_));
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
                read = archive.AppendBody(page, out, AddressHidingOf(settings_)) && read;
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
    const SitePlan& plan_;
    const modern::ThreadPagePlan& threads_;
    modern::KeptArticles* keptArticles_;
    std::optional<std::string> indexLink_;
    std::string bodyTag_;
    std::string header_;
    std::string footer_;
    std::vector<InsertSegment> segments_;
    std::string templateText_;
    std::string runInputs_;
    const bool modern_;
    std::optional<modern::MailPageLayout> layout_;
    std::vector<const MailRecord*> threadTops_;  // by position in the list
};

// The outcome of a mail the plan gives no page.
Outcome OutcomeOf(NoPageReason reason)
{
    switch (reason) {
    case NoPageReason::SwitchedOff: return Outcome::SwitchedOff;
    case NoPageReason::UnusableName: return Outcome::UnusableName;
    case NoPageReason::ArchiveGone: return Outcome::ArchiveGone;
    case NoPageReason::ClashesWithArchive: return Outcome::ClashesWithArchive;
    case NoPageReason::ClashesWithOutput: return Outcome::ClashesWithOutput;
    case NoPageReason::NameTaken: return Outcome::NameTaken;
    }
    return Outcome::NotHandled;
}

// Looks up the pages of a site record in about the order of its names, as
// the plan's page names mostly come: the entry after the one found before
// is tried ahead of a search of the map.
class RecordedPageFinder {
public:
    explicit RecordedPageFinder(const SiteRecord& record) : pages_(record.pages), next_(pages_.begin()) {}

    const std::pair<const std::string, RecordedPage>* Find(const std::string& name)
    {
        const auto found = next_ != pages_.end() && next_->first == name ? next_ : pages_.find(name);
        if (found == pages_.end())
            return nullptr;
        next_ = std::next(found);
        return &*found;
    }

private:
    const std::map<std::string, RecordedPage>& pages_;
    std::map<std::string, RecordedPage>::const_iterator next_;
};

// The tasks of the run: the plan's decisions, what the page folder held
// and what the site record knows of each page.
std::vector<PageTask> TasksOf(const SitePlan& plan, const SiteRecord* record)
{
    std::optional<RecordedPageFinder> recorded;
    if (record)
        recorded.emplace(*record);
    std::vector<PageTask> tasks(plan.size());
    const std::optional<std::unordered_set<std::string>>& existing = plan.pageFolderNames();
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedPage& planned = plan[i];
        PageTask& task = tasks[i];
        task.name = planned.name;
        task.position = i;
        if (planned.noPage) {
            task.decided = OutcomeOf(*planned.noPage);
            continue;
        }
        // A page taken for absent is never compared: any doubt counts as there.
        task.absent = existing && !existing->contains(task.name) &&
                      !existing->contains(platform::NativePath(task.name));
        if (recorded) {
            if (const auto* found = recorded->Find(task.name))
                task.recorded = &found->second;
        }
    }
    return tasks;
}

// Opens the archive of a mail at archivePath; the outcome for the mail
// instead when there is none to read.
std::variant<Archive, PageOutcome> OpenArchive(const std::string& archivePath)
{
    platform::FileError error;
    std::optional<platform::ReadableFile> file = platform::OpenReadable(archivePath, error);
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

// What a page is made from, as the site record keeps it.
struct PageInputs {
    // The mail file when the page was started; none when it could not be
    // looked at (the page is then never taken for unchanged).
    std::optional<platform::FileStamp> archive;
    std::string digest;  // everything else (PageBuilder::InputsOf)
};

// The record of a page in place at its path, and of those of its
// attachments that are there.
// pageStamp: the page's stamp where the writer knows it already.
std::optional<RecordedPage> RecordOf(const MailRecord& mail, const PageTask& task, const PageInputs& inputs,
                                     const std::string& pageFolder, const std::optional<MimePageBody>& mimeBody,
                                     bool madeFolder, std::optional<platform::FileStamp> pageStamp = std::nullopt)
{
    const std::optional<platform::FileStamp> stamp =
        pageStamp ? pageStamp : platform::OutputStamp(JoinPath(pageFolder, task.name));
    if (!stamp)
        return std::nullopt;
    RecordedPage page{mail.fileName, inputs.archive.value_or(platform::FileStamp{}), inputs.digest, *stamp, {},
                      madeFolder};
    if (mimeBody) {
        for (std::string& file : mimeBody->AttachmentPaths()) {
            if (const std::optional<platform::FileStamp> saved = platform::OutputStamp(JoinPath(pageFolder, file)))
                page.attachments.push_back({std::move(file), *saved});
        }
    }
    return page;
}

// True when the page the record knows was made from exactly these inputs
// and its files are still in place: then it is what building it again
// would give.
bool StillInPlace(const RecordedPage& recorded, const SurveyedPage& found, const MailRecord& mail,
                  const PageInputs& inputs)
{
    return inputs.archive && recorded.archive == *inputs.archive && recorded.mailFile == mail.fileName &&
           recorded.inputs == inputs.digest && found.filesInPlace;
}

// Saves the attachments, then puts the page in place: a page in place never
// links to files that are not there yet.
PageOutcome Finish(platform::OutputFile& out, const std::optional<MimePageBody>& mimeBody, const MailRecord& mail,
                   const PageTask& task, const PageInputs& inputs, const std::string& pageFolder)
{
    PageOutcome outcome;
    bool madeFolder = task.recorded && task.recorded->madeFolder;
    if (mimeBody && mimeBody->HasAttachments()) {
        const std::string folder = JoinPath(pageFolder, AttachmentFolderOf(task.name));
        madeFolder = madeFolder || platform::TypeOf(folder) == platform::EntryType::Missing;
        mimeBody->SaveAttachments(JoinPath(pageFolder, task.name), outcome.attachmentsNotSaved);
    }
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
        return outcome;
    }
    outcome.recorded = RecordOf(mail, task, inputs, pageFolder, mimeBody, madeFolder, out.Stamp());
    return outcome;
}

// Builds the page of a large archive while writing it. A mail whose archive
// cannot be read to its end leaves any existing page as it was.
PageOutcome StreamPage(const MailRecord& mail, Archive& archive, const PageTask& task, const PageInputs& inputs,
                       const std::string& pageFolder, const PageBuilder& builder)
{
    if (builder.DecodesMime() && !archive.Decode(task.name))
        return Unreadable(archive);
    platform::OutputFile out(JoinPath(pageFolder, task.name), platform::OutputFile::Mode::Text);
    if (!builder.Write(mail, task.position, archive, [&out](std::string_view bytes) { out.Write(bytes); })) {
        out.Discard();
        return Unreadable(archive);
    }
    return Finish(out, archive.mimeBody(), mail, task, inputs, pageFolder);
}

// A page built ahead of its writing, or what settled the mail without one.
struct BuiltPage {
    std::optional<PageOutcome> outcome;
    PageInputs inputs;
    std::string text;  // with CR LF line ends
    std::optional<MimePageBody> mimeBody;
    // An archive too large to hold its page in memory, left open for the
    // writer, which builds the page as it writes it.
    std::optional<Archive> largeArchive;
};

// Reads the archive of a planned mail and builds its page in memory.
// Writes nothing, so it may run ahead of the writing. A page that already
// holds these bytes is settled as unchanged here, unless attachments belong
// to it (they are saved whether or not the page changed).
BuiltPage BuildPage(const MailRecord& mail, const PageTask& task, PageInputs inputs, const std::string& mailFolder,
                    const std::string& pageFolder, const PageBuilder& builder)
{
    BuiltPage page;
    page.inputs = std::move(inputs);
    const std::string archivePath = JoinPath(mailFolder, mail.fileName);
    std::variant<Archive, PageOutcome> opened = OpenArchive(archivePath);
    if (PageOutcome* const failed = std::get_if<PageOutcome>(&opened)) {
        page.outcome = std::move(*failed);
        return page;
    }
    Archive& archive = std::get<Archive>(opened);
    if (archive.size() > kHeldArchiveLimit) {
        page.largeArchive.emplace(std::move(archive));
        return page;
    }
    if (builder.DecodesMime() && !archive.Decode(task.name)) {
        page.outcome = Unreadable(archive);
        return page;
    }
    page.text.reserve(static_cast<std::size_t>(archive.size()) + 2048);
    std::optional<ThreadArticleSpan> article;
    if (!builder.Write(
            mail, task.position, archive, [&page](std::string_view bytes) { platform::AppendCrlf(bytes, page.text); },
            &article)) {
        page.outcome = Unreadable(archive);
        return page;
    }
    if (article)
        builder.Keep(task.position, *article, page.text);
    page.mimeBody = archive.TakeMimeBody();
    if (!task.absent && !(page.mimeBody && page.mimeBody->HasAttachments()) &&
        platform::HoldsExactly(JoinPath(pageFolder, task.name), page.text)) {
        page.outcome = PageOutcome{Outcome::Unchanged, {}};
        page.outcome->recorded =
            RecordOf(mail, task, page.inputs, pageFolder, std::nullopt, task.recorded && task.recorded->madeFolder);
    }
    return page;
}

// Writes a built page into its place in pageFolder.
PageOutcome WritePage(BuiltPage& page, const MailRecord& mail, const PageTask& task, const std::string& pageFolder,
                      const PageBuilder& builder)
{
    if (page.outcome)
        return std::move(*page.outcome);
    if (page.largeArchive)
        return StreamPage(mail, *page.largeArchive, task, page.inputs, pageFolder, builder);
    platform::OutputFile out(JoinPath(pageFolder, task.name), platform::OutputFile::Mode::Binary,
                             task.absent ? platform::OutputFile::Target::Absent : platform::OutputFile::Target::Unknown);
    out.WriteMoved(std::move(page.text));
    return Finish(out, page.mimeBody, mail, task, page.inputs, pageFolder);
}

// The pages settled before any is built: those the plan gives none, and
// those the site record knows as made from the same inputs and that are
// still in place as they were written. Deciding these in a few long runs
// of mails, each file looked up from its open folder, costs far less than
// handing them to the builders one by one.
struct Settled {
    std::vector<PageInputs> inputs;  // by mail, of the pages to build
    std::vector<std::size_t> toBuild;  // the mails whose pages are built, in order
};

Settled Settle(const MailList& mails, const std::vector<PageTask>& tasks, const SiteSurvey& survey,
               const PageBuilder& builder, unsigned threads)
{
    Settled settled;
    settled.inputs.resize(mails.size());
    std::vector<char> build(mails.size(), 0);
    const platform::FolderStamps mailStamps(survey.places().mailFolder);
    const auto settleRun = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const PageTask& task = tasks[i];
            if (task.decided)
                continue;
            PageInputs& inputs = settled.inputs[i];
            const MailRecord& mail = *mails[i];
            // The survey looked at the mail file the record names.
            const SurveyedPage* found = task.recorded ? &survey.Of(*task.recorded) : nullptr;
            inputs.archive = found && task.recorded->mailFile == mail.fileName ? found->archive
                                                                               : mailStamps.Input(mail.fileName);
            inputs.digest = builder.InputsOf(mail, task);
            build[i] = !found || !StillInPlace(*task.recorded, *found, mail, inputs);
        }
    };
    platform::ShareAmongCores(mails.size(), threads, settleRun);
    for (std::size_t i = 0; i < mails.size(); ++i) {
        if (build[i])
            settled.toBuild.push_back(i);
    }
    return settled;
}

// The outcome of a mail settled before the building.
PageOutcome SettledOutcome(const PageTask& task)
{
    if (task.decided)
        return PageOutcome{*task.decided, {}};
    PageOutcome outcome{Outcome::Unchanged, {}};
    outcome.recorded = *task.recorded;
    return outcome;
}

unsigned PageThreads(const MailPageOptions& options, std::size_t mailCount)
{
    unsigned threads = options.threads;
    // The writing thread mostly waits for the file system, so every core
    // gets a builder besides it.
    if (threads == 0)
        threads = platform::CoreCount() + 1;
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(mailCount, 1)));
}

// What the run came to, mail by mail: the outcome of each, the record of
// each page in place, and the details of the few that have any.
struct RunOutcomes {
    explicit RunOutcomes(std::size_t mails) : outcome(mails, Outcome::NotHandled), recorded(mails) {}

    void Set(std::size_t i, PageOutcome page)
    {
        outcome[i] = page.outcome;
        recorded[i] = std::move(page.recorded);
        if (!page.reason.empty() || !page.attachmentsNotSaved.empty())
            details.emplace(i, std::move(page));
    }

    std::vector<Outcome> outcome;
    std::vector<std::optional<RecordedPage>> recorded;
    std::map<std::size_t, PageOutcome> details;
};

void Collect(const MailList& mails, const SitePlan& plan, const std::string& pageFolder, const RunOutcomes& outcomes,
             MailPageResult& result)
{
    static const PageOutcome kNoDetails;
    for (std::size_t i = 0; i < mails.size(); ++i) {
        const std::string& name = mails[i]->fileName;
        const auto found = outcomes.details.find(i);
        const PageOutcome& details = found == outcomes.details.end() ? kNoDetails : found->second;
        const auto path = [&] { return JoinPath(pageFolder, plan[i].name); };
        result.attachmentsNotSaved.insert(result.attachmentsNotSaved.end(), details.attachmentsNotSaved.begin(),
                                          details.attachmentsNotSaved.end());
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
        case Outcome::NameTaken:
            result.pageNameClashes.push_back({name, path(), mails[plan[i].taker]->fileName});
            break;
        case Outcome::ArchiveGone:
            result.archivesGone.push_back(name);
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

// The site after the run: every page in place as this run made or found
// it. A page this run could not make keeps what the old record knew of
// it (its files are still there); after a stop every page of the old
// record is kept, as nothing is removed.
SiteRecord FreshRecord(const SitePlan& plan, const std::optional<SiteRecord>& old, RunOutcomes& outcomes,
                       bool stopped)
{
    SiteRecord fresh{plan.pageFolder(), {}};
    if (stopped && old)
        fresh.pages = old->pages;
    // Page names mostly follow the mail list's order: each goes in just
    // before the place after the one before, without a search of the map.
    auto after = fresh.pages.end();
    std::optional<RecordedPageFinder> earlier;
    if (old)
        earlier.emplace(*old);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (outcomes.recorded[i]) {
            after = std::next(fresh.pages.insert_or_assign(after, plan[i].name, std::move(*outcomes.recorded[i])));
        } else if (plan.HasPage(i) && earlier) {
            if (const auto* found = earlier->Find(plan[i].name))
                after = std::next(fresh.pages.emplace_hint(after, found->first, found->second));
        }
    }
    return fresh;
}

// The whole-thread pages once the mail pages are in place, as the record
// of this run knows them; a site without them loses those of earlier runs.
void WriteThreadPages(const ProjectSettings& settings, const OutputPaths& paths,
                      const modern::ThreadPagePlan& threads, const std::optional<SiteRecord>& old, SiteRecord& fresh,
                      unsigned workers, modern::KeptArticles& keptArticles, MailPageResult& result)
{
    modern::ThreadPagesResult pages =
        modern::WriteThreadPages(settings, paths, threads, old ? &*old : nullptr, fresh, workers, &keptArticles);
    result.threadPagesWritten = pages.written;
    result.threadPagesUnchanged = pages.unchanged;
    result.threadPagesRemoved = pages.removed;
    result.pagesNotWritten.insert(result.pagesNotWritten.end(), pages.notWritten.begin(), pages.notWritten.end());
    result.filesNotRemoved.insert(result.filesNotRemoved.end(), pages.notRemoved.begin(), pages.notRemoved.end());
}

// A site back in the classic style has no use for the stylesheet of its
// modern days: it goes when it is still the file written then. What the
// record is to keep of it: nothing once it is gone.
std::optional<platform::FileStamp> RemoveOldStylesheet(const std::string& indexFolder,
                                                       const platform::FileStamp& recorded, MailPageResult& result)
{
    const std::string path = JoinPath(indexFolder, modern::kStylesheetName);
    if (platform::OutputStamp(path) != recorded)
        return std::nullopt;
    if (platform::RemoveOutputFile(indexFolder, modern::kStylesheetName) != platform::Removal::Failed)
        return std::nullopt;
    result.stylesheetNotRemoved =
        platform::FileProblem{path, text::Utf8ToCp932(std::generic_category().message(errno))};
    return recorded;
}

}  // namespace

MailPageResult WriteMailPages(const ProjectSettings& settings, const std::string& projectFolder,
                              JobProgress& progress, const StopFlag& stop, const MailPageOptions& options)
{
    const SitePlan plan(settings, projectFolder);
    return WriteMailPages(settings, projectFolder, plan, progress, stop, options);
}


MailPageResult WriteMailPages(const ProjectSettings& settings, const std::string& projectFolder, const SitePlan& plan,
                              JobProgress& progress, const StopFlag& stop, const MailPageOptions& options)
{
    MailPageResult result;
    if (settings.MailCreateType != 0 && settings.MailCreateType != 1)
        return result;

    const OutputPaths paths(settings, projectFolder);
    const modern::ThreadPagePlan threadPages(settings, paths, plan);
    modern::KeptArticles keptArticles(threadPages.threads().empty() ? 0 : settings.mailList.size());
    PageBuilder builder(settings, paths, plan, threadPages, &keptArticles);
    if (settings.MailCreateType == 1) {
        if (!builder.LoadTemplate(paths.Resolve(settings.MailTemplateFile))) {
            result.templateMissing = true;
            return result;
        }
    } else {
        builder.LoadStandardParts(result);
    }
    builder.DigestRunInputs();

    // The stylesheet goes in place before any page that links it.
    std::optional<platform::FileStamp> stylesheet;
    if (PageStyleOf(settings) == PageStyleKind::Modern) {
        modern::StylesheetOutcome written = modern::WriteStylesheet(settings, paths);
        if (!written.stamp)
            result.stylesheetNotWritten = platform::FileProblem{
                JoinPath(paths.IndexFolder(), modern::kStylesheetName), std::move(written.error)};
        stylesheet = written.stamp;
    }

    const MailList& mails = settings.mailList;
    const std::string& pageFolder = plan.pageFolder();
    const SurveyPlaces places = SurveyPlacesOf(settings, projectFolder);
    const std::string& recordPath = places.recordPath;
    const std::string& mailFolder = places.mailFolder;
    const unsigned cores = options.threads != 0 ? options.threads : platform::CoreCount();
    std::unique_ptr<SiteSurvey> survey = options.survey ? options.survey->Take(places) : nullptr;
    if (!survey)
        survey = std::make_unique<SiteSurvey>(places, cores);
    const std::optional<SiteRecord>& old = survey->record();
    const std::vector<PageTask> tasks = TasksOf(plan, old ? &*old : nullptr);
    RunOutcomes outcomes(mails.size());

    Settled settled = Settle(mails, tasks, *survey, builder, cores);

    const unsigned threads = PageThreads(options, settled.toBuild.size());
    // With more threads, the others build pages ahead and the calling
    // thread alone creates the files: threads creating files in one folder
    // only wait for each other's lock on it.
    const auto build = [&](std::size_t k) {
        const std::size_t i = settled.toBuild[k];
        return BuildPage(*mails[i], tasks[i], settled.inputs[i], mailFolder, pageFolder, builder);
    };
    std::optional<platform::WorkAhead<BuiltPage>> queue;
    if (threads > 1 && settled.toBuild.size() > 1)
        queue.emplace(settled.toBuild.size(), threads - 1, build);
    for (std::size_t i = 0, k = 0; i < mails.size(); ++i) {
        if (stop.load()) {
            result.stopped = true;
            break;
        }
        progress.Report(static_cast<int>(i + 1));
        if (k == settled.toBuild.size() || settled.toBuild[k] != i) {
            outcomes.Set(i, SettledOutcome(tasks[i]));
            continue;
        }
        BuiltPage page = queue ? queue->Take(k) : build(k);
        ++k;
        outcomes.Set(i, WritePage(page, *mails[i], tasks[i], pageFolder, builder));
    }
    queue.reset();
    result.mailFileStamps.reserve(mails.size());
    for (PageInputs& inputs : settled.inputs)
        result.mailFileStamps.push_back(std::move(inputs.archive));

    Collect(mails, plan, pageFolder, outcomes, result);
    SiteRecord fresh = FreshRecord(plan, old, outcomes, result.stopped);
    fresh.stylesheet = stylesheet;
    // The views are kept by their own writer, after the pages.
    if (old)
        fresh.views = old->views;
    if (!stylesheet && old && old->stylesheet)
        fresh.stylesheet = result.stopped ? old->stylesheet
                                          : RemoveOldStylesheet(paths.IndexFolder(), *old->stylesheet, result);
    // Only a whole run knows every page the site holds; a site without a
    // record of its own removes nothing. What is no longer linked goes
    // before anything is made beside the pages, which may take the name of
    // an old page.
    std::optional<SiteCleanup> cleanup;
    if (!result.stopped && old)
        cleanup = RemoveUnlinkedFiles(*old, fresh, plan);
    // The rest of the site: the whole-thread pages, the month pages and the
    // record of the site.
    const auto finishSite = [&] {
        if (result.stopped) {
            if (old)
                fresh.threadPages = old->threadPages;
        } else {
            // The month pages and the feed need nothing of the thread pages
            // (nor touch their part of the record): they are made meanwhile,
            // on the time the thread pages leave the cores idle.
            MailPageResult views;
            {
                const std::jthread monthPages(
                    [&] { modern::WriteMonthPagesAndFeed(settings, paths, plan, fresh, views); });
                WriteThreadPages(settings, paths, threadPages, old, fresh,
                                 PageThreads(options, threadPages.threads().size()), keptArticles, result);
            }
            result.pagesNotWritten.insert(result.pagesNotWritten.end(), views.pagesNotWritten.begin(),
                                          views.pagesNotWritten.end());
            result.filesNotRemoved.insert(result.filesNotRemoved.end(), views.filesNotRemoved.begin(),
                                          views.filesNotRemoved.end());
            result.viewsRemoved = views.viewsRemoved;
        }
        if (cleanup) {
            result.pagesRemoved = cleanup->pagesRemoved;
            result.attachmentsRemoved = cleanup->attachmentsRemoved;
            result.filesNotRemoved.insert(result.filesNotRemoved.end(), cleanup->notRemoved.begin(),
                                          cleanup->notRemoved.end());
        }
        if (std::optional<std::string> error = SaveSiteRecord(recordPath, fresh))
            result.recordNotWritten = platform::FileProblem{recordPath, std::move(*error)};
    };
    if (result.stopped || !options.whenPagesInPlace) {
        finishSite();
    } else {
        // The work beside the pages stays on this thread, whose memory the
        // pages have made ready; the rest of the site goes to another. Of
        // the result, the work beside reads only the stamps, which the rest
        // leaves alone.
        const std::jthread rest(finishSite);
        options.whenPagesInPlace(result.mailFileStamps);
    }
    return result;
}

}  // namespace postloom
