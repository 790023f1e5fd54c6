#include "zeriru/editors/shortcut_item.h"

#include "platform/sjis.h"
#include "zeriru/editors/record_kinds.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace f = shortcut_item;

ShortCutItem ShortCutItem::Read(std::string_view record) {
    const RecordCodec& c = ShortCutItemCodec();
    ShortCutItem item;
    item.name = c.Text(record, f::kName);
    item.target = c.Text(record, f::kTarget);
    item.arguments = c.Text(record, f::kArguments);
    item.workingDirectory = c.Text(record, f::kWorkingDirectory);
    item.iconFile = c.Text(record, f::kIconFile);
    item.iconIndex = c.Int(record, f::kIconIndex);
    item.comment = c.Text(record, f::kComment);
    item.window = c.Int(record, f::kWindow);
    item.targets = c.Int(record, f::kTargets);
    item.flags = c.Int(record, f::kFlags);
    return item;
}

std::string ShortCutItem::Write(std::string_view record) const {
    return ShortCutItemCodec().Update(record, {{f::kName, name},
                                               {f::kTarget, target},
                                               {f::kArguments, arguments},
                                               {f::kWorkingDirectory, workingDirectory},
                                               {f::kIconFile, iconFile},
                                               {f::kIconIndex, FieldInt(iconIndex)},
                                               {f::kComment, comment},
                                               {f::kWindow, FieldInt(window)},
                                               {f::kTargets, FieldInt(targets)},
                                               {f::kFlags, FieldInt(flags)}});
}

std::string ShortCutTargetCaption(int bit) {
    static const char* const kCaptions[shortcut_target::kCount] = {
        "デスクトップ(&D)", "プログラム(&P)", "スタートメニュー(&M)", "スタートアップ(&U)", "送る(&S)", "クイック起動(&Q)"};
    return bit >= 0 && bit < shortcut_target::kCount ? sjis::S(kCaptions[bit]) : std::string();
}

std::string ShortCutWindowText(int window) {
    static const char* const kTexts[kShortCutWindowCount] = {"標準", "最小化", "最大化"};
    return window >= 0 && window < kShortCutWindowCount ? sjis::S(kTexts[window]) : std::string();
}

std::string ShortCutColumnCaption(int column) {
    static const char* const kCaptions[kShortCutColumnCount] = {
        "項目名", "ファイル名/URL", "引数", "作業ディレクトリ", "アイコンファイル", "インデックス", "コメント", ""};
    return column >= 0 && column < kShortCutColumnCount ? sjis::S(kCaptions[column]) : std::string();
}

std::string ShortCutColumnText(const std::string& record, int column) {
    const RecordCodec& c = ShortCutItemCodec();
    switch (column) {
    case 0: return c.Text(record, f::kName);
    case 1: return c.Text(record, f::kTarget);
    case 2: return c.Text(record, f::kArguments);
    case 3: return c.Text(record, f::kWorkingDirectory);
    case 4: return c.Text(record, f::kIconFile);
    case 5: return std::to_string(c.Int(record, f::kIconIndex));
    case 6: return c.Text(record, f::kComment);
    case kShortCutRecordColumn: return record;
    default: return {};
    }
}

}  // namespace zeriru
