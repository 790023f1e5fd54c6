// One shortcut of the shortcut list ([ShortCutSetting] UseSection, default [ShortCutItems]):
// what the item dialog edits, read from and written into the item record. Writing keeps every
// field the editor does not know byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace zeriru {

// Where a shortcut is made (field 9).
namespace shortcut_target {
inline constexpr int kDesktop = 1 << 0, kPrograms = 1 << 1, kStartMenu = 1 << 2, kStartup = 1 << 3,
                     kSendTo = 1 << 4, kQuickLaunch = 1 << 5;
inline constexpr int kCount = 6;
}  // namespace shortcut_target
// Field 10.
namespace shortcut_flag {
inline constexpr int kInternetLink = 1 << 0, kNoExistCheck = 1 << 1;
}
// Window at start (field 8): "標準", "最小化", "最大化".
inline constexpr int kShortCutWindowCount = 3;
// Highest icon index.
inline constexpr int kMaxIconIndex = 32767;

struct ShortCutItem {
    std::string name;              // "\" places it in a sub-group of the program group
    std::string target;            // define\parameter\file, or a URL for an internet link
    std::string arguments;
    std::string workingDirectory;  // empty: the folder the target is installed to
    std::string iconFile;
    int iconIndex = 0;
    std::string comment;
    int window = 0;
    int targets = shortcut_target::kPrograms;
    int flags = 0;

    static ShortCutItem Read(std::string_view record);
    // `record` with the fields of this item replaced (a new record when empty).
    std::string Write(std::string_view record = {}) const;
    bool operator==(const ShortCutItem&) const = default;
};

// Captions of the six target boxes in bit order ("デスクトップ(&D)", ...) and of the windows.
std::string ShortCutTargetCaption(int bit);
std::string ShortCutWindowText(int window);

// The list's columns: "項目名", "ファイル名/URL", "引数", "作業ディレクトリ", "アイコンファイル",
// "インデックス", "コメント", and the record itself (a column of width 0).
inline constexpr int kShortCutColumnCount = 8;
inline constexpr int kShortCutRecordColumn = 7;
std::string ShortCutColumnCaption(int column);
std::string ShortCutColumnText(const std::string& record, int column);

}  // namespace zeriru
