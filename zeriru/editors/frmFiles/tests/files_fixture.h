// A fresh prefix, the editor's data files of the build, a scripted machine and Ui, and a
// project in memory for the files editor's models.
#pragma once

#include "fake_machine.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "prefix_fixture.h"
#include "zeriru/editors/editor_data.h"
#include "zeriru/frmFiles/files_dialog_model.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

struct FilesTest : PrefixTest {
    zeriru::test::FakeMachine machine;
    zeriru::MemorySettingsStore store;
    zeriru::EditorSettings settings{store, "C:\\Program Files\\Zuzoruve\\Raredovo\\", "C:\\users\\me\\Documents"};
    std::unique_ptr<zeriru::EditorData> data;
    zeriru::TIniDocument project;
    zeriru::ScriptedUi ui;

    void SetUp() override {
        PrefixTest::SetUp();
        project.LoadFromText("[Software]\r\nFolder=%ProgramFilesDir%|App|\r\n");
        MakeData();
    }
    // EditorData reads the options when it is made: call again after changing them.
    void MakeData() {
        data = std::make_unique<zeriru::EditorData>(settings, machine, ZERIRU_DATA_DIR);
        data->SetProject(&project);
    }
    void SetAdvancedMode(bool on) {
        zeriru::EditorOptions options = settings.ReadOptions();
        options.mode = on ? 1 : 0;
        settings.WriteOptions(options);
        MakeData();
    }

    // Writes a file below drive C: and returns its Windows path.
    std::string WriteFile(const std::string& below, const std::string& content = "x") {
        const std::filesystem::path host = C(below);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << content;
        return Win(below);
    }
    std::string MakeFolder(const std::string& below) {
        std::filesystem::create_directories(C(below));
        return Win(below);
    }
    static std::string Win(std::string below) {
        for (char& c : below)
            if (c == '/') c = '\\';
        return "C:\\" + below;
    }

    zeriru::FilesItemDialogModel::Environment Env(bool componentList = false, bool readOnly = false) {
        zeriru::FilesItemDialogModel::Environment env{*data, ui, {}, false, false, {}};
        env.registrable = [](std::string_view path) {
            return platform::sjis::EndsWithNoCase(path, ".OCX") || platform::sjis::EndsWithNoCase(path, ".TLB");
        };
        env.componentList = componentList;
        env.readOnly = readOnly;
        return env;
    }

    // A files item record from its fields (1-based, as text).
    static std::string Record(std::initializer_list<std::pair<int, std::string>> fields) {
        zeriru::FieldValues values;
        for (const auto& [n, v] : fields) values[n] = v;
        return zeriru::FilesItemCodec().Make(values);
    }
    static std::string Dump(const std::string& record) { return zeriru::FilesItemCodec().Dump(record); }
};

// A sink that keeps what the item dialog makes, with a room and an abort after some items.
struct VectorSink : zeriru::FilesItemSink {
    std::vector<std::string> records;
    int before = 0;              // items the list held already
    int stopAfter = -1;          // KeepGoing turns false after this many items
    int Count() const override { return before + static_cast<int>(records.size()); }
    bool KeepGoing() override { return stopAfter < 0 || static_cast<int>(records.size()) < stopAfter; }
    void Add(std::string record) override { records.push_back(std::move(record)); }
};
