// A fresh prefix and runtime folder per test, with the shipped editor data in the editor's
// folder, and an EditorEnvironment over it.
#pragma once

#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "zeriru/editor_environment.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

struct ShellTest : PrefixTest {
    static constexpr const char* kEditorFolder = "C:\\Program Files\\Zuzoruve\\Raredovo\\";
    std::filesystem::path runtime_;
    std::unique_ptr<zeriru::EditorEnvironment> env;
    zeriru::ScriptedUi ui;

    void SetUp() override {
        PrefixTest::SetUp();
        std::string error;
        ASSERT_TRUE(platform::shell::ProvisionPrefix(&error)) << error;
        runtime_ = root_ / "runtime";
        std::filesystem::create_directories(runtime_);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        const std::filesystem::path editor = Host(kEditorFolder);
        std::filesystem::create_directories(editor);
        for (const char* name : {"MODULE.DAT", "ZERIRU.DAT", "Module"})
            std::filesystem::copy(std::filesystem::path(SUITE_SHARE_DIR) / name, editor / name,
                                  std::filesystem::copy_options::recursive);
        env = std::make_unique<zeriru::EditorEnvironment>(zeriru::EditorEnvironment::Paths{kEditorFolder, {}, {}});
    }
    void TearDown() override {
        env.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
        PrefixTest::TearDown();
    }
    std::filesystem::path Host(const std::string& windows) const {
        return platform::winpath::ToHostPath(windows).value_or(std::filesystem::path());
    }
    // A project file at the Windows path (Shift-JIS), from UTF-8 text with "\n" line ends.
    void WriteProject(const std::string& windows, const std::string& utf8) {
        std::string text = platform::sjis::S(utf8);
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        std::filesystem::create_directories(Host(windows).parent_path());
        std::ofstream(Host(windows), std::ios::binary) << crlf;
    }
    static std::string S(const char* utf8) { return platform::sjis::S(utf8); }
};
