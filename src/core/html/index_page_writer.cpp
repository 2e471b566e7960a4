#include "core/html/index_page_writer.h"

#include "core/html/modern/page_frame.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/modern/thread_index.h"
#include "core/html/output_paths.h"
#include "core/html/template_files.h"
#include "core/html/template_segments.h"
#include "core/html/text_helpers.h"
#include "core/platform/output_file.h"

#include <optional>
#include <string_view>
#include <vector>

namespace postloom {

namespace {

// Writes the thread listing: the children of the project item and, below
// each thread start that has a page, all its replies.
class ThreadListing {
public:
    ThreadListing(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                  const ThreadTree& tree, JobProgress& progress, platform::OutputFile& writer)
        : settings_(settings), plan_(plan), tree_(tree), progress_(progress), writer_(writer),
          graphics_(settings.DrawGraphic != 0), pageLinks_(paths)
    {
        first_ = paths.TreeGraphicUrl(settings.FirstTree).value_or("");
        last_ = paths.TreeGraphicUrl(settings.LastTree).value_or("");
        next_ = paths.TreeGraphicUrl(settings.NextTree).value_or("");
        cont_ = paths.TreeGraphicUrl(settings.ContTree).value_or("");
        null_ = paths.TreeGraphicUrl(settings.NullTree).value_or("");
    }

    int entries() const { return entries_; }

    void Append(std::string& out)
    {
        if (!graphics_)
            out.append("<DL>\n");
        // One column per depth above the entry: 1 while the ancestor at that
        // depth has a later sibling (a line runs on), 0 for a blank.
        columns_.assign(1, 1);
        const TreeItem project = tree_.Root();
        for (TreeItem start = project == kNoItem ? kNoItem : tree_.FirstChild(project); start != kNoItem;
             start = tree_.NextSibling(start)) {
            const MailRecord* mail = MailOf(start);
            if (mail == nullptr || mail->outputHtml == 0)
                continue;
            if (!graphics_)
                out.append("<DT>");
            else if (tree_.PrevSibling(start) == kNoItem)
                AppendImage(out, first_);
            else if (tree_.NextSibling(start) == kNoItem) {
                AppendImage(out, last_);
                columns_[0] = 0;
            } else {
                AppendImage(out, next_);
            }
            AppendLink(out, *mail);
            Report();
            FlushWhenLarge(out);
            if (tree_.HasChildren(start))
                AppendReplies(out, tree_.FirstChild(start));
        }
        if (!graphics_)
            out.append("</DL>\n");
    }

private:
    struct Level {
        TreeItem next;    // the next item of this level's sibling chain
        bool ownsColumn;  // the level added a column that goes when it ends
    };

    // An item's mail; none when its item data names no mail of the list.
    const MailRecord* MailOf(TreeItem item) const
    {
        const std::uint32_t index = tree_.ItemData(item);
        return index < settings_.mailList.size() ? settings_.mailList[index].get() : nullptr;
    }

    void Report() { progress_.Report(entries_++); }

    // A deep thread makes a listing that grows with the square of its depth
    // (every line is indented or drawn up to its depth), so the text goes to
    // the file in pieces instead of being held whole.
    void FlushWhenLarge(std::string& out)
    {
        constexpr std::size_t kPiece = 1 << 20;
        if (out.size() >= kPiece) {
            writer_.Write(out);
            out.clear();
        }
    }

    static void AppendImage(std::string& out, std::string_view url)
    {
        out.append("<IMG SRC=").append(url).append(">");
    }

    void AppendIndent(std::string& out) const
    {
        for (std::size_t k = 0; k < columns_.size(); ++k)
            out.append("  ");
    }

    // A mail without a page on the site has nothing to link to: its entry
    // is the caption alone.
    void AppendLink(std::string& out, const MailRecord& mail) const
    {
        if (!plan_.HasPage(&mail)) {
            out.append(MailCaption(settings_, mail)).append("<BR>\n");
            return;
        }
        out.append("<A HREF=\"").append(pageLinks_.LinkTo(mail)).append("\"");
        if (settings_.MailWindowType == 1)
            out.append(" TARGET=\"new\"");
        out.append(">").append(MailCaption(settings_, mail)).append("</A><BR>\n");
    }

    // Lists the sibling chain from first at depth columns_.size() and, depth
    // first, everything below it. Threads can be tens of thousands of levels
    // deep, so the levels are kept on a stack of our own.
    void AppendReplies(std::string& out, TreeItem first)
    {
        std::vector<Level> levels;
        OpenLevel(out, levels, first, false);
        while (!levels.empty()) {
            Level& level = levels.back();
            const TreeItem item = level.next;
            if (item == kNoItem) {
                if (!graphics_) {
                    AppendIndent(out);
                    out.append("</DL>\n");
                }
                if (level.ownsColumn)
                    columns_.pop_back();
                levels.pop_back();
                continue;
            }
            const TreeItem sibling = tree_.NextSibling(item);
            level.next = sibling;
            const MailRecord* mail = MailOf(item);
            if (mail == nullptr)
                continue;
            Report();
            if (!graphics_) {
                AppendIndent(out);
                out.append("<DT>");
            } else {
                for (const unsigned char column : columns_)
                    AppendImage(out, column != 0 ? cont_ : null_);
                AppendImage(out, sibling != kNoItem ? next_ : last_);
                out.append("\n");
            }
            AppendLink(out, *mail);
            FlushWhenLarge(out);
            if (tree_.HasChildren(item)) {
                columns_.push_back(sibling != kNoItem ? 1 : 0);
                OpenLevel(out, levels, tree_.FirstChild(item), true);
            }
        }
    }

    void OpenLevel(std::string& out, std::vector<Level>& levels, TreeItem first, bool ownsColumn) const
    {
        if (!graphics_) {
            AppendIndent(out);
            out.append("<DL>\n");
        }
        levels.push_back({first, ownsColumn});
    }

    const ProjectSettings& settings_;
    const SitePlan& plan_;
    const ThreadTree& tree_;
    JobProgress& progress_;
    platform::OutputFile& writer_;
    const bool graphics_;
    std::string first_, last_, next_, cont_, null_;
    const PageLinksFromIndex pageLinks_;
    std::vector<unsigned char> columns_;
    int entries_ = 0;
};

// The include block of part, or nothing; missing is set when the include is
// switched on but cannot be read. A modern page holds it as UTF-8.
std::string Include(const OutputPaths& paths, std::int32_t on, const std::string& file, std::string_view part,
                    bool modern, bool& missing)
{
    if (on == 0)
        return {};
    const std::optional<std::string> lines = ReadIncludeLines(paths.Resolve(file));
    if (!lines) {
        missing = true;
        return {};
    }
    return modern ? modern::IncludeBlockUtf8(part, lines) : IncludeBlock(part, *lines);
}

// Writes the rest of the page and puts the file in place.
IndexPageResult Committed(platform::OutputFile& writer, std::string_view rest, IndexPageResult result)
{
    writer.Write(rest);
    switch (writer.Commit()) {
    case platform::OutputFile::Outcome::Written:
        result.written = true;
        break;
    case platform::OutputFile::Outcome::Unchanged:
        result.written = result.unchanged = true;
        break;
    case platform::OutputFile::Outcome::Failed:
        result.indexNotWritable = true;
        result.reason = writer.Error();
        break;
    }
    return result;
}

}  // namespace

IndexPageResult WriteIndexPage(const ProjectSettings& settings, const std::string& projectFolder,
                               const ThreadTree& tree, JobProgress& progress)
{
    const SitePlan plan(settings, projectFolder);
    return WriteIndexPage(settings, projectFolder, plan, tree, progress);
}

IndexPageResult WriteIndexPage(const ProjectSettings& settings, const std::string& projectFolder,
                               const SitePlan& plan, const ThreadTree& tree, JobProgress& progress)
{
    IndexPageResult result;
    if (settings.IndexCreateType != 0 && settings.IndexCreateType != 1)
        return result;

    const OutputPaths paths(settings, projectFolder);

    // Template and includes are read before the index file is touched: a
    // template that cannot be read leaves the index page as it was, and
    // one of them may be the index file itself.
    std::optional<IndexTemplateParts> templateParts;
    // The user's template is written as it always was, whatever the style.
    const bool modernPage = PageStyleOf(settings) == PageStyleKind::Modern && settings.IndexCreateType == 0;
    std::string header;
    std::string footer;
    if (settings.IndexCreateType == 1) {
        const std::optional<std::string> text = ReadTextFile(paths.Resolve(settings.IndexTemplateFile));
        if (!text) {
            result.templateMissing = true;
            return result;
        }
        templateParts = SplitIndexTemplate(*text, settings.IndexInsertTag);
    } else {
        header = Include(paths, settings.IndexHeader, settings.IndexHeaderFile, "Header", modernPage,
                         result.headerMissing);
        footer = Include(paths, settings.IndexFooter, settings.IndexFooterFile, "Footer", modernPage,
                         result.footerMissing);
    }
    if (PageStyleOf(settings) == PageStyleKind::Modern) {
        modern::StylesheetOutcome stylesheet = modern::WriteStylesheet(settings, paths);
        if (!stylesheet.stamp)
            result.stylesheetNotWritten = platform::FileProblem{
                JoinPath(paths.IndexFolder(), modern::kStylesheetName), std::move(stylesheet.error)};
    }

    platform::OutputFile writer(paths.IndexFileFullPath(), platform::OutputFile::Mode::Text);
    if (!writer.Ok()) {
        result.indexNotWritable = true;
        result.reason = writer.Error();
        return result;
    }

    std::string page;
    if (modernPage) {
        modern::ThreadIndex index(settings, paths, plan, tree, progress,
                                  [&writer](std::string_view piece) { writer.Write(piece); });
        index.AppendPage(page, header, footer);
        result.entriesWritten = index.entries();
        return Committed(writer, page, result);
    }
    ThreadListing listing(settings, paths, plan, tree, progress, writer);
    if (templateParts) {
        page.append(templateParts->before);
        listing.Append(page);
        page.append(templateParts->after);
    } else {
        page.append(GeneratorComment());
        page.append(PageHeadStart(settings));
        page.append("<TITLE>").append(EscapeHtml(settings.Title)).append("</TITLE>\n</HEAD>\n");
        page.append(IndexBodyTag(settings, paths.IndexBackgroundUrl()));
        page.append(header);
        if (settings.IndexBaseFont != 0)
            page.append("<BASEFONT SIZE=").append(std::to_string(settings.IndexBaseFontSize)).append(">\n");
        if (settings.DispIndexTitle != 0)
            page.append(IndexTitleHeading(settings));
        listing.Append(page);
        page.append(footer);
        page.append("</BODY>\n</HTML>\n");
    }
    result.entriesWritten = listing.entries();
    return Committed(writer, page, result);
}

}  // namespace postloom
