#include "zeriru/frmFiles/files_list_tools.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/frmFiles/files_item.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
using namespace files_item;

namespace {

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i = sjis::NextChar(text, i)) ++count;
    return count;
}

std::string Joined(std::string_view a, std::string_view b) {
    if (b.empty()) return std::string(a);
    return std::string(a) + "\\" + std::string(b);
}

std::string WithNumbers(std::string text, std::initializer_list<long long> numbers) {
    for (long long n : numbers) {
        const std::size_t at = text.find("%d");
        if (at == std::string::npos) break;
        text.replace(at, 2, std::to_string(n));
    }
    return text;
}

}  // namespace

// ---- the item check ----

std::string FileProblemText(FileProblemKind kind) {
    switch (kind) {
    case FileProblemKind::FileMissing: return sjis::S("ファイルなし");
    case FileProblemKind::PathTooLong: return sjis::S("パス長エラー");
    case FileProblemKind::InvalidName: return sjis::S("ファイル名エラー");
    }
    return {};
}

std::string FileProblemDescription(FileProblemKind kind) {
    switch (kind) {
    case FileProblemKind::FileMissing: return sjis::S("ファイルが存在しません。");
    case FileProblemKind::PathTooLong: return sjis::S("フォルダ/ファイル名が長すぎます。");
    case FileProblemKind::InvalidName: return sjis::S("ファイル/フォルダに使用できない文字が含まれています。");
    }
    return {};
}

std::vector<FileProblem> FindFileProblems(const std::vector<std::string>& records, const FileCheckServices& services) {
    const RecordCodec& codec = FilesItemCodec();
    std::vector<FileProblem> problems;
    for (std::size_t row = 0; row < records.size(); ++row) {
        const std::string& record = records[row];
        if (!codec.Bool(record, kEnabled)) continue;
        const int kind = codec.Int(record, kKind);
        if (kind != kCopyFile && kind != kCreateFolder) continue;
        FileProblem problem;
        problem.row = static_cast<int>(row);
        problem.folder = kind == kCreateFolder;
        problem.define = codec.Text(record, kDefine);
        problem.parameter = codec.Text(record, kParameter);
        problem.source = codec.Text(record, kSource);
        const std::string folder = Joined(problem.define, problem.parameter);
        if (problem.folder) {
            if (CharacterCount(services.expandInstallPath(folder)) <= kMaxDestinationPath) continue;
            problem.kind = FileProblemKind::PathTooLong;
        } else {
            const std::string target = services.expandInstallPath(Joined(folder, FileNamePart(problem.source)));
            if (!services.fileExists(problem.source))
                problem.kind = FileProblemKind::FileMissing;
            else if (CharacterCount(target) > kMaxDestinationPath)
                problem.kind = FileProblemKind::PathTooLong;
            else if (!IsFullFolderPath(target))
                problem.kind = FileProblemKind::InvalidName;
            else
                continue;
        }
        problems.push_back(std::move(problem));
    }
    return problems;
}

std::string MsgNoProblems() { return sjis::S("問題は見つかりませんでした。"); }

// ---- CorrectionDialogModel ----

CorrectionDialogModel::CorrectionDialogModel(const FileProblem& problem)
    : define(problem.define), parameter(problem.parameter), fileName(problem.source), folder_(problem.folder) {}

std::string CorrectionDialogModel::Caption() { return sjis::S("項目の修正"); }

std::vector<std::string> CorrectionDialogModel::DefineChoices() {
    return {"%InstallDir%",     "%InstallDrive%", "%ProgramFilesDir%",    "%WindowsDirectory%", "%SystemDirectory%",
            "%SystemRootDir%", "%FavoritesDir%", "%CommonFavoritesDir%", "%RegistryDir%",      "%AbsoluteDir%"};
}

bool CorrectionDialogModel::ParameterTyped() const { return !DefineNeedsParameter(define); }

CheckOutcome CorrectionDialogModel::Ok() const {
    if (auto r = CheckFolderDefineRule(define, "cmbDefine")) return r;
    if (auto r = CheckDefineParameterRule(define, parameter, "edtParameter")) return r;
    if (!FileNameVisible()) return std::nullopt;
    if (auto r = CheckRequired(fileName, sjis::S("ファイル名を入力してください。"), "edtFileName")) return r;
    return CheckFilePathRule(fileName, "edtFileName", MsgInvalidFileName());
}

// ---- FileCheckDialogModel ----

FileCheckDialogModel::FileCheckDialogModel(std::vector<FileProblem> problems) {
    for (FileProblem& problem : problems) rows_.push_back(Row{std::move(problem), false});
}

std::string FileCheckDialogModel::Caption() { return sjis::S("ファイルチェック"); }

std::string FileCheckDialogModel::Prompt() {
    return sjis::S("下記のエラー項目が見つかりました。項目を修正せずに削除する場合はチェックボックスにチェックしてください。");
}

std::vector<std::string> FileCheckDialogModel::ColumnCaptions() {
    return {sjis::S("種別"), sjis::S("フォルダ定数"), sjis::S("サブフォルダ"), sjis::S("ファイル"), sjis::S("コメント")};
}

std::vector<std::string> FileCheckDialogModel::RowTexts(int row) const {
    const FileProblem& p = rows_.at(static_cast<std::size_t>(row)).problem;
    return {FileProblemText(p.kind), p.define, p.parameter, p.source, FileProblemDescription(p.kind)};
}

CorrectionDialogModel FileCheckDialogModel::Correction(int row) const {
    return CorrectionDialogModel(rows_.at(static_cast<std::size_t>(row)).problem);
}

void FileCheckDialogModel::ApplyCorrection(int row, const CorrectionDialogModel& correction) {
    FileProblem& p = rows_.at(static_cast<std::size_t>(row)).problem;
    p.define = correction.define;
    p.parameter = correction.parameter;
    if (correction.FileNameVisible()) p.source = correction.fileName;
}

void FileCheckDialogModel::Apply(ItemList& list) const {
    const RecordCodec& codec = FilesItemCodec();
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        const FileProblem& p = it->problem;
        if (p.row < 0 || p.row >= list.size()) continue;
        if (it->remove) {
            list.Remove({p.row});
            continue;
        }
        FieldValues changes{{kDefine, p.define}, {kParameter, WithoutTrailingBackslash(p.parameter)}};
        if (!p.folder) changes[kSource] = p.source;
        list.Replace(p.row, codec.Update(list.record(p.row), changes));
    }
    list.MarkChanged();
}

// ---- the total size ----

std::string FormatThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::uint64_t TotalFileSize(const std::vector<std::string>& records,
                            const std::function<std::uint64_t(std::string_view)>& sizeOf) {
    std::uint64_t total = 0;
    for (const std::string& record : records) {
        const std::string source = FilesItemCodec().Text(record, kSource);
        if (!source.empty()) total += sizeOf(source);
    }
    return total;
}

void ShowTotalSize(Ui& ui, const std::vector<std::string>& records,
                   const std::function<std::uint64_t(std::string_view)>& sizeOf) {
    if (records.empty()) {
        ui.ShowMessage(sjis::S("対象の項目がありません。"));
        return;
    }
    if (!ui.AskYesNo(sjis::S("ディスク容量を計算しますか。"))) return;
    std::uint64_t total = 0;
    {
        BusyCursor busy(ui);
        total = TotalFileSize(records, sizeOf);
    }
    std::string text = sjis::S("全ファイル容量 %s byte");
    text.replace(text.find("%s"), 2, FormatThousands(total));
    ui.ShowMessage(text, MessageButtons::Ok, MessageIcon::Information);
}

// ---- export and import ----

std::string ExchangeExportFilter() { return sjis::S("Raredovo外部ファイル(*.qpe)|*.qpe|すべてのファイル(*.*)|*.*"); }

std::string ExchangeImportFilter() {
    return sjis::S("Raredovo外部ファイル(*.qpe)|*.qpe|Raredovoプロジェクトファイル|*.pj2|すべてのファイル(*.*)|*.*");
}

std::string ExchangeFolder(std::string_view editorFolder) { return wp::JoinPath(editorFolder, "ExtendData"); }

bool ExportFilesList(Ui& ui, std::string_view editorFolder, const std::vector<std::string>& records) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.filter = ExchangeExportFilter();
    request.defaultExtension = "qpe";
    request.folder = ExchangeFolder(editorFolder);
    request.overwritePrompt = true;
    if (!wp::DirectoryExists(request.folder)) wp::CreateDirectoryTree(request.folder);
    if (!ui.ChooseFiles(request) || request.paths.empty()) return false;
    const std::string text = sjis::S("エクスポート中");
    bool written = false;
    {
        BusyCursor busy(ui);
        written = WriteExchangeFile(request.paths.front(), records, [&](std::size_t done, std::size_t total) {
            ui.ShowProgress(done + 1, total, text);
            ui.ProcessMessages();
        });
        ui.ShowProgress(0, 0, {});
    }
    if (!written) ui.Error(sjis::S("ファイルを保存できませんでした。\r") + request.paths.front());
    return written;
}

std::optional<ImportResult> ReadImport(Ui& ui, std::string_view path, ImportSource source,
                                       const std::function<bool(std::string_view)>& fileExists) {
    if (source == ImportSource::Nothing) return std::nullopt;
    const TIniDocument document = TIniDocument::OpenWindowsPath(path);
    std::string section;
    if (source == ImportSource::ExchangeFile) {
        if (!IsExchangeFile(document)) {
            ui.ShowMessage(sjis::S("Raredovo外部ファイルではありません。"));
            return std::nullopt;
        }
        if (!ui.AskYesNo(sjis::S("外部ファイルをインポートしてもよろしいですか。\rインポート後必要に応じて不要な項目を削除してください。")))
            return std::nullopt;
        section = "DATA";
    } else {
        if (!ui.AskYesNo(sjis::S("Raredovoプロジェクトファイルをインポートしてもよろしいですか。\rインポート後必要に応じて不要な項目を削除してください。")))
            return std::nullopt;
        section = ItemsSectionName(document, kFilesSettingSection, kFilesDefaultItems);
    }
    ImportResult result;
    const std::vector<std::string> records = ReadRecordsOf(document, section);
    const std::string text = sjis::S("インポート中");
    const RecordCodec& codec = FilesItemCodec();
    for (std::size_t i = 0; i < records.size(); ++i) {
        ui.ShowProgress(i + 1, records.size(), text);
        ui.ProcessMessages();
        ++result.read;
        const int kind = codec.Int(records[i], kKind);
        const bool namesSource = kind == kCopyFile || kind == kComponent;
        if (namesSource && !fileExists(codec.Text(records[i], kSource))) {
            ++result.skipped;
            continue;
        }
        result.records.push_back(records[i]);
    }
    ui.ShowProgress(0, 0, {});
    return result;
}

bool ImportFilesList(Ui& ui, std::string_view editorFolder, ItemList& list,
                     const std::function<bool(std::string_view)>& fileExists) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = ExchangeImportFilter();
    request.folder = ExchangeFolder(editorFolder);
    if (!ui.ChooseFiles(request) || request.paths.empty()) return false;
    std::optional<ImportResult> imported;
    {
        BusyCursor busy(ui);
        const ImportSource source = request.filterIndex == 1   ? ImportSource::ExchangeFile
                                    : request.filterIndex == 2 ? ImportSource::Project
                                                               : ImportSource::Nothing;
        imported = ReadImport(ui, request.paths.front(), source, fileExists);
    }
    if (!imported) return false;
    std::vector<std::string> records = list.records();
    const std::size_t room = static_cast<std::size_t>(std::max(0, kFilesListLimit - list.size()));
    const bool full = imported->records.size() > room;
    for (std::size_t i = 0; i < imported->records.size() && i < room; ++i)
        records.push_back(std::move(imported->records[i]));
    list.Load(std::move(records));
    list.MarkChanged();
    if (imported->skipped > 0)
        ui.ShowMessage(WithNumbers(sjis::S("%d中、%d 個の項目はファイルが存在しないためスキップしました。"),
                                   {imported->read, imported->skipped}));
    if (full) ui.ShowMessage(MsgListFull());
    return true;
}

}  // namespace zeriru
