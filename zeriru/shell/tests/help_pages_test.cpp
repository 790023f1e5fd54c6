// Every help topic the editor can open has its page in the shipped help folder: the topics of
// the build's messages (read from the sources, so a new message cannot go without its page)
// and the topics of the windows (help_topics.h).
#include "zeriru/help_topics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <set>
#include <sstream>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Every number in `expression` that is not negative.
void AddNumbers(std::string_view expression, std::set<int>& topics) {
    for (std::size_t i = 0; i < expression.size();) {
        if (!IsDigit(expression[i]) || (i > 0 && (IsDigit(expression[i - 1]) || expression[i - 1] == '-'))) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < expression.size() && IsDigit(expression[end])) ++end;
        topics.insert(std::stoi(std::string(expression.substr(i, end - i))));
        i = end;
    }
}

// Skips blanks and a decimal number at `at`; npos when there is no number.
std::size_t SkipNumber(std::string_view text, std::size_t at) {
    while (at < text.size() && text[at] == ' ') ++at;
    const std::size_t start = at;
    if (at < text.size() && text[at] == '-') ++at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at > start && IsDigit(text[at - 1]) ? at : std::string_view::npos;
}

// The topic argument of each call `name(` in `text`: for the build's Error(code, topic, text)
// the part between the first and second comma, for Hint(topic, ...) the first argument, for
// ShowHelp(topic) the argument, for AskYesNoHelp(text, topic) the last argument - each only
// where it is written as numbers (an expression such as "lha ? -1 : 98" included).
void AddCalls(std::string_view text, std::string_view name, std::set<int>& topics) {
    for (std::size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        if (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_')) continue;
        std::size_t begin = at + name.size();
        if (name == "Error(") {
            begin = SkipNumber(text, begin);
            if (begin == std::string_view::npos || text[begin] != ',') continue;
            ++begin;
            AddNumbers(text.substr(begin, text.find_first_of(",;", begin) - begin), topics);
        } else if (name == "AskYesNoHelp(") {
            const std::size_t close = text.find(')', begin);
            const std::size_t comma = text.rfind(',', close);
            if (comma == std::string_view::npos || comma < begin) continue;
            const std::size_t end = SkipNumber(text, comma + 1);
            if (end != std::string_view::npos) AddNumbers(text.substr(comma + 1, end - comma - 1), topics);
        } else {
            const std::size_t end = SkipNumber(text, begin);
            const char next = name == "Hint(" ? ',' : ')';
            if (end != std::string_view::npos && end < text.size() && text[end] == next)
                AddNumbers(text.substr(begin, end - begin), topics);
        }
    }
}

std::set<int> TopicsInSources(const fs::path& root) {
    std::set<int> topics;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".cpp" || entry.path().string().find("/tests/") != std::string::npos) continue;
        const std::string text = ReadText(entry.path());
        for (std::string_view name : {"Error(", "Hint(", "ShowHelp(", "AskYesNoHelp("}) AddCalls(text, name, topics);
    }
    return topics;
}

// The values of "inline constexpr int kName = <number>;" in a header.
void AddConstants(std::string_view header, std::set<int>& topics) {
    constexpr std::string_view kDeclaration = "inline constexpr int k";
    for (std::size_t at = header.find(kDeclaration); at != std::string_view::npos;
         at = header.find(kDeclaration, at + 1)) {
        const std::size_t equals = header.find('=', at);
        const std::size_t end = equals == std::string_view::npos ? equals : SkipNumber(header, equals + 1);
        if (end != std::string_view::npos && header[end] == ';') AddNumbers(header.substr(equals + 1, end - equals - 1), topics);
    }
}

}  // namespace

TEST(HelpPages, EveryTopicUsedInTheCodeHasAPage) {
    std::set<int> topics = TopicsInSources(fs::path(SOURCE_DIR) / "zeriru");
    const std::string header = ReadText(fs::path(SOURCE_DIR) / "zeriru/ui/include/zeriru/help_topics.h");
    AddConstants(header, topics);
    // The build's messages are there (a scan that finds nothing guards nothing).
    for (int topic : {46, 70, 96, 98, 123, 131, 138, zeriru::help_topic::kProcessOrder}) EXPECT_TRUE(topics.count(topic)) << topic;
    topics.erase(0);  // no topic, or the contents
    const fs::path help = fs::path(SUITE_SHARE_DIR) / "help";
    EXPECT_TRUE(fs::exists(help / "index.html"));
    for (int topic : topics) {
        const fs::path page = help / (std::to_string(topic) + ".html");
        EXPECT_TRUE(fs::exists(page)) << "no help page for topic " << topic;
        if (fs::exists(page)) {
            EXPECT_NE(ReadText(page).find("<h1>"), std::string::npos) << page;
        }
    }
}
