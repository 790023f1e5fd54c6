#include "zeriru/frmFiles/files_item.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/file_version.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
using namespace files_item;

std::string FileOptionText(int line) {
    static const char* const kTexts[file_option::kLineCount] = {
        "既にファイルが存在する場合は上書き確認メッセージを表示する",
        "レジストリへ登録する (DllSelfRegistry/TLB Register)",
        "共有ファイルとして登録する (SharedFile)",
        "既にファイルが存在する場合はファイルのコピー処理をスキップする",
        "既にファイルが存在する場合はファイル名に日時情報を付加して保存する",
        "ファイルをコピーしない",
        "アンインストール時に、確認メッセージを表示する",
        "既にファイルが存在する場合、バックアップしアンインストール時に復元する",
        "ファイルコピー時は日時情報を無視する",
        "ファイルコピー時はバージョン情報を無視する",
    };
    return line >= 0 && line < file_option::kLineCount ? sjis::S(kTexts[line]) : std::string();
}

std::string FileAttributeText(int line) {
    static const char* const kTexts[file_attribute::kLineCount] = {"アーカイブ属性", "読み取り専用属性",
                                                                    "隠しファイル属性", "システム属性"};
    return line >= 0 && line < file_attribute::kLineCount ? sjis::S(kTexts[line]) : std::string();
}

bool IsKnownFilesKind(int kind) { return kind >= kCopyFile && kind <= kComponent; }

std::string FilesKindText(int kind) {
    static const char* const kTexts[5] = {"ファイルのコピー", "フォルダの作成", "ファイルの削除",
                                          "フォルダを削除する(指定フォルダが空でない場合は削除しない)",
                                          "フォルダを削除する(サブフォルダも含めて削除)"};
    return kind >= 0 && kind < 5 ? sjis::S(kTexts[kind]) : std::string();
}

std::string FileNamePart(std::string_view path) {
    const std::size_t slash = sjis::FindLastChar(path, '\\');
    return std::string(slash == sjis::npos ? path : path.substr(slash + 1));
}

std::string WithoutTrailingBackslash(std::string_view path) {
    std::string out(path);
    while (!out.empty() && out.back() == '\\' && sjis::IsCharBoundary(out, out.size() - 1)) out.pop_back();
    return out;
}

std::vector<std::string> FilesColumnCaptions() {
    return {sjis::S("定数"), sjis::S("サブフォルダ"), sjis::S("ファイル名"), sjis::S("コメント"), sjis::S("設定内容")};
}

std::string FilesColumnText(const std::string& record, int column) {
    const RecordCodec& codec = FilesItemCodec();
    switch (column) {
    case kColumnDefine: return codec.Text(record, kDefine);
    case kColumnParameter: return codec.Text(record, kParameter);
    case kColumnFileName: return FileNamePart(codec.Text(record, kSource));
    case kColumnComment: {
        std::string comment = codec.Text(record, kComment);
        if (comment.empty() && codec.Int(record, kKind) == kCreateFolder) comment = sjis::S("フォルダの作成");
        return comment;
    }
    case kColumnRecord: return record;
    default: return {};
    }
}

RegistrableTest DefaultRegistrableTest() {
    return [](std::string_view path) { return IsSelfRegistering(path); };
}

int ApplyRegistrationRule(int options, std::string_view source, const RegistrableTest& registrable) {
    if ((options & file_option::kRegister) && !(registrable && registrable(source)))
        options &= ~file_option::kRegister;
    return options;
}

int AutoRegisterOptions(int options, std::string_view source, const RegistrableTest& registrable) {
    if (registrable && registrable(source)) options |= file_option::kRegister | file_option::kShared;
    return options;
}

int AttributesOnDisk(std::string_view path) {
    const std::uint32_t attributes = wp::GetFileAttributes(path);
    if (attributes == wp::kInvalidAttributes) return 0;
    int bits = 0;
    if (attributes & wp::kAttrArchive) bits |= file_attribute::kArchive;
    if (attributes & wp::kAttrReadOnly) bits |= file_attribute::kReadOnly;
    if (attributes & wp::kAttrHidden) bits |= file_attribute::kHidden;
    if (attributes & wp::kAttrSystem) bits |= file_attribute::kSystem;
    return bits;
}

bool ExcludesCommonComponent(const std::vector<std::string>& records) {
    for (const std::string& record : records) {
        if (FilesItemCodec().Int(record, kKind) == kCopyFile) return false;
    }
    return true;
}

std::string MsgUnsupportedConversion() { return sjis::S("サポートしていない種類です。"); }

std::optional<std::string> ConvertFilesKind(const std::string& record, int kind) {
    const RecordCodec& codec = FilesItemCodec();
    const int from = codec.Int(record, kKind);
    if (from == kComponent || !IsKnownFilesKind(from) || kind < kCopyFile || kind > kDeleteFolderTree)
        return std::nullopt;
    FieldValues changes{{kKind, FieldInt(kind)}};
    if (kind == kDeleteFile) changes[kSource] = FileNamePart(codec.Text(record, kSource));
    if (kind == kCreateFolder || kind == kDeleteEmptyFolder || kind == kDeleteFolderTree) {
        changes[kSource] = "";
        changes[kComment] = "";
    }
    return codec.Update(record, changes);
}

std::optional<std::string> ConvertedItemProblem(const std::string& record) {
    const RecordCodec& codec = FilesItemCodec();
    const int kind = codec.Int(record, kKind);
    if (codec.Text(record, kDefine).empty()) return sjis::S("フォルダ定数を指定してください。");
    if ((kind == kCopyFile || kind == kDeleteFile) && codec.Text(record, kSource).empty())
        return sjis::S("ファイル名を指定してください。");
    if ((kind == kCreateFolder || kind == kDeleteEmptyFolder || kind == kDeleteFolderTree) &&
        codec.Text(record, kParameter).empty())
        return sjis::S("フォルダを指定してください。");
    return std::nullopt;
}

std::string MsgListFull() {
    std::string text = sjis::S("リストの項目数が %d に達したため処理を中止しました。");
    text.replace(text.find("%d"), 2, std::to_string(kFilesListLimit));
    return text;
}

std::string MsgUnsupportedItem() {
    return sjis::S("この項目は、ご使用のバージョンではサポートしてません。\r最新のバージョンをご使用になるかRaredovoのサポートまでご連絡ください。");
}

}  // namespace zeriru
