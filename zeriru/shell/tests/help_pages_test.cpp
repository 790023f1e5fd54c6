// Every help topic the editor can open has its page in the shipped help folder: the topics of
// the build's messages (read from the sources, so a new message cannot go without its page)
// and the topics of the windows (help_topics.h).
#include "zeriru/help_topics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void AddNumbers(const std::string& expression, std::set<int>& topics) {
    static const std::regex number(R"((-?)\b(\d+)\b)");
    for (std::sregex_iterator it(expression.begin(), expression.end(), number), end; it != end; ++it)
        if ((*it)[1].str().empty()) topics.insert(std::stoi((*it)[2].str()));
}

// Topics of the calls that carry one: the build's Error(code, topic, text) and Hint(topic,
// box, text), ShowHelp(topic) and AskYesNoHelp(text, topic) with a number.
std::set<int> TopicsInSources(const fs::path& root) {
    static const std::regex calls[] = {
        std::regex(R"(\bError\(\s*\d+\s*,\s*([^,;]+),)"),
        std::regex(R"(\bHint\(\s*(\d+)\s*,)"),
        std::regex(R"(\bShowHelp\(\s*(\d+)\s*\))"),
        std::regex(R"(\bAskYesNoHelp\([^;]*,\s*(\d+)\s*\))"),
    };
    std::set<int> topics;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".cpp" || entry.path().string().find("/tests/") != std::string::npos) continue;
        const std::string text = ReadText(entry.path());
        for (const std::regex& call : calls)
            for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it)
                AddNumbers((*it)[1].str(), topics);
    }
    return topics;
}

}  // namespace

TEST(HelpPages, EveryTopicUsedInTheCodeHasAPage) {
    std::set<int> topics = TopicsInSources(fs::path(SOURCE_DIR) / "zeriru");
    const std::string header = ReadText(fs::path(SOURCE_DIR) / "zeriru/ui/include/zeriru/help_topics.h");
    static const std::regex constant(R"(inline constexpr int k\w+ = (\d+);)");
    for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it)
        topics.insert(std::stoi((*it)[1].str()));
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
