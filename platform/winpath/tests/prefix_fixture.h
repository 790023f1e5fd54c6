// A fresh, provisioned prefix in a temporary folder for each test.
#pragma once

#include "platform/drives.h"
#include "platform/prefix.h"
#include "platform/sjis.h"
#include "platform/winfile.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

class PrefixTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/winpath_test_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        ::setenv("PLATFORM_ROOT", root_.c_str(), 1);
        platform::winpath::ResetDriveOverrides();
        platform::winpath::SetExtendedAttributesEnabledForTesting(true);
        std::string error;
        ASSERT_TRUE(platform::EnsurePrefix(&error)) << error;
    }
    void TearDown() override {
        platform::winpath::ResetDriveOverrides();
        platform::winpath::SetExtendedAttributesEnabledForTesting(true);
        std::error_code ec;
        // Read-only files do not stop remove_all; read-only folders would, so open them up.
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(root_, ec);
        ::unsetenv("PLATFORM_ROOT");
    }

    // Host path below drive C: (UTF-8 parts joined by '/').
    std::filesystem::path C(const std::string& below) const { return root_ / "drive_c" / below; }

    static std::string S(const char* utf8) { return platform::sjis::S(utf8); }

    std::filesystem::path root_;
};
