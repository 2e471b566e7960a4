#include "core/mime/html_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <mutex>
#include <vector>

namespace postloom::mime {

namespace {

struct DocFreer {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocHandle = std::unique_ptr<xmlDoc, DocFreer>;

std::string_view NameOf(const xmlNode* node)
{
    return node->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

// Elements whose content a reader never sees as text. The head holds the
// title, which the mail's subject already gives.
bool IsHidden(std::string_view name)
{
    static constexpr std::array<std::string_view, 5> kHidden = {"head", "script", "style", "template", "title"};
    return std::find(kHidden.begin(), kHidden.end(), name) != kHidden.end();
}

// Blocks that a browser sets apart with a margin: a blank line before and
// after.
bool IsSpacedBlock(std::string_view name)
{
    static constexpr std::array<std::string_view, 16> kSpaced = {
        "blockquote", "dl", "fieldset", "figure", "h1", "h2", "h3", "h4",
        "h5",         "h6", "hr",       "ol",     "p",  "pre", "table", "ul"};
    return std::find(kSpaced.begin(), kSpaced.end(), name) != kSpaced.end();
}

// Blocks that start and end a line of their own.
bool IsBlock(std::string_view name)
{
    static constexpr std::array<std::string_view, 25> kBlocks = {
        "address", "article", "aside",  "body",    "caption", "center", "dd",      "details", "dialog",
        "dir",     "div",     "dt",     "figcaption", "footer", "form", "header",  "hgroup",  "html",
        "li",      "main",    "menu",   "nav",     "section", "summary", "tr"};
    return IsSpacedBlock(name) || std::find(kBlocks.begin(), kBlocks.end(), name) != kBlocks.end();
}

bool IsCollapsibleSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Lines of text as a browser lays them out, built from the document's nodes
// in reading order.
class TextLayout {
public:
    // Text outside <pre>: runs of white space are one blank, none at the
    // start or end of a line.
    void AddFlowText(std::string_view text)
    {
        static constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (IsCollapsibleSpace(text[i])) {
                pendingSpace_ = true;
                continue;
            }
            StartContent();
            if (pendingSpace_ && !line_.empty())
                line_ += ' ';
            pendingSpace_ = false;
            // A no-break space keeps its width, as a plain blank that does
            // not collapse.
            if (text.substr(i, kNoBreakSpace.size()) == kNoBreakSpace) {
                line_ += ' ';
                ++i;
                continue;
            }
            line_ += text[i];
        }
    }

    // Text inside <pre>: every blank and line break stays.
    void AddPreformattedText(std::string_view text)
    {
        for (const char c : text) {
            if (c == '\r')
                continue;
            StartContent();
            if (c == '\n')
                EndLine();
            else
                line_ += c;
        }
        pendingSpace_ = false;
    }

    // Separates table cells on one line.
    void AddSeparator() { pendingSpace_ = true; }

    // <br>: ends the line even when it is empty.
    void LineBreak()
    {
        StartContent();
        EndLine();
    }

    // The edge of a block: ends the line when it holds text.
    void BlockEdge(bool spaced)
    {
        if (!line_.empty())
            EndLine();
        pendingSpace_ = false;
        if (spaced)
            blankLinePending_ = true;
    }

    std::string Finish()
    {
        if (!line_.empty())
            EndLine();
        std::string text;
        bool blankBefore = false;
        for (const std::string& line : lines_) {
            const bool blank = std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
            if (blank) {
                blankBefore = !text.empty();
                continue;
            }
            if (blankBefore)
                text += '\n';
            blankBefore = false;
            text += line;
            text += '\n';
        }
        return text;
    }

private:
    void StartContent()
    {
        if (blankLinePending_ && !lines_.empty())
            lines_.emplace_back();
        blankLinePending_ = false;
    }

    void EndLine()
    {
        lines_.push_back(std::move(line_));
        line_.clear();
        pendingSpace_ = false;
    }

    std::vector<std::string> lines_;
    std::string line_;
    bool pendingSpace_ = false;
    bool blankLinePending_ = false;
};

class TextWalker {
public:
    // Walks the tree without recursion: mails nest elements as deep as any
    // sender likes, and the stack must not depend on it.
    std::string Walk(const xmlNode* root)
    {
        const xmlNode* node = root;
        while (node != nullptr) {
            if (Enter(node) && node->children != nullptr) {
                node = node->children;
                continue;
            }
            while (node != nullptr) {
                Leave(node);
                if (node == root) {
                    node = nullptr;
                } else if (node->next != nullptr) {
                    node = node->next;
                    break;
                } else {
                    node = node->parent;
                }
            }
        }
        return layout_.Finish();
    }

private:
    // Takes the node's own text and tells whether its children are read.
    bool Enter(const xmlNode* node)
    {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content != nullptr) {
                const std::string_view text(reinterpret_cast<const char*>(node->content));
                if (preDepth_ > 0)
                    layout_.AddPreformattedText(text);
                else
                    layout_.AddFlowText(text);
            }
            return false;
        case XML_ELEMENT_NODE:
            break;
        default:
            return false;  // comments, processing instructions
        }
        const std::string_view name = NameOf(node);
        if (IsHidden(name))
            return false;
        if (name == "br") {
            layout_.LineBreak();
            return false;
        }
        if (IsBlock(name))
            layout_.BlockEdge(IsSpacedBlock(name));
        if (name == "pre")
            ++preDepth_;
        return true;
    }

    void Leave(const xmlNode* node)
    {
        if (node->type != XML_ELEMENT_NODE)
            return;
        const std::string_view name = NameOf(node);
        if (IsHidden(name) || name == "br")
            return;
        if (name == "td" || name == "th")
            layout_.AddSeparator();
        if (IsBlock(name))
            layout_.BlockEdge(IsSpacedBlock(name));
        if (name == "pre")
            --preDepth_;
    }

    TextLayout layout_;
    int preDepth_ = 0;
};

}  // namespace

std::string HtmlToText(std::string_view html)
{
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });
    if (html.empty())
        return {};
    // Mail parts are far below 2 GiB; a larger one is read as far as that.
    const int size = static_cast<int>(std::min<std::size_t>(html.size(), INT_MAX));
    // Without XML_PARSE_HUGE the parser stops at 256 nested elements and the
    // text after that point is lost; it needs no stack per level either way.
    const DocHandle doc(htmlReadMemory(html.data(), size, nullptr, "UTF-8",
                                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                           HTML_PARSE_NONET | XML_PARSE_HUGE));
    if (!doc)
        return {};
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr)
        return {};
    return TextWalker().Walk(root);
}

}  // namespace postloom::mime
