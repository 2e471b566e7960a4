#include "core/html/modern/stylesheet.h"

#include "core/html/modern/colours.h"
#include "core/html/modern/page_text.h"
#include "core/platform/output_file.h"

#include <array>

namespace postloom::modern {

namespace {

// The settings of one kind of page that the stylesheet carries.
struct PageLook {
    std::string_view prefix;  // "index" or "mail"
    std::int32_t bgColour;
    std::uint32_t bgColourRgb;
    std::int32_t textColour;
    std::uint32_t textColourRgb;
    std::int32_t linkColour;
    std::uint32_t linkColourRgb;
    std::int32_t visitedColour;
    std::uint32_t visitedColourRgb;
    std::int32_t activeColour;
    std::uint32_t activeColourRgb;
    std::array<std::int32_t, 4> marginOn;  // top, right, bottom, left
    std::array<std::int32_t, 4> margin;
    std::int32_t baseFont;
    std::int32_t baseFontSize;
    std::int32_t background;
    std::string_view backgroundUrl;
};

// BASEFONT SIZE 1..7 as a font size; 3 is the browser's own.
constexpr std::array<std::string_view, 7> kBaseFontSizes = {"0.625rem", "0.8125rem", "1rem",    "1.125rem",
                                                            "1.5rem",   "2rem",      "3rem"};

// The colours a page has when the project sets none of them.
constexpr std::uint32_t kDefaultBackground = 0xFFFFFF;
constexpr std::uint32_t kDefaultText = 0x1F1F1F;
constexpr std::uint32_t kDefaultLink = 0xAD4506;     // #0645AD, stored red first
constexpr std::uint32_t kDefaultVisited = 0x96365A;  // #5A3696
constexpr std::uint32_t kDefaultActive = 0x1111B0;   // #B01111

struct Palette {
    Rgb background, text, link, visited, active, quote, line;
};

Palette LightPalette(const PageLook& look)
{
    const auto pick = [](std::int32_t on, std::uint32_t stored, std::uint32_t fallback) {
        return RgbOfStored(on != 0 ? stored : fallback);
    };
    Palette p;
    p.background = pick(look.bgColour, look.bgColourRgb, kDefaultBackground);
    p.text = pick(look.textColour, look.textColourRgb, kDefaultText);
    p.link = pick(look.linkColour, look.linkColourRgb, kDefaultLink);
    p.visited = pick(look.visitedColour, look.visitedColourRgb, kDefaultVisited);
    p.active = pick(look.activeColour, look.activeColourRgb, kDefaultActive);
    // Muted, yet readable text.
    p.quote = Readable(Mix(p.text, p.background, 0.35), p.background, 4.5);
    p.line = Mix(p.text, p.background, 0.55);
    return p;
}

Palette DarkPalette(const Palette& light)
{
    Palette p;
    p.background = DarkBackground(light.background);
    const auto dark = [&](const Rgb& colour) { return DarkForeground(colour, light.background, p.background); };
    p.text = dark(light.text);
    p.link = dark(light.link);
    p.visited = dark(light.visited);
    p.active = dark(light.active);
    p.quote = Readable(Mix(p.text, p.background, 0.35), p.background, 4.5);
    p.line = Mix(p.text, p.background, 0.55);
    return p;
}

// Properties sit inside ":root {" at the top, or one level deeper inside
// the dark scheme's media query.
void AppendProperty(std::string& css, std::string_view prefix, std::string_view name, std::string_view value,
                    bool nested = false)
{
    css.append(nested ? "    --" : "  --").append(prefix).append("-").append(name).append(": ").append(value);
    css.append(";\n");
}

void AppendPalette(std::string& css, std::string_view prefix, const Palette& p, bool nested = false)
{
    AppendProperty(css, prefix, "background", CssColour(p.background), nested);
    AppendProperty(css, prefix, "text", CssColour(p.text), nested);
    AppendProperty(css, prefix, "link", CssColour(p.link), nested);
    AppendProperty(css, prefix, "visited", CssColour(p.visited), nested);
    AppendProperty(css, prefix, "active", CssColour(p.active), nested);
    AppendProperty(css, prefix, "quote", CssColour(p.quote), nested);
    AppendProperty(css, prefix, "line", CssColour(p.line), nested);
}

void AppendLook(std::string& css, const PageLook& look)
{
    AppendPalette(css, look.prefix, LightPalette(look));
    static constexpr std::array<std::string_view, 4> kSides = {"top", "right", "bottom", "left"};
    for (std::size_t side = 0; side < kSides.size(); ++side) {
        const std::string value = look.marginOn[side] != 0 ? std::to_string(look.margin[side]) + "px" : "1rem";
        AppendProperty(css, look.prefix, "margin-" + std::string(kSides[side]), value);
    }
    const bool sized = look.baseFont != 0 && look.baseFontSize >= 1 && look.baseFontSize <= 7;
    AppendProperty(css, look.prefix, "font-size",
                   sized ? kBaseFontSizes[static_cast<std::size_t>(look.baseFontSize - 1)] : "1rem");
    std::string image = "none";
    if (look.background != 0 && !look.backgroundUrl.empty())
        image = "url(\"" + Utf8OfCp932(look.backgroundUrl) + "\")";
    AppendProperty(css, look.prefix, "background-image", image);
}

// The rules: everything but the project's own values.
constexpr std::string_view kRules = R"(
body.index {
  --background: var(--index-background);
  --text: var(--index-text);
  --link: var(--index-link);
  --visited: var(--index-visited);
  --active: var(--index-active);
  --quote: var(--index-quote);
  --line: var(--index-line);
  --background-image: var(--index-background-image);
  --font-size: var(--index-font-size);
  padding: var(--index-margin-top) var(--index-margin-right) var(--index-margin-bottom) var(--index-margin-left);
}

body.mail {
  --background: var(--mail-background);
  --text: var(--mail-text);
  --link: var(--mail-link);
  --visited: var(--mail-visited);
  --active: var(--mail-active);
  --quote: var(--mail-quote);
  --line: var(--mail-line);
  --background-image: var(--mail-background-image);
  --font-size: var(--mail-font-size);
  padding: var(--mail-margin-top) var(--mail-margin-right) var(--mail-margin-bottom) var(--mail-margin-left);
}

:root {
  color-scheme: light dark;
  -webkit-text-size-adjust: 100%;
  text-size-adjust: 100%;
}

body {
  margin: 0;
  background-color: var(--background);
  background-image: var(--background-image);
  color: var(--text);
  font-family: "Hiragino Sans", "Hiragino Kaku Gothic ProN", "Yu Gothic UI", "Yu Gothic", YuGothic, Meiryo,
    "Noto Sans CJK JP", "Noto Sans JP", "Droid Sans Japanese", sans-serif;
  font-size: var(--font-size);
  line-height: 1.7;
  overflow-wrap: anywhere;
}

header, nav, main, footer {
  max-width: 40em;
  margin: 0 auto;
}

a:link { color: var(--link); }
a:visited { color: var(--visited); }
a:hover, a:active, a:focus { color: var(--active); }

h1 {
  font-size: 1.4em;
  line-height: 1.4;
  margin: 0.5em 0;
}

body.index > header h1 {
  text-align: var(--index-title-align);
}

/* A heading the project does not show stays for screen readers. */
.unshown {
  position: absolute;
  width: 1px;
  height: 1px;
  overflow: hidden;
  clip-path: inset(50%);
  white-space: nowrap;
}

h2 {
  font-size: 1.1em;
  margin: 1.5em 0 0.5em;
}

nav ul {
  list-style: none;
  margin: 0;
  padding: 0;
  display: flex;
  flex-wrap: wrap;
  gap: 0.25em 1em;
}

nav.links {
  display: flex;
  flex-wrap: wrap;
  gap: 0.25em 1em;
  margin-bottom: 0.5em;
}

/* The month pages: one mail or one month a line. */
.month-mails, .month-list {
  list-style: none;
  margin: 0;
  padding: 0;
}

.month-mails li, .month-list li {
  margin: 0.35em 0;
}

.mail-head {
  display: grid;
  grid-template-columns: auto 1fr;
  gap: 0 1em;
  margin: 0 0 1em;
  padding-bottom: 0.5em;
  border-bottom: 1px solid var(--line);
}

.mail-head dt { font-weight: bold; }
.mail-head dd { margin: 0; }

.mail-body {
  white-space: pre-wrap;
  font-family: inherit;
}

.quote { color: var(--quote); }

.attachments ul {
  padding-left: 1.2em;
}

.attachments img {
  display: block;
  max-width: 100%;
  max-height: 12em;
  height: auto;
  margin: 0.25em 0 0.75em;
  border: 1px solid var(--line);
}

.meta {
  font-size: 0.85em;
  color: var(--quote);
}

/* A name stays on one line; one too long for the screen is cut short. */
.sender {
  display: inline-block;
  max-width: 100%;
  overflow: hidden;
  text-overflow: ellipsis;
  white-space: nowrap;
  vertical-align: bottom;
}

/* The thread tree: nested lists whose lines are drawn by borders. */
.threads, .threads ul {
  list-style: none;
  margin: 0;
  padding: 0;
}

.threads ul {
  padding-left: 0.9em;
}

.threads li {
  position: relative;
}

.threads > li {
  margin-top: 0.5em;
}

.threads ul > li {
  padding-left: 1em;
}

.threads ul > li::before {
  content: "";
  position: absolute;
  left: 0;
  top: 0;
  bottom: 0;
  border-left: 1px solid var(--line);
}

.threads ul > li:last-child::before {
  bottom: auto;
  height: 0.85em;
}

.threads ul > li::after {
  content: "";
  position: absolute;
  left: 0;
  top: 0.85em;
  width: 0.7em;
  border-top: 1px solid var(--line);
}

/* A whole thread on one page: each mail indented by its depth, the
   depth capped so that a deep thread keeps room for its text. */
.thread-mail {
  margin: 1.5em 0 0;
  padding-left: 0.75em;
  border-left: 3px solid var(--line);
}

.thread-mail h2 {
  font-size: 1.1em;
  margin: 0 0 0.25em;
  overflow-wrap: anywhere;
}

.depth-1 { margin-left: 1.2em; }
.depth-2 { margin-left: 2.4em; }
.depth-3 { margin-left: 3.6em; }
.depth-4 { margin-left: 4.8em; }
.depth-5 { margin-left: 6em; }
.depth-6 { margin-left: 7.2em; }

@media (max-width: 30em) {
  .threads ul {
    padding-left: 0.3em;
  }
  .threads ul > li {
    padding-left: 0.8em;
  }
  .depth-1 { margin-left: 0.5em; }
  .depth-2 { margin-left: 1em; }
  .depth-3 { margin-left: 1.5em; }
  .depth-4 { margin-left: 2em; }
  .depth-5 { margin-left: 2.5em; }
  .depth-6 { margin-left: 3em; }
}

/* Below ten levels a reply is no longer indented (the margin takes back
   the room its tree line takes): a very deep thread stays inside a
   narrow screen. */
.threads ul ul ul ul ul ul ul ul ul ul {
  padding-left: 0;
  margin-left: -1em;
}

@media (max-width: 30em) {
  .threads ul ul ul ul ul ul ul ul ul ul {
    margin-left: -0.8em;
  }
}

.site-search {
  display: flex;
  gap: 0.4em;
  max-width: 30em;
  margin: 0.5em 0;
}

.site-search input {
  flex: 1;
  min-width: 0;
  font: inherit;
  padding: 0.2em 0.4em;
}

#search-results li { margin: 0.8em 0; }
.snippet { margin: 0.2em 0; }
mark { background: #ffe27a; color: #000; }

@media print {
  nav, .site-search { display: none; }
}
)";

}  // namespace

std::string StylesheetText(const ProjectSettings& s, std::string_view indexBackgroundUrl,
                           std::string_view mailBackgroundUrl)
{
    const PageLook index{"index",
                         s.IndexBGColor,
                         s.IndexBGColorRGB,
                         s.IndexTextColor,
                         s.IndexTextColorRGB,
                         s.IndexLinkColor,
                         s.IndexLinkColorRGB,
                         s.IndexVLinkColor,
                         s.IndexVLinkColorRGB,
                         s.IndexALinkColor,
                         s.IndexALinkColorRGB,
                         {s.IndexTopMarginCheck, s.IndexRightMarginCheck, s.IndexBottomMarginCheck,
                          s.IndexLeftMarginCheck},
                         {s.IndexTopMargin, s.IndexRightMargin, s.IndexBottomMargin, s.IndexLeftMargin},
                         s.IndexBaseFont,
                         s.IndexBaseFontSize,
                         s.IndexBackGround,
                         indexBackgroundUrl};
    const PageLook mail{"mail",
                        s.MailBGColor,
                        s.MailBGColorRGB,
                        s.MailTextColor,
                        s.MailTextColorRGB,
                        s.MailLinkColor,
                        s.MailLinkColorRGB,
                        s.MailVLinkColor,
                        s.MailVLinkColorRGB,
                        s.MailALinkColor,
                        s.MailALinkColorRGB,
                        {s.MailTopMarginCheck, s.MailRightMarginCheck, s.MailBottomMarginCheck, s.MailLeftMarginCheck},
                        {s.MailTopMargin, s.MailRightMargin, s.MailBottomMargin, s.MailLeftMargin},
                        s.MailBaseFont,
                        s.MailBaseFontSize,
                        s.MailBackGround,
                        mailBackgroundUrl};
    std::string css = "/* Postloom stylesheet, MIT licence */\n\n:root {\n";
    AppendLook(css, index);
    AppendLook(css, mail);
    static constexpr std::array<std::string_view, 3> kAlignments = {"left", "center", "right"};
    const bool known = s.TitlePosition >= 0 && s.TitlePosition < 3;
    AppendProperty(css, "index", "title-align", kAlignments[known ? static_cast<std::size_t>(s.TitlePosition) : 0]);
    css.append("}\n\n@media (prefers-color-scheme: dark) {\n  :root {\n");
    // Background images are drawn for the light colours: the dark scheme
    // goes without them.
    for (const PageLook* look : {&index, &mail}) {
        AppendPalette(css, look->prefix, DarkPalette(LightPalette(*look)), true);
        AppendProperty(css, look->prefix, "background-image", "none", true);
    }
    css.append("  }\n}\n");
    css.append(kRules);
    return css;
}

StylesheetOutcome WriteStylesheet(const ProjectSettings& settings, const OutputPaths& paths)
{
    StylesheetOutcome outcome;
    const std::string path = JoinPath(paths.IndexFolder(), kStylesheetName);
    // A mail file of that name in the index folder is the user's mail.
    if (paths.Resolve(settings.TargetPath) == paths.IndexFolder()) {
        for (const auto& mail : settings.mailList) {
            if (mail->fileName == kStylesheetName) {
                outcome.error = "the name is taken by a mail file";
                return outcome;
            }
        }
    }
    platform::OutputFile out(path, platform::OutputFile::Mode::Binary);
    out.Write(StylesheetText(settings, paths.IndexBackgroundUrl(), paths.MailBackgroundUrlFromIndex()));
    if (out.Commit() == platform::OutputFile::Outcome::Failed) {
        outcome.error = out.Error();
        return outcome;
    }
    outcome.stamp = out.Stamp();
    return outcome;
}

std::string StylesheetLinkFromMail(std::string_view indexLinkFromMail)
{
    const std::size_t slash = indexLinkFromMail.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view{} : indexLinkFromMail.substr(0, slash + 1);
    return std::string(folder) + std::string(kStylesheetName);
}

}  // namespace postloom::modern
