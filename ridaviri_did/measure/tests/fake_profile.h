// A small INI writer for the tests of the configuration file, with the behaviour the program
// relies on from the platform's profile writer: CR LF line ends, a changed key rewritten in
// place, a new key after the last key of its section, a new section at the end of the file
// without a blank line before it, names compared without case.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "ridaviri/configuration.h"

namespace ridaviri::testing {

class FakeProfileWriter : public ProfileWriter {
public:
    int writes = 0;
    int failAtWrite = -1;  // the write with this number (0-based) fails

    bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                     const std::filesystem::path& file) override {
        if (writes++ == failAtWrite) return false;
        std::vector<std::string> lines;
        if (auto text = platform::ReadHostFile(file)) {
            std::size_t pos = 0;
            while (pos < text->size()) {
                std::size_t lf = text->find('\n', pos);
                std::size_t end = lf == std::string::npos ? text->size() : lf;
                std::string line = text->substr(pos, end - pos);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(line);
                pos = end + 1;
            }
        }
        const std::string header = "[" + std::string(section) + "]";
        const std::string entry = std::string(key) + "=" + std::string(value);
        std::size_t s = 0;
        while (s < lines.size() && !platform::sjis::EqualsNoCase(lines[s], header)) ++s;
        if (s == lines.size()) {
            lines.push_back(header);
            lines.push_back(entry);
        } else {
            std::size_t lastKey = s;
            std::size_t i = s + 1;
            for (; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i) {
                std::size_t eq = lines[i].find('=');
                if (eq == std::string::npos) continue;
                lastKey = i;
                if (platform::sjis::EqualsNoCase(lines[i].substr(0, eq), key)) break;
            }
            if (i < lines.size() && lines[i].find('=') != std::string::npos &&
                platform::sjis::EqualsNoCase(lines[i].substr(0, lines[i].find('=')), key)) {
                lines[i] = entry;
            } else {
                lines.insert(lines.begin() + static_cast<long>(lastKey) + 1, entry);
            }
        }
        std::string out;
        for (const std::string& l : lines) out += l + "\r\n";
        // A plain write: the tests need no flush to disk, and 306 flushes per file are slow.
        std::ofstream stream(file, std::ios::binary | std::ios::trunc);
        stream << out;
        return static_cast<bool>(stream.flush());
    }
};

}  // namespace ridaviri::testing
