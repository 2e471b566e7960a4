// postloom-batch --help and the manual page postloom-batch(1) describe the
// same command line: the same options, each with the same short and long
// form, and the same exit statuses.

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace postloom::test {
namespace {

// Long form to short form: "--quiet" -> "-q".
using OptionNames = std::map<std::string, std::string>;

std::string BatchOutput(const std::string& arguments)
{
    const std::string command = "'" POSTLOOM_BATCH_EXE "' " + arguments;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of a block that starts with a line beginning with title and ends
// at the next empty line.
std::vector<std::string> HelpBlock(const std::string& help, const std::string& title)
{
    std::vector<std::string> block;
    bool inside = false;
    for (const std::string& line : Lines(help)) {
        if (!inside) {
            inside = line.rfind(title, 0) == 0;
        } else if (line.empty()) {
            break;
        }
        if (inside)
            block.push_back(line);
    }
    return block;
}

// The arguments of a macro line: words, or "quoted" groups.
std::vector<std::string> MacroArguments(const std::string& text)
{
    static const std::regex argument(R"re("([^"]*)"|(\S+))re");
    std::vector<std::string> arguments;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), argument); it != std::sregex_iterator(); ++it)
        arguments.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    return arguments;
}

// The text that a roff line shows: "\-" is a minus, "\fB" and the like
// switch fonts, "\(dq" is a quote. The font macros .B and .I show their
// arguments apart; .BR, .RB, .IR and the like join them.
std::string RoffText(const std::string& line)
{
    std::string text = line;
    bool join = false;
    if (line.rfind(".B ", 0) == 0 || line.rfind(".I ", 0) == 0) {
        text = line.substr(3);
    } else if (std::regex_search(line, std::regex(R"(^\.[BIR][BIR] )"))) {
        text = line.substr(4);
        join = true;
    }
    std::string shown;
    for (const std::string& argument : MacroArguments(text))
        shown += (shown.empty() || join ? "" : " ") + argument;
    shown = std::regex_replace(shown, std::regex(R"(\\f[BIRP]|\\f\(..|\\&)"), "");
    shown = std::regex_replace(shown, std::regex(R"(\\\(dq)"), "\"");
    return std::regex_replace(shown, std::regex(R"(\\-)"), "-");
}

// The lines of the manual page's section ".SH name", up to the next section.
std::vector<std::string> ManualSection(const std::string& page, const std::string& name)
{
    std::vector<std::string> section;
    bool inside = false;
    for (const std::string& line : Lines(page)) {
        if (line.rfind(".SH", 0) == 0) {
            if (inside)
                break;
            inside = line == ".SH " + name || line == ".SH \"" + name + "\"";
        } else if (inside) {
            section.push_back(line);
        }
    }
    return section;
}

// The tags of a section's ".TP" paragraphs, as text.
std::vector<std::string> ParagraphTags(const std::vector<std::string>& section)
{
    std::vector<std::string> tags;
    for (std::size_t i = 0; i + 1 < section.size(); ++i) {
        if (section[i] == ".TP")
            tags.push_back(RoffText(section[i + 1]));
    }
    return tags;
}

void AddOption(OptionNames& names, const std::string& text)
{
    static const std::regex pair(R"((^|\s)(-[A-Za-z]),\s*(--[a-z][a-z-]*)\b)");
    std::smatch match;
    if (std::regex_search(text, match, pair))
        names[match[3]] = match[2];
    else
        ADD_FAILURE() << "no \"-x, --long\" pair in: " << text;
}

OptionNames HelpOptions(const std::string& help)
{
    OptionNames names;
    const std::vector<std::string> block = HelpBlock(help, "Options:");
    for (std::size_t i = 1; i < block.size(); ++i)
        AddOption(names, block[i]);
    return names;
}

OptionNames ManualOptions(const std::string& page)
{
    OptionNames names;
    for (const std::string& tag : ParagraphTags(ManualSection(page, "OPTIONS")))
        AddOption(names, tag);
    return names;
}

std::set<std::string> Numbers(const std::string& text)
{
    static const std::regex number(R"(\b[0-9]+\b)");
    std::set<std::string> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
        numbers.insert(it->str());
    return numbers;
}

class BatchManualTest : public ::testing::Test {
protected:
    const std::string help = BatchOutput("--help");
    const std::string page = ReadFile(BATCH_MANUAL_PAGE);
};

TEST_F(BatchManualTest, HelpAndManualPageListTheSameOptions)
{
    const OptionNames fromHelp = HelpOptions(help);
    ASSERT_FALSE(fromHelp.empty()) << help;
    EXPECT_EQ(fromHelp, ManualOptions(page));
}

TEST_F(BatchManualTest, ManualSynopsisShowsEveryOptionOfTheHelp)
{
    std::set<std::string> words;
    static const std::regex word(R"([^\s\[\]|]+)");
    for (const std::string& line : ManualSection(page, "SYNOPSIS")) {
        const std::string text = RoffText(line);
        for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
            words.insert(it->str());
    }
    for (const auto& [longName, shortName] : HelpOptions(help)) {
        EXPECT_TRUE(words.count(longName)) << longName;
        EXPECT_TRUE(words.count(shortName)) << shortName;
    }
}

TEST_F(BatchManualTest, HelpAndManualPageNameTheSameExitStatuses)
{
    std::string statusText;
    for (const std::string& line : HelpBlock(help, "Exit status:"))
        statusText += line + "\n";
    const std::set<std::string> fromHelp = Numbers(statusText);
    ASSERT_FALSE(fromHelp.empty()) << help;

    std::set<std::string> fromPage;
    for (const std::string& tag : ParagraphTags(ManualSection(page, "EXIT STATUS")))
        fromPage.insert(tag);
    EXPECT_EQ(fromHelp, fromPage);
}

TEST_F(BatchManualTest, ShortAndLongFormsOfAnOptionDoTheSame)
{
    EXPECT_EQ(BatchOutput("-h"), help);
    EXPECT_EQ(BatchOutput("-V"), BatchOutput("--version"));
}

}  // namespace
}  // namespace postloom::test
