#include "zeriru/main_file_version.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/project_file.h"

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;

namespace {

// Kind of a files item that copies a file (field 2).
constexpr int kCopyFileItem = 0;

bool SameName(std::string_view a, std::string_view b, NameComparison comparison) {
    return comparison == NameComparison::Exact ? a == b : sjis::EqualsNoCase(a, b);
}

}  // namespace

std::string FileItemTarget(std::string_view record) {
    const std::string define = DecodeProjectText(GetItemField(record, 3));
    const std::string parameter = DecodeProjectText(GetItemField(record, 4));
    const std::string name = wp::FileNameOf(DecodeProjectText(GetItemField(record, 5)));
    if (!parameter.empty()) return define + "\\" + parameter + "\\" + name;
    return define + "\\" + name;
}

MainFileVersion FindMainFileVersion(const std::vector<std::string>& fileItems, std::string_view mainFileName,
                                    NameComparison comparison) {
    MainFileVersion found;
    if (mainFileName.empty()) return found;
    for (const std::string& record : fileItems) {
        if (GetItemFieldInt(record, 2, -1) != kCopyFileItem) continue;
        if (!SameName(FileItemTarget(record), mainFileName, comparison)) continue;
        found.source = DecodeProjectText(GetItemField(record, 5));
        if (!wp::FileExists(found.source) || wp::DirectoryExists(found.source)) {
            found.result = MainFileVersionResult::SourceMissing;
        } else if (!GetFileVersion(found.source, found.version)) {
            found.result = MainFileVersionResult::NoVersion;
        } else {
            found.result = MainFileVersionResult::Found;
        }
        return found;
    }
    return found;
}

std::string MainFileVersionMessage(MainFileVersionResult result) {
    switch (result) {
    case MainFileVersionResult::Found:
        return {};
    case MainFileVersionResult::NotListed:
        return sjis::S("メインファイル名が指定されていません。");
    case MainFileVersionResult::SourceMissing:
        return sjis::S("ファイルが存在しません。");
    case MainFileVersionResult::NoVersion:
        return sjis::S("バージョン情報を取得できませんでした。");
    }
    return {};
}

}  // namespace zeriru
