// The version of the application's main file: the file item of the project's files list whose
// target (define\parameter\file name) is [Software] MainFileName, and the version resource of
// that item's source file. The build takes it when AutoUpdateVersion is on, comparing the names
// exactly; the application information dialog takes it on request, ignoring case.
#pragma once

#include "zeriru/file_version.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// Where a files item installs its file: define, "\", parameter, "\", the file name of its
// source (define, "\", file name when the parameter is empty); fields decoded.
std::string FileItemTarget(std::string_view record);

enum class NameComparison { Exact, IgnoreCase };

enum class MainFileVersionResult {
    Found,
    NotListed,      // no file item (kind 0) installs the main file, or no main file is named
    SourceMissing,  // its source file does not exist
    NoVersion,      // its source has no version resource
};

struct MainFileVersion {
    MainFileVersionResult result = MainFileVersionResult::NotListed;
    std::string source;  // Windows path of the item's source
    TFileVersion version;
};

// Looks the main file up in the files list's records, first match first.
MainFileVersion FindMainFileVersion(const std::vector<std::string>& fileItems, std::string_view mainFileName,
                                    NameComparison comparison);

// What the user is told for each outcome but Found (Shift-JIS): "メインファイル名が指定されていま
// せん。", "ファイルが存在しません。", "バージョン情報を取得できませんでした。"; empty for Found.
std::string MainFileVersionMessage(MainFileVersionResult result);

}  // namespace zeriru
