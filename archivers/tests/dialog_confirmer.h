// Confirms every self-extractor option dialog that appears while it lives, as the helper
// program does during a build: optionally enters a folder and a command, then clicks OK.
#pragma once

#include "platform/sjis.h"
#include "platform/winmsg.h"

#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

// Windows are found across every process of the user: a test process that shows or confirms
// dialogs keeps its windows in a runtime folder of its own, so parallel tests never meet.
inline const bool kPrivateRuntimeFolder = [] {
    static char folder[] = "/tmp/archivers_windows_XXXXXX";
    if (::mkdtemp(folder)) {
        ::setenv("XDG_RUNTIME_DIR", folder, 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
    }
    return true;
}();

class DialogConfirmer {
public:
    explicit DialogConfirmer(std::optional<std::string> folder = std::nullopt,
                             std::optional<std::string> command = std::nullopt)
        : folder_(std::move(folder)), command_(std::move(command)), thread_([this] { Run(); }) {}
    ~DialogConfirmer() {
        stop_ = true;
        thread_.join();
    }
    int confirmed() const { return confirmed_; }

private:
    void Run() {
        namespace w = platform::winmsg;
        const std::string title = platform::sjis::S("自己解凍形式書庫の作成");
        w::Hwnd last = 0;
        while (!stop_) {
            w::Hwnd dialog = w::FindWindow(title);
            if (dialog != 0 && dialog != last) {
                auto children = w::EnumChildWindows(dialog);
                // The dialog is found while it still adds its controls: act only once the OK
                // button exists, so a half-built dialog is tried again on the next turn.
                w::Hwnd ok = children.size() > 10 ? w::FindChildByCaption(dialog, "OK") : 0;
                if (ok != 0) {
                    if (folder_) w::SendMessage(children[6], w::WM_SETTEXT, 0, *folder_);
                    if (command_) w::SendMessage(children[10], w::WM_SETTEXT, 0, *command_);
                    // Counted before the click: the click closes the dialog, and the build that
                    // waited for it may return and be checked before SendMessage does.
                    ++confirmed_;
                    last = dialog;
                    w::SendMessage(ok, w::WM_LBUTTONDOWN, 0);
                    w::SendMessage(ok, w::WM_LBUTTONUP, 0);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::optional<std::string> folder_, command_;
    std::atomic<bool> stop_{false};
    std::atomic<int> confirmed_{0};
    std::thread thread_;
};
