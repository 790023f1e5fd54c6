#include "rozivu.h"

#include "platform/sjis.h"
#include "platform/sync.h"
#include "platform/winmsg.h"

#include <vector>

namespace rozivu {

namespace winmsg = platform::winmsg;
using platform::sjis::S;

std::string EditorWindowTitle() { return "Raredovo"; }
std::string OptionDialogTitle() { return S("自己解凍形式書庫の作成"); }
std::string NoFolderQuestionCaption() { return S("解凍時に解凍先フォルダを問い合わせない"); }
std::string DeleteAfterRunCaption() { return S("プログラム終了後、解凍されたファイルを削除する"); }

std::string ExtractionFolderText(std::string_view subFolder) {
    std::string text = "%temp%\\DOZOZE\\";
    text.append(subFolder);
    if (platform::sjis::FindLastChar(text, '\\') != text.size() - 1) text.push_back('\\');
    return text;
}

FillResult FillOptionDialog(const std::string& folderText) {
    winmsg::Hwnd dialog = winmsg::FindWindow(OptionDialogTitle());
    if (dialog == 0) return FillResult::NoDialog;
    std::vector<winmsg::Hwnd> children = winmsg::EnumChildWindows(dialog);
    if (children.size() <= kCommandEditIndex) return FillResult::TooFewChildren;

    winmsg::SendMessage(children[kFolderEditIndex], winmsg::WM_SETTEXT, 0, folderText);
    winmsg::SendMessage(children[kCommandEditIndex], winmsg::WM_SETTEXT, 0, kCommand);
    // A control that is missing gives handle 0, and a message to 0 reaches no window.
    winmsg::SendMessage(winmsg::FindChildByCaption(dialog, NoFolderQuestionCaption()), winmsg::BM_SETCHECK, 1);
    winmsg::SendMessage(winmsg::FindChildByCaption(dialog, DeleteAfterRunCaption()), winmsg::BM_SETCHECK, 0);
    winmsg::Hwnd ok = winmsg::FindChildByCaption(dialog, "OK");
    winmsg::SendMessage(ok, winmsg::WM_LBUTTONDOWN, 0);
    winmsg::SendMessage(ok, winmsg::WM_LBUTTONUP, 0);
    return FillResult::Confirmed;
}

int Run(std::string_view subFolder, const std::function<void()>& sleep) {
    if (platform::sync::NamedMutex::Open(kMutexName)) return 0;
    auto mutex = platform::sync::NamedMutex::Create(kMutexName, false);
    const std::string folderText = ExtractionFolderText(subFolder);
    while (winmsg::FindWindow(EditorWindowTitle()) != 0) {
        sleep();
        FillOptionDialog(folderText);
    }
    return 0;
}

}  // namespace rozivu
