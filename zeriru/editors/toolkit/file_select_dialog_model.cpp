#include "zeriru/editors/file_select_dialog_model.h"

#include "platform/sjis.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

// The extensions the dialog accepts.
constexpr std::size_t kMaxExtensions = 5;

// ".EXT" of a file name in upper case; empty without a point.
std::string UpperExtension(std::string_view name) {
    const std::size_t point = sjis::FindLastChar(name, '.');
    return point == sjis::npos ? std::string() : sjis::ToUpper(name.substr(point));
}

}  // namespace

FileSelectDialogModel::FileSelectDialogModel(std::vector<InstalledFile> files, std::string message, std::string label,
                                             std::string_view extensions)
    : files_(std::move(files)), message_(std::move(message)), label_(std::move(label)) {
    for (std::string& e : sjis::SplitSjis(extensions, ';')) {
        if (e.empty()) continue;
        if (extensions_.size() == kMaxExtensions) break;
        extensions_.push_back(sjis::ToUpper(e));
    }
}

std::string FileSelectDialogModel::Caption() { return sjis::S("ファイルの選択"); }

std::string FileSelectDialogModel::FilterCaption() const { return label_ + sjis::S("のみ表示する(&E)"); }

bool FileSelectDialogModel::Matches(const InstalledFile& file) const {
    if (!filter_) return true;
    const std::string extension = UpperExtension(file.fileName);
    for (const std::string& e : extensions_) {
        if (e == extension) return true;
    }
    return false;
}

std::vector<std::string> FileSelectDialogModel::Lines() const {
    std::vector<std::string> lines;
    for (const InstalledFile& file : files_) {
        if (Matches(file)) lines.push_back(file.Line());
    }
    return lines;
}

bool FileSelectDialogModel::WouldListNothing() const {
    FileSelectDialogModel opening = *this;
    opening.filter_ = true;
    return opening.Lines().empty();
}

CheckOutcome FileSelectDialogModel::Ok(int index) {
    const std::vector<std::string> lines = Lines();
    if (index < 0 || index >= static_cast<int>(lines.size()))
        return Fail(sjis::S("リストよりファイルを選択してください。"), "lstFiles");
    result_ = lines[static_cast<std::size_t>(index)];
    return std::nullopt;
}

}  // namespace zeriru
