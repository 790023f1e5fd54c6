// A toolkit over the shipped editor data (DEFINE.DAT, DEFINEPARAM.DAT, ZERIRU.DAT), settings in
// memory, a scripted building machine, a scripted Ui and dialog runner, and a project in memory.
#pragma once

#include "fake_machine.h"
#include "platform/sjis.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/gui_test.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/ui.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

struct ToolkitTest : ::testing::Test {
    zeriru::ScriptedUi ui;
    qtsupport::ScriptedDialogRunner runner;
    zeriru::MemorySettingsStore store;
    zeriru::EditorSettings settings{store, "C:\\Program Files\\Zuzoruve\\Raredovo\\", "C:\\Docs"};
    zeriru::test::FakeMachine machine;
    zeriru::TIniDocument project;
    std::unique_ptr<zeriru::EditorData> data;
    std::unique_ptr<zeriru::gui::EditorToolkit> kit;
    QWidget window;
    std::vector<int> hints;

    void SetUp() override { Make(); }
    // (Again) after the settings or the project changed.
    void Make() {
        kit.reset();
        data = std::make_unique<zeriru::EditorData>(settings, machine, ZERIRU_DATA_DIR);
        data->SetProject(&project);
        kit = std::make_unique<zeriru::gui::EditorToolkit>(ui, runner, &window, *data,
                                                           [this](int index, bool) { hints.push_back(index); });
    }
    void Advanced(bool on) {
        zeriru::EditorOptions options = settings.ReadOptions();
        options.mode = on ? 1 : 0;
        settings.WriteOptions(options);
        Make();
    }
    static std::string S(const char* utf8) { return platform::sjis::S(utf8); }
    static QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
};
