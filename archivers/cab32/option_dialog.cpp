#include "option_dialog.h"

#include "platform/sjis.h"
#include "platform/winmsg.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace archivers::cab32 {

namespace winmsg = platform::winmsg;
using platform::sjis::S;

std::string OptionDialogTitle() { return S("自己解凍形式書庫の作成"); }

std::chrono::milliseconds OptionDialogTimeout() {
    if (const char* text = std::getenv("CAB32_DIALOG_TIMEOUT_MS"); text && *text) {
        char* end = nullptr;
        long long ms = std::strtoll(text, &end, 10);
        if (end && *end == '\0' && ms > 0) return std::chrono::milliseconds(ms);
    }
    return std::chrono::seconds(60);
}

bool AskSfxOptions(const std::string& cabinetName, const std::string& exeName, sfx::CabSfxOptions& options,
                   std::chrono::milliseconds timeout, std::string* error) {
    std::string why;
    auto dialog = winmsg::Window::Register(OptionDialogTitle(), &why);
    if (!dialog) {
        if (error) *error = "option dialog cannot be shown: " + why;
        return false;
    }
    std::mutex mutex;
    std::condition_variable closed;
    enum class Outcome { Open, Ok, Cancel } outcome = Outcome::Open;
    auto close = [&](Outcome how) {
        std::lock_guard lock(mutex);
        if (outcome == Outcome::Open) outcome = how;
        closed.notify_all();
    };

    using Kind = winmsg::ControlKind;
    // Other programs find the dialog while its controls are still being added and act as soon
    // as they see a control: each one is added with its state and its click handler, so a box
    // ticked or a button clicked early is never lost or overwritten.
    // Creation order is the order other programs enumerate: the folder edit must be the
    // seventh child and the command edit the eleventh.
    dialog->AddChild(Kind::Static, S("書庫ファイル"));
    dialog->AddChild(Kind::Edit, cabinetName);
    dialog->AddChild(Kind::Static, S("作成する実行ファイル"));
    dialog->AddChild(Kind::Edit, exeName);
    dialog->AddChild(Kind::Static, S("解凍先フォルダ (%temp% はテンポラリフォルダ)"));
    dialog->AddChild(Kind::Button, S("参照..."));
    winmsg::Hwnd folder = dialog->AddChild(Kind::Edit, options.extractDir);
    winmsg::Hwnd noAsk = dialog->AddChild(Kind::CheckBox, S("解凍時に解凍先フォルダを問い合わせない"),
                                          {.check = options.askFolder ? 0 : 1, .onClick = {}});
    winmsg::Hwnd deleteAfter = dialog->AddChild(Kind::CheckBox, S("プログラム終了後、解凍されたファイルを削除する"),
                                                {.check = options.deleteAfterRun ? 1 : 0, .onClick = {}});
    dialog->AddChild(Kind::Static, S("解凍後に実行するプログラム"));
    winmsg::Hwnd command = dialog->AddChild(Kind::Edit, options.command);
    dialog->AddChild(Kind::Button, "OK", {.check = 0, .onClick = [&] { close(Outcome::Ok); }});
    dialog->AddChild(Kind::Button, S("キャンセル"), {.check = 0, .onClick = [&] { close(Outcome::Cancel); }});

    std::unique_lock lock(mutex);
    closed.wait_for(lock, timeout, [&] { return outcome != Outcome::Open; });
    Outcome result = outcome;
    outcome = Outcome::Cancel;  // late clicks change nothing
    lock.unlock();

    if (result != Outcome::Ok) {
        if (error) *error = result == Outcome::Cancel ? "option dialog cancelled" : "option dialog not confirmed in time";
        return false;
    }
    sfx::CabSfxOptions chosen;
    chosen.extractDir = dialog->Text(folder);
    chosen.command = dialog->Text(command);
    chosen.askFolder = dialog->Check(noAsk) == 0;
    chosen.deleteAfterRun = dialog->Check(deleteAfter) != 0;
    if (chosen.extractDir.empty()) {
        if (error) *error = "option dialog: no extraction folder given";
        return false;
    }
    options = chosen;
    return true;
}

}  // namespace archivers::cab32
