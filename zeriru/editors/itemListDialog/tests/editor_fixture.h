// What the model tests of the list editors start from: a fresh prefix, the shipped editor data
// files, editor settings in memory and a scripted building machine and Ui.
#pragma once

#include "fake_machine.h"
#include "platform/sjis.h"
#include "prefix_fixture.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/ini_document.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

struct EditorFixture : PrefixTest {
    zeriru::MemorySettingsStore store;
    zeriru::EditorSettings settings{store, "C:\\Program Files\\Zuzoruve\\Raredovo\\", "C:\\users\\me\\Documents"};
    zeriru::test::FakeMachine machine;
    zeriru::ScriptedUi ui;
    std::unique_ptr<zeriru::EditorData> data;
    zeriru::TIniDocument project;

    void SetUp() override {
        PrefixTest::SetUp();
        Reopen();
    }
    // A new run of an editor: the options are read again.
    void Reopen() { data = std::make_unique<zeriru::EditorData>(settings, machine, ZERIRU_DATA_DIR); }
    void SetOption(const char* name, std::uint32_t value) { store.SetDword("Option", name, value); }
    // The project from its text ("\n" line ends are fine).
    void LoadProject(const std::string& text) { project.LoadFromText(text); }
    void WriteFile(const std::string& below, const std::string& text) {
        std::filesystem::create_directories(C(below).parent_path());
        std::ofstream(C(below), std::ios::binary) << text;
    }
    std::vector<std::string> Items(const char* section) const {
        std::vector<std::string> out;
        for (const auto& [name, value] : project.ReadSectionValues(section)) out.push_back(value);
        return out;
    }
};
