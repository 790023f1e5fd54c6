// Helpers shared by the project model's tests.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

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

}  // namespace zeriru::test
