// Helpers shared by the project model's tests.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace zeriru::test {

// A fresh folder under /tmp, removed with everything in it at the end of the test.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        char tmpl[] = "/tmp/zeriru_project_test_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

// Bytes outside printable ASCII as \xNN, for test names and messages.
inline std::string Printable(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace zeriru::test
