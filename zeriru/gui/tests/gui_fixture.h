// A fresh prefix with the editor's folder provisioned from the build's share folder, a private
// runtime folder (mutexes, windows), and the main window on a scripted Ui and dialog runner.
#pragma once

#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "qtsupport/dialog_runner.h"
#include "qtsupport/gui_test.h"
#include "qtsupport/single_instance.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/application_window.h"
#include "zeriru/command_line.h"
#include "zeriru/gui/main_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

struct GuiTest : PrefixTest {
    std::string editor;
    std::unique_ptr<zeriru::EditorEnvironment> env;
    zeriru::ScriptedUi ui;
    qtsupport::ScriptedDialogRunner runner;
    std::vector<std::string> opened;  // addresses opened in the browser
    std::function<std::optional<zeriru::UpdateInformation>(const zeriru::HttpGetRequest&)> fetch =
        [](const zeriru::HttpGetRequest&) { return std::optional<zeriru::UpdateInformation>(); };
    std::unique_ptr<zeriru::gui::TMainForm> form;

    void SetUp() override {
        PrefixTest::SetUp();
        const std::filesystem::path runtime = root_ / "runtime";
        std::filesystem::create_directories(runtime);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        std::string error;
        ASSERT_TRUE(platform::shell::ProvisionPrefix(&error)) << error;
        editor = zeriru::ProvisionEditorFolder(SUITE_SHARE_DIR, ROZIVU_EXE, &error);
        ASSERT_FALSE(editor.empty()) << error;
        Start();
    }
    void TearDown() override {
        form.reset();
        env.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
        PrefixTest::TearDown();
    }
    // A start of the editor (again): the environment and the window.
    void Start() {
        form.reset();
        env = std::make_unique<zeriru::EditorEnvironment>(
            zeriru::EditorEnvironment::Paths{editor, ROZIVU_EXE, REAL_ARCHIVERS_DIR});
        zeriru::gui::TMainForm::Seams seams;
        seams.ui = &ui;
        seams.runner = &runner;
        seams.environment = env.get();
        seams.openUrl = [this](const std::string& url) {
            opened.push_back(url);
            return true;
        };
        seams.fetchUpdate = [this](const zeriru::HttpGetRequest& request) { return fetch(request); };
        form = std::make_unique<zeriru::gui::TMainForm>(seams);
        form->show();
        // Shortcuts reach the active window only.
        QApplication::setActiveWindow(form.get());
        ui.onProcessMessages = [] { QApplication::processEvents(); };
    }
    zeriru::MainWindowModel& model() { return form->model(); }

    std::string Sample() const { return editor + S("samples\\見本アプリ\\見本アプリ.PJ2"); }
    // A copy of the sample project beside it, with some [Project] values replaced.
    std::string SampleCopy(const std::string& name, const std::map<std::string, std::string>& project) {
        zeriru::TIniDocument doc = zeriru::TIniDocument::OpenWindowsPath(Sample());
        for (const auto& [key, value] : project) doc.WriteString("Project", key, value);
        const std::string path = editor + S("samples\\見本アプリ\\") + name + ".PJ2";
        EXPECT_TRUE(doc.SaveAs(Host(path)));
        return path;
    }
    std::filesystem::path Host(const std::string& windows) const {
        return platform::winpath::ToHostPath(windows).value_or(std::filesystem::path());
    }
    template <typename T>
    T* Widget(const char* name) {
        return qtsupport::testing::Find<T>(*form, name);
    }
    // Runs the event loop until `done` or about `ms` passed.
    template <typename F>
    static bool SpinUntil(F done, int ms = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms) {
            QApplication::processEvents();
            QThread::msleep(2);
        }
        return done();
    }
    static std::string S(const char* utf8) { return platform::sjis::S(utf8); }
    static QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
};
