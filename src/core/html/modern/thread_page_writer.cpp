#include "core/html/modern/thread_page_writer.h"

#include "core/html/mime_page_body.h"
#include "core/html/modern/body_formatter.h"
#include "core/html/modern/body_lines.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/mail_page.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/stylesheet.h"
#include "core/platform/digest.h"
#include "core/platform/file_stamp.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"
#include "core/platform/work_ahead.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace postloom::modern {

namespace {

constexpr std::size_t kPagePiece = 256 * 1024;

using TextOut = std::function<void(std::string_view)>;

// Where a page goes as it is built: the builder's own text, whose every LF
// is to be written as CR LF, and bytes taken as they were written before.
struct PageOut {
    TextOut text;
    TextOut written;
};

void FlushWhenLarge(std::string& page, const TextOut& out)
{
    if (page.size() >= kPagePiece) {
        out(page);
        page.clear();
    }
}

std::string SystemReason(int error)
{
    return text::Utf8ToCp932(std::generic_category().message(error));
}

struct ThreadInputs {
    std::string digest;
    std::uint64_t archiveBytes = 0;  // the size of its mail files
};

// What a thread page is made from: every mail it shows as the record of
// the mail's own page knows it (its inputs and its mail file), in order,
// with its depth, and the size of their mail files. nullopt when a mail's
// page is not in the record: such a page is written and not recorded, so
// the next run builds it again.
std::optional<ThreadInputs> InputsOf(const ThreadPageEntry& thread, const ProjectSettings& settings,
                                     const SitePlan& plan, const SiteRecord& fresh)
{
    platform::Digest digest;
    digest.Add(POSTLOOM_VERSION).Add(thread.name);
    std::uint64_t archiveBytes = 0;
    for (const ThreadMail& member : thread.mails) {
        const std::string& name = plan[member.mail].name;
        const auto found = fresh.pages.find(name);
        if (found == fresh.pages.end())
            return std::nullopt;
        const RecordedPage& page = found->second;
        digest.Add(name).Add(std::to_string(member.depth)).Add(page.inputs);
        digest.Add(std::to_string(page.archive.size)).Add(std::to_string(page.archive.modifiedNs));
        archiveBytes += page.archive.size;
    }
    digest.Add(std::to_string(settings.MimeDecode));
    return ThreadInputs{digest.Hex(), archiveBytes};
}

// The body of a mail read from its file piece by piece: the decoded texts
// of a MIME mail (its attachments stay on its own page), else its lines.
// The system's error when the file could not be read through.
int AppendBody(const std::string& archivePath, std::string_view pageName, bool decodeMime, AddressHiding hiding,
               std::string& page, const TextOut& out)
{
    platform::FileError error;
    const std::optional<platform::ReadableFile> file = platform::OpenReadable(archivePath, error);
    if (!file)
        return error.code != 0 ? error.code : EIO;
    if (decodeMime) {
        bool readFailed = false;
        const std::optional<MimePageBody> body = MimePageBody::FromOpenFile(file->fd.get(), pageName, readFailed);
        if (readFailed)
            return EIO;
        if (body)
            return AppendMimeTexts(*body, hiding, page, out) ? 0 : EIO;
    }
    BodyFormatter formatter(hiding);
    ArchiveBodyLines lines;
    page.append(kBodyStart);
    thread_local std::string raw(64 * 1024, '\0');
    for (std::uint64_t offset = 0; !lines.Ended();) {
        const ssize_t n = platform::ReadAt(file->fd.get(), offset, raw.data(), raw.size());
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        offset += static_cast<std::uint64_t>(n);
        lines.Feed(std::string_view(raw.data(), static_cast<std::size_t>(n)), formatter, page);
        FlushWhenLarge(page, out);
    }
    lines.Finish(formatter, page);
    page.append(kBodyEnd);
    return 0;
}

// The articles of a thread page as an earlier run wrote it, found as the
// file is read piece by piece, once. An article runs from after its opening
// tag (which holds the depth) to its end tag; every text inside it is
// escaped, so its markup is the program's own.
class EarlierArticles {
public:
    // Nothing to take when the page cannot be read.
    explicit EarlierArticles(const std::string& path)
    {
        platform::FileError error;
        file_ = platform::OpenReadable(path, error);
    }

    // The article of the mail with anchor as it was written (with CR LF
    // line ends), through its end tag. Articles read past on the way are
    // remembered by where they are, so a mail that comes later in the page
    // than now still finds its own.
    std::optional<std::string> Take(const std::string& anchor)
    {
        if (const auto passed = passed_.find(anchor); passed != passed_.end()) {
            const Range range = passed->second;
            passed_.erase(passed);
            std::string article(range.length, '\0');
            if (!file_ || !platform::ReadExactly(file_->fd.get(), range.offset, article.data(), range.length))
                return std::nullopt;
            return article;
        }
        while (std::optional<Found> article = Next()) {
            if (article->anchor == anchor)
                return std::string(buffer_, article->range.offset - bufferOffset_, article->range.length);
            passed_.emplace(std::move(article->anchor), article->range);
        }
        return std::nullopt;
    }

private:
    struct Range {
        std::uint64_t offset = 0;  // in the file
        std::size_t length = 0;
    };
    struct Found {
        std::string anchor;
        Range range;  // of the article, with CR LF line ends
    };

    static constexpr std::string_view kOpen = "<article class=\"thread-mail depth-";
    static constexpr std::string_view kClose = "</article>\r\n";
    // An article longer than this is not held: the page is given up.
    static constexpr std::size_t kArticleLimit = 8 * 1024 * 1024;

    // The next article of the file, whose bytes stay in buffer_ until the
    // next call; none at the end or when the file is not as the program
    // writes one.
    std::optional<Found> Next()
    {
        std::size_t open = 0;
        while ((open = buffer_.find(kOpen, begin_)) == std::string::npos) {
            // What could still be the start of an opening tag stays.
            begin_ = std::max(begin_, buffer_.size() - std::min(buffer_.size(), kOpen.size() - 1));
            if (!Fill())
                return std::nullopt;
        }
        begin_ = open;
        // The end tag, looked for only in what was not looked through yet
        // (counted from begin_, which stays at the article as Fill moves it).
        std::size_t looked = 0;
        std::size_t close = 0;
        while ((close = buffer_.find(kClose, begin_ + looked)) == std::string::npos) {
            const std::size_t held = buffer_.size() - begin_;
            looked = held - std::min(held, kClose.size() - 1);
            if (held > kArticleLimit || !Fill()) {
                file_.reset();
                return std::nullopt;
            }
        }
        const std::string_view tag(std::string_view(buffer_).substr(begin_, close - begin_));
        const std::size_t id = tag.find(" id=\"");
        const std::size_t idEnd = id == std::string_view::npos ? id : tag.find('"', id + 5);
        const std::size_t start = idEnd == std::string_view::npos ? idEnd : tag.find(">\r\n", idEnd);
        if (start == std::string_view::npos) {
            file_.reset();
            return std::nullopt;
        }
        Found found{std::string(tag.substr(id + 5, idEnd - id - 5)),
                    {bufferOffset_ + begin_ + start + 3, close + kClose.size() - begin_ - start - 3}};
        begin_ = close + kClose.size();
        return found;
    }

    // Reads the next piece behind what is kept, which moves to the front.
    bool Fill()
    {
        if (!file_)
            return false;
        buffer_.erase(0, begin_);
        bufferOffset_ += begin_;
        begin_ = 0;
        constexpr std::size_t kPiece = 64 * 1024;
        const std::size_t had = buffer_.size();
        buffer_.resize(had + kPiece);
        const ssize_t n = platform::ReadAt(file_->fd.get(), bufferOffset_ + had, buffer_.data() + had, kPiece);
        buffer_.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return n > 0;
    }

    std::optional<platform::ReadableFile> file_;
    std::string buffer_;               // read and not yet dropped
    std::uint64_t bufferOffset_ = 0;   // where buffer_ starts in the file
    std::size_t begin_ = 0;            // buffer_ before this is passed over
    std::unordered_map<std::string, Range> passed_;
};

// What a page may take from the one an earlier run wrote under its name:
// the articles of the mails whose own pages are made from what they were
// made from then.
struct Reuse {
    std::string earlierPage;    // still as written; empty for none
    std::vector<char> members;  // by member of the thread: may be taken
};

class ThreadPageBuilder {
public:
    ThreadPageBuilder(const ProjectSettings& settings, const OutputPaths& paths, KeptArticles* keptArticles)
        : settings_(settings), paths_(paths), pageLinks_(paths), keptArticles_(keptArticles)
    {
        indexLink_ = "../" + EncodeUrl(FileNamePart(paths.IndexFileFullPath(), paths.style()));
        stylesheet_ = "../" + std::string(kStylesheetName);
    }

    // Builds the page of thread into out; the system's error when a mail
    // file could not be read.
    int Build(const ThreadPageEntry& thread, const SitePlan& plan, const Reuse& reuse, const PageOut& out) const
    {
        const MailList& mails = settings_.mailList;
        std::optional<EarlierArticles> earlier;
        if (!reuse.earlierPage.empty())
            earlier.emplace(reuse.earlierPage);
        std::string page;
        const std::string subject = SubjectHtml(settings_, *mails[thread.mails.front().mail]);
        AppendPageStart(page, subject, stylesheet_, "thread", {});
        page.append("<header>\n<nav aria-label=\"スレッドの移動\">\n<ul>\n<li><a href=\"");
        page.append(Utf8OfCp932(indexLink_)).append("\">インデックスへ</a></li>\n</ul>\n</nav>\n</header>\n");
        page.append("<main>\n<h1>").append(subject).append("</h1>\n<p class=\"meta\">");
        page.append(std::to_string(thread.mails.size())).append(" 通</p>\n");
        // Bytes taken as written follow what the builder made so far.
        const auto takeWritten = [&](std::string_view written) {
            out.text(page);
            page.clear();
            out.written(written);
        };
        for (std::size_t k = 0; k < thread.mails.size(); ++k) {
            const ThreadMail& member = thread.mails[k];
            const MailRecord& mail = *mails[member.mail];
            const std::string anchor = MailAnchor(plan[member.mail].name);
            page.append("<article class=\"thread-mail depth-")
                .append(std::to_string(std::min(member.depth, kThreadDepthCap)))
                .append("\" id=\"")
                .append(anchor)
                .append("\" aria-labelledby=\"")
                .append(anchor)
                .append("-h\">\n");
            std::optional<KeptArticle> kept = keptArticles_ ? keptArticles_->Take(member.mail) : std::nullopt;
            if (const std::optional<std::string> before =
                    !kept && earlier && reuse.members[k] != 0 ? earlier->Take(anchor) : std::nullopt) {
                takeWritten(*before);
                continue;
            }
            page.append("<h2 id=\"")
                .append(anchor)
                .append("-h\"><a href=\"")
                .append(Utf8OfCp932(PageLink(mail)))
                .append("\">")
                .append(kept ? kept->subject : SubjectHtml(settings_, mail))
                .append("</a></h2>\n");
            if (kept) {
                takeWritten(kept->written);
            } else {
                AppendMailHead(settings_, mail, page);
                if (const int error = AppendBody(paths_.MailSourcePath(mail), plan[member.mail].name,
                                                 settings_.MimeDecode != 0, AddressHidingOf(settings_), page, out.text))
                    return error;
            }
            page.append("</article>\n");
            FlushWhenLarge(page, out.text);
        }
        page.append("</main>\n");
        AppendPageEnd(page, {});
        out.text(page);
        return 0;
    }

private:
    // A mail's page from the thread folder: one folder up from the index
    // page's view of it, unless that is absolute.
    std::string PageLink(const MailRecord& mail) const
    {
        std::string link = pageLinks_.LinkTo(mail);
        if (link.starts_with("/") || link.starts_with("file:"))
            return link;
        return "../" + link;
    }

    const ProjectSettings& settings_;
    const OutputPaths& paths_;
    const PageLinksFromIndex pageLinks_;
    KeptArticles* keptArticles_;
    std::string indexLink_;
    std::string stylesheet_;
};

// A thread page built ahead of its writing, or left to be built while it
// is written when its mails are too large to hold.
struct BuiltPage {
    std::string text;  // with CR LF line ends
    int error = 0;     // the system's, when a mail file could not be read
    bool large = false;
};

// Pages whose mail files add up to more than this are not held whole.
constexpr std::uint64_t kHeldThreadLimit = 256 * 1024;

// inputs: what the page is made from, none when it is not known.
BuiltPage BuildAhead(const ThreadPageEntry& thread, const std::optional<ThreadInputs>& inputs, const Reuse& reuse,
                     const ThreadPageBuilder& builder, const SitePlan& plan)
{
    BuiltPage page;
    if (!inputs || inputs->archiveBytes > kHeldThreadLimit) {
        page.large = true;
        return page;
    }
    page.text.reserve(static_cast<std::size_t>(inputs->archiveBytes) + 4096);
    page.error = builder.Build(thread, plan, reuse,
                               {[&page](std::string_view piece) { platform::AppendCrlf(piece, page.text); },
                                [&page](std::string_view piece) { page.text.append(piece); }});
    return page;
}

// Writes one page; its record once it is in place, or the problem.
std::optional<RecordedThreadPage> WritePage(const ThreadPageEntry& thread, const Reuse& reuse, BuiltPage& built,
                                            const ThreadPageBuilder& builder, const SitePlan& plan,
                                            const std::string& path, platform::OutputFile::Target target,
                                            bool& written, std::optional<platform::FileProblem>& problem)
{
    platform::OutputFile out(path, platform::OutputFile::Mode::Binary, target);
    int error = built.error;
    if (built.large)
        error = builder.Build(thread, plan, reuse,
                              {[&out](std::string_view piece) {
                                   std::string text;
                                   platform::AppendCrlf(piece, text);
                                   out.Write(text);
                               },
                               [&out](std::string_view piece) { out.Write(piece); }});
    else if (error == 0)
        out.WriteMoved(std::move(built.text));
    if (error != 0) {
        out.Discard();
        problem = platform::FileProblem{path, SystemReason(error)};
        return std::nullopt;
    }
    const platform::OutputFile::Outcome outcome = out.Commit();
    if (outcome == platform::OutputFile::Outcome::Failed) {
        problem = platform::FileProblem{path, out.Error()};
        return std::nullopt;
    }
    written = outcome == platform::OutputFile::Outcome::Written;
    const std::optional<platform::FileStamp>& stamp = out.Stamp();
    if (!stamp)
        return std::nullopt;
    return RecordedThreadPage{{}, *stamp};
}

// A thread page the record does not show as in place and made from the
// same inputs.
struct PageToWrite {
    const ThreadPageEntry* thread = nullptr;
    std::optional<ThreadInputs> inputs;
    const RecordedThreadPage* recorded = nullptr;
    Reuse reuse;
};

// Whether the page of the mail named name is made from what it was made
// from in the run before: its article on a thread page is the same then.
bool MadeAsBefore(const std::string& name, const SiteRecord& old, const SiteRecord& fresh)
{
    const auto now = fresh.pages.find(name);
    const auto before = old.pages.find(name);
    return now != fresh.pages.end() && before != old.pages.end() && now->second.inputs == before->second.inputs &&
           now->second.archive == before->second.archive && now->second.mailFile == before->second.mailFile;
}

}  // namespace

ThreadPagesResult WriteThreadPages(const ProjectSettings& settings, const OutputPaths& paths,
                                   const ThreadPagePlan& threads, const SiteRecord* old, SiteRecord& fresh,
                                   unsigned workers, KeptArticles* keptArticles)
{
    ThreadPagesResult result;
    const SitePlan& plan = threads.sitePlan();
    const std::string& folder = threads.folder();
    const std::string indexFolder = paths.IndexFolder();
    // The thread folder is looked at from the index page's folder, so a
    // link put in its place is never followed.
    const auto inFolder = [](std::string_view name) { return std::string(kThreadFolder) + "/" + std::string(name); };
    std::optional<platform::FolderStamps> stamps;
    const auto stampOf = [&](std::string_view name) {
        if (!stamps)
            stamps.emplace(indexFolder);
        return stamps->Output(inFolder(name));
    };
    std::unordered_set<std::string> current;
    std::vector<PageToWrite> toWrite;
    for (const ThreadPageEntry& thread : threads.threads()) {
        current.insert(thread.name);
        std::optional<ThreadInputs> inputs = InputsOf(thread, settings, plan, fresh);
        const RecordedThreadPage* recorded = nullptr;
        if (old) {
            if (const auto found = old->threadPages.find(thread.name); found != old->threadPages.end())
                recorded = &found->second;
        }
        if (recorded && inputs && recorded->inputs == inputs->digest && stampOf(thread.name) == recorded->page) {
            fresh.threadPages.emplace(thread.name, *recorded);
            ++result.unchanged;
            continue;
        }
        Reuse reuse;
        if (recorded && stampOf(thread.name) == recorded->page) {
            reuse.members.reserve(thread.mails.size());
            for (const ThreadMail& member : thread.mails)
                reuse.members.push_back(MadeAsBefore(plan[member.mail].name, *old, fresh) ? 1 : 0);
            if (std::find(reuse.members.begin(), reuse.members.end(), 1) != reuse.members.end())
                reuse.earlierPage = JoinPath(folder, thread.name, paths.style());
        }
        toWrite.push_back({&thread, std::move(inputs), recorded, std::move(reuse)});
    }

    const ThreadPageBuilder builder(settings, paths, keptArticles);
    // In a folder made just now no page is there to compare with.
    const bool newFolder = !toWrite.empty() && platform::TypeOf(folder) == platform::EntryType::Missing;
    const int folderError = toWrite.empty() ? 0 : platform::MakeOwnFolder(folder);
    const platform::OutputFile::Target target =
        newFolder ? platform::OutputFile::Target::Absent : platform::OutputFile::Target::Unknown;
    // Other threads build the pages ahead; this one writes every file, as
    // threads creating files in one folder only wait for each other.
    const auto build = [&](std::size_t k) {
        const PageToWrite& pending = toWrite[k];
        return BuildAhead(*pending.thread, pending.inputs, pending.reuse, builder, plan);
    };
    std::optional<platform::WorkAhead<BuiltPage>> queue;
    if (folderError == 0 && workers > 1 && toWrite.size() > 1)
        queue.emplace(toWrite.size(), workers - 1, build);
    for (std::size_t k = 0; k < toWrite.size(); ++k) {
        PageToWrite& pending = toWrite[k];
        const ThreadPageEntry& thread = *pending.thread;
        const std::string path = JoinPath(folder, thread.name, paths.style());
        std::optional<platform::FileProblem> problem;
        bool written = false;
        std::optional<RecordedThreadPage> page;
        if (folderError != 0) {
            problem = platform::FileProblem{path, SystemReason(folderError)};
        } else {
            BuiltPage built = queue ? queue->Take(k) : build(k);
            page = WritePage(thread, pending.reuse, built, builder, plan, path, target, written, problem);
        }
        if (problem) {
            result.notWritten.push_back(std::move(*problem));
            // The old page is still there and still linked.
            if (pending.recorded)
                fresh.threadPages.emplace(thread.name, *pending.recorded);
            continue;
        }
        if (written)
            ++result.written;
        else
            ++result.unchanged;
        if (page && pending.inputs) {
            page->inputs = std::move(pending.inputs->digest);
            fresh.threadPages.emplace(thread.name, std::move(*page));
        }
    }
    queue.reset();
    if (!old)
        return result;
    // Pages of threads gone or left without a mail page: only a file still
    // as it was written is the program's to remove.
    bool removedAny = false;
    for (const auto& [name, recorded] : old->threadPages) {
        if (current.contains(name) || stampOf(name) != recorded.page)
            continue;
        if (platform::RemoveOutputFile(indexFolder, inFolder(name)) == platform::Removal::Failed) {
            result.notRemoved.push_back({JoinPath(folder, name, paths.style()), SystemReason(errno)});
            fresh.threadPages.emplace(name, recorded);
            continue;
        }
        ++result.removed;
        removedAny = true;
    }
    if (removedAny && fresh.threadPages.empty())
        platform::RemoveEmptyOutputFolder(indexFolder, kThreadFolder);
    return result;
}

}  // namespace postloom::modern
