#include "context.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"

namespace installer {

namespace sj = platform::sjis;

namespace {

// Items read from one list at most, as the editor writes them.
constexpr int kMaxItems = 32768;

}  // namespace

std::vector<std::string> ReadItems(const zeriru::TIniDocument& data, std::string_view section) {
    std::vector<std::string> items;
    for (int i = 0; i < kMaxItems; ++i) {
        const std::string key = std::to_string(i);
        if (!data.ValueExists(section, key)) break;
        items.push_back(data.ReadString(section, key));
    }
    return items;
}

std::vector<std::string> ReadList(const zeriru::TIniDocument& data, std::string_view settings,
                                  std::string_view defaultSection, Problems& problems) {
    if (data.ValueExists(settings, "UseSection")) {
        const std::string section = data.ReadString(settings, "UseSection");
        if (!data.SectionExists(section)) {
            problems.damaged.push_back("[" + std::string(settings) + "] UseSection=" + section);
            return {};
        }
        return ReadItems(data, section);
    }
    return ReadItems(data, defaultSection);
}

std::string Field(std::string_view record, int n) {
    return zeriru::DecodeProjectText(zeriru::GetItemField(record, n));
}

std::string SubField(std::string_view record, int n) {
    if (n < 1) return {};
    const std::vector<std::string> parts = sj::SplitSjis(record, ',');
    return n <= static_cast<int>(parts.size()) ? zeriru::DecodeProjectText(parts[n - 1]) : std::string();
}

int SubFieldInt(std::string_view record, int n, int fallback) {
    const std::string text = SubField(record, n);
    if (text.empty()) return fallback;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 100000000) return fallback;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace installer
