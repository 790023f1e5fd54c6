#include "zeriru/frmFiles/files_dialog_model.h"

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
namespace wp = platform::winpath;
using namespace files_item;

namespace {

constexpr std::string_view kAutoRegistOcx = "AutoRegistOcx";
constexpr std::string_view kEnablePositionSelect = "EnablePositionSelect";

int KindOf(const std::string& record) { return FilesItemCodec().Int(record, kKind); }

}  // namespace

// Collects the items an addition makes and puts them into the list as one block when it ends,
// so that thousands of items cost one pass over the list.
class FilesDialogModel::Inserter : public FilesItemSink {
public:
    Inserter(FilesDialogModel& model, int row) : model_(model), row_(row) {}

    int Count() const override { return model_.list_.size() + static_cast<int>(pending_.size()); }
    bool KeepGoing() override {
        model_.ui_.ProcessMessages();
        return !model_.abortRequested_;
    }
    void Add(std::string record) override {
        pending_.push_back(std::move(record));
        if (pending_.size() % 64 == 0 && model_.observer_) model_.observer_->Adding(static_cast<int>(pending_.size()));
    }

    // Puts the items made into the list; returns how many.
    int Flush() {
        if (pending_.empty()) return 0;
        const std::vector<std::string>& old = model_.list_.records();
        std::vector<std::string> records;
        records.reserve(old.size() + pending_.size());
        records.insert(records.end(), old.begin(), old.begin() + row_);
        records.insert(records.end(), std::make_move_iterator(pending_.begin()), std::make_move_iterator(pending_.end()));
        records.insert(records.end(), old.begin() + row_, old.end());
        const int count = static_cast<int>(pending_.size());
        pending_.clear();
        model_.list_.Load(std::move(records));
        model_.list_.MarkChanged();
        return count;
    }

private:
    FilesDialogModel& model_;
    int row_;
    std::vector<std::string> pending_;
};

FilesDialogModel::FilesDialogModel(Ui& ui, EditorData& data, FilesDialogSeams seams, bool readOnly,
                                   bool componentList)
    : ui_(ui), data_(data), seams_(std::move(seams)), readOnly_(readOnly), componentList_(componentList),
      list_(ItemListTexts::Defaults(kFilesListLimit)) {
    autoRegister_ = data_.settings().DialogSwitch(settings_key::kFiles, kAutoRegistOcx, false);
    positionSelect_ = data_.settings().DialogSwitch(settings_key::kFiles, kEnablePositionSelect, true);
}

std::string FilesDialogModel::Caption() { return sjis::S("ファイル/フォルダの設定"); }

std::string FilesDialogModel::MsgEmptyList() {
    return sjis::S("項目が登録されていません。項目を最低限1つは登録してください。");
}

void FilesDialogModel::StoreToggles() {
    data_.settings().SetDialogSwitch(settings_key::kFiles, kAutoRegistOcx, autoRegister_);
    data_.settings().SetDialogSwitch(settings_key::kFiles, kEnablePositionSelect, positionSelect_);
}

void FilesDialogModel::Notify(void (FilesListObserver::*what)()) {
    if (observer_) (observer_->*what)();
}

void FilesDialogModel::Reset() {
    const int size = list_.size();
    selection_.erase(std::remove_if(selection_.begin(), selection_.end(), [size](int r) { return r >= size; }),
                     selection_.end());
    if (current_ >= size) current_ = -1;
    Notify(&FilesListObserver::ListReset);
    Notify(&FilesListObserver::StateChanged);
}

void FilesDialogModel::Load(std::vector<std::string> records) {
    ui_.ShowProgress(0, 0, sjis::S("読み込み中"));
    list_.Load(std::move(records));
    ui_.ShowProgress(0, 0, {});
    selection_.clear();
    current_ = -1;
    Reset();
}

// ---- selection ----

void FilesDialogModel::SetSelection(std::vector<int> rows, int current) {
    const int size = list_.size();
    rows.erase(std::remove_if(rows.begin(), rows.end(), [size](int r) { return r < 0 || r >= size; }), rows.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selection_ = std::move(rows);
    current_ = current >= 0 && current < size ? current : -1;
    Notify(&FilesListObserver::StateChanged);
}

int FilesDialogModel::SelectedRow() const {
    if (selection_.empty()) return -1;
    if (current_ >= 0 && std::binary_search(selection_.begin(), selection_.end(), current_)) return current_;
    return selection_.front();
}

// ---- enabled commands ----

bool FilesDialogModel::Visible(FilesCommand command) const {
    if (command == FilesCommand::Abort) return adding_;
    if (command == FilesCommand::Ok) return !readOnly_;
    return true;
}

bool FilesDialogModel::Enabled(FilesCommand command) const {
    if (adding_) return command == FilesCommand::Abort;
    const int selected = static_cast<int>(selection_.size());
    const bool one = selected == 1;
    const bool writable = !readOnly_;
    switch (command) {
    case FilesCommand::Open: {
        if (!one || !seams_.hasOpenCommand) return false;
        const std::string name = FileNamePart(FilesItemCodec().Text(list_.record(selection_.front()), kSource));
        const std::string extension = wp::ExtensionOf(name);
        return !extension.empty() && seams_.hasOpenCommand(extension);
    }
    case FilesCommand::ItemCheck: return writable;
    case FilesCommand::TotalSize: return true;
    case FilesCommand::Ok: return writable;
    case FilesCommand::Cancel: return true;
    case FilesCommand::Add: return writable;
    case FilesCommand::Edit:
        if (selected == 0) return false;
        if (one) return true;
        return std::all_of(selection_.begin(), selection_.end(),
                           [this](int row) { return KindOf(list_.record(row)) == kCopyFile; });
    case FilesCommand::Delete: return writable && selected > 0;
    case FilesCommand::Copy: return writable && one;
    case FilesCommand::Clear: return writable && !list_.empty();
    case FilesCommand::Convert: return writable && one;
    case FilesCommand::MoveTop:
    case FilesCommand::MoveUp: return writable && one && list_.CanMoveUp(selection_.front());
    case FilesCommand::MoveDown:
    case FilesCommand::MoveBottom: return writable && one && list_.CanMoveDown(selection_.front());
    case FilesCommand::SelectAll:
    case FilesCommand::InvertSelection: return writable && !list_.empty();
    case FilesCommand::Import:
    case FilesCommand::Export: return writable;
    case FilesCommand::AutoRegister:
    case FilesCommand::PositionSelect:
    case FilesCommand::Help: return true;
    case FilesCommand::Abort: return false;
    }
    return false;
}

void FilesDialogModel::Run(FilesCommand command) {
    if (!Enabled(command)) return;
    switch (command) {
    case FilesCommand::Open: Open(); break;
    case FilesCommand::ItemCheck: ItemCheck(); break;
    case FilesCommand::TotalSize: TotalSize(); break;
    case FilesCommand::Add: Add(); break;
    case FilesCommand::Edit: Edit(); break;
    case FilesCommand::Delete: Delete(); break;
    case FilesCommand::Copy: Copy(); break;
    case FilesCommand::Clear: Clear(); break;
    case FilesCommand::Convert: Convert(); break;
    case FilesCommand::MoveTop: MoveTop(); break;
    case FilesCommand::MoveUp: MoveUp(); break;
    case FilesCommand::MoveDown: MoveDown(); break;
    case FilesCommand::MoveBottom: MoveBottom(); break;
    case FilesCommand::SelectAll: SelectAll(); break;
    case FilesCommand::InvertSelection: InvertSelection(); break;
    case FilesCommand::Import: Import(); break;
    case FilesCommand::Export: Export(); break;
    case FilesCommand::AutoRegister: SetAutoRegister(!autoRegister_); break;
    case FilesCommand::PositionSelect: SetPositionSelect(!positionSelect_); break;
    case FilesCommand::Abort: Abort(); break;
    case FilesCommand::Ok:
    case FilesCommand::Cancel:
    case FilesCommand::Help: break;  // the dialog's own
    }
    Notify(&FilesListObserver::StateChanged);
}

// ---- closing ----

bool FilesDialogModel::Ok() {
    if (adding_ || readOnly_) return false;
    if (list_.empty()) {
        ui_.ShowMessage(MsgEmptyList());
        return false;
    }
    return true;
}

bool FilesDialogModel::Cancel() {
    if (adding_) return false;
    if (readOnly_ || !list_.changed()) return true;
    return ui_.AskYesNo(DialogFrameModel::DiscardQuestion());
}

// ---- commands ----

void FilesDialogModel::Open() {
    const std::string source = FilesItemCodec().Text(list_.record(SelectedRow()), kSource);
    if (seams_.fileExists && seams_.fileExists(source) && seams_.openFile) seams_.openFile(source);
}

void FilesDialogModel::ItemCheck() {
    FileCheckServices services;
    services.expandInstallPath = [this](std::string_view text) { return data_.ExpandInstallPath(text); };
    services.fileExists = seams_.fileExists;
    std::vector<FileProblem> problems;
    {
        BusyCursor busy(ui_);
        problems = FindFileProblems(list_.records(), services);
    }
    if (problems.empty()) {
        ui_.ShowMessage(MsgNoProblems(), MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    FileCheckDialogModel dialog(std::move(problems));
    if (!seams_.fileCheckDialog || !seams_.fileCheckDialog(dialog)) return;
    dialog.Apply(list_);
    Reset();
}

void FilesDialogModel::TotalSize() { ShowTotalSize(ui_, list_.records(), seams_.fileSize); }

FilesItemDialogModel::Environment FilesDialogModel::ItemEnvironment() {
    return FilesItemDialogModel::Environment{data_,          ui_,       seams_.registrable, componentList_,
                                             readOnly_, seams_.componentListDialog};
}

void FilesDialogModel::Add() {
    if (!list_.CanAdd(ui_)) return;
    FilesItemDialogModel item = FilesItemDialogModel::ForNewItem(ItemEnvironment());
    if (!seams_.itemDialog || !seams_.itemDialog(item) || !item.finished()) return;
    AddPosition position = AddPosition::End;
    if (positionSelect_ && !list_.empty()) {
        AddPositionDialogModel dialog(SelectedRow() >= 0);
        if (!seams_.addPositionDialog || !seams_.addPositionDialog(dialog)) return;
        if (dialog.Enabled(dialog.position)) position = dialog.position;
        if (dialog.dontShowAgain) {
            ui_.ShowMessage(AddPositionDialogModel::DontShowMessage());
            positionSelect_ = false;
        }
    }
    const int row = InsertionRow(position, SelectedRow(), list_.size());
    adding_ = true;
    abortRequested_ = false;
    Notify(&FilesListObserver::StateChanged);
    int added = 0;
    {
        BusyCursor busy(ui_);
        Inserter inserter(*this, row);
        item.MakeItems(inserter, {autoRegister_});
        added = inserter.Flush();
        ui_.ShowProgress(0, 0, {});
    }
    adding_ = false;
    if (added > 0) {
        if (observer_) observer_->RowsInserted(row, added);
        selection_ = {row};
        current_ = row;
    }
    Notify(&FilesListObserver::StateChanged);
}

bool FilesDialogModel::EditOne(int row) {
    const std::string& record = list_.record(row);
    if (!IsKnownFilesKind(KindOf(record))) {
        ui_.ShowMessage(MsgUnsupportedItem());
        return false;
    }
    FilesItemDialogModel item = FilesItemDialogModel::ForItem(ItemEnvironment(), record);
    if (!seams_.itemDialog || !seams_.itemDialog(item) || readOnly_ || !item.finished()) return false;
    list_.Replace(row, item.Apply(list_.record(row)));
    if (observer_) observer_->RowChanged(row);
    return true;
}

bool FilesDialogModel::EditRecordsAt(const std::vector<int>& rows) {
    if (rows.size() == 1) return EditOne(rows.front());
    std::vector<std::string> records;
    for (int row : rows) records.push_back(list_.record(row));
    FilesItemDialogModel item = FilesItemDialogModel::ForItems(ItemEnvironment(), records);
    if (!seams_.itemDialog || !seams_.itemDialog(item) || readOnly_ || !item.finished()) return false;
    const std::vector<std::string> updated = item.ApplySeveral(records);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (updated[i] == records[i]) continue;
        list_.Replace(rows[i], updated[i]);
        if (observer_) observer_->RowChanged(rows[i]);
    }
    return true;
}

void FilesDialogModel::Edit() {
    if (selection_.size() == 1)
        EditOne(SelectedRow());
    else
        EditRecordsAt(selection_);
}

void FilesDialogModel::Delete() {
    const std::vector<int> rows = selection_;
    if (!list_.Delete(ui_, rows)) return;
    if (observer_) observer_->RowsRemoved(rows);
    const int next = std::min(rows.front(), list_.size() - 1);
    selection_.clear();
    current_ = -1;
    if (next >= 0) {
        selection_ = {next};
        current_ = next;
    }
}

void FilesDialogModel::Copy() {
    if (!list_.CanAdd(ui_)) return;
    const int row = list_.Copy(SelectedRow());
    if (row < 0) return;
    if (observer_) observer_->RowsInserted(row, 1);
    selection_ = {row};
    current_ = row;
}

void FilesDialogModel::Clear() {
    if (!list_.Clear(ui_)) return;
    selection_.clear();
    current_ = -1;
    Reset();
}

void FilesDialogModel::Convert() {
    const int row = SelectedRow();
    const int kind = KindOf(list_.record(row));
    if (kind == kComponent || !IsKnownFilesKind(kind)) {
        ui_.ShowMessage(MsgUnsupportedConversion());
        return;
    }
    KindConversionDialogModel dialog(kind);
    if (!seams_.kindConversionDialog || !seams_.kindConversionDialog(dialog)) return;
    const std::optional<std::string> converted = ConvertFilesKind(list_.record(row), dialog.kind);
    if (!converted) {
        ui_.ShowMessage(MsgUnsupportedConversion());
        return;
    }
    list_.Replace(row, *converted);
    if (observer_) observer_->RowChanged(row);
    if (dialog.showDetails) {
        EditOne(row);
        return;
    }
    if (const std::optional<std::string> problem = ConvertedItemProblem(*converted)) {
        ui_.ShowMessage(*problem);
        EditOne(row);
    }
}

int FilesDialogModel::Move(int row, int to) {
    if (to == row) return row;
    if (observer_) observer_->RowMoved(row, to);
    selection_ = {to};
    current_ = to;
    return to;
}

void FilesDialogModel::MoveTop() {
    const int row = SelectedRow();
    Move(row, list_.MoveTop(row));
}

void FilesDialogModel::MoveUp() {
    const int row = SelectedRow();
    Move(row, list_.MoveUp(row));
}

void FilesDialogModel::MoveDown() {
    const int row = SelectedRow();
    Move(row, list_.MoveDown(row));
}

void FilesDialogModel::MoveBottom() {
    const int row = SelectedRow();
    Move(row, list_.MoveBottom(row));
}

void FilesDialogModel::SelectAll() {
    selection_.resize(static_cast<std::size_t>(list_.size()));
    for (int i = 0; i < list_.size(); ++i) selection_[static_cast<std::size_t>(i)] = i;
}

void FilesDialogModel::InvertSelection() {
    std::vector<int> inverted;
    inverted.reserve(static_cast<std::size_t>(list_.size()) - selection_.size());
    std::size_t next = 0;
    for (int i = 0; i < list_.size(); ++i) {
        if (next < selection_.size() && selection_[next] == i) {
            ++next;
            continue;
        }
        inverted.push_back(i);
    }
    selection_ = std::move(inverted);
    if (!std::binary_search(selection_.begin(), selection_.end(), current_)) current_ = -1;
}

void FilesDialogModel::Import() {
    const int before = list_.size();
    if (!ImportFilesList(ui_, data_.settings().editorFolder(), list_, seams_.fileExists)) return;
    if (observer_ && list_.size() > before) observer_->RowsInserted(before, list_.size() - before);
}

void FilesDialogModel::Export() { ExportFilesList(ui_, data_.settings().editorFolder(), list_.records()); }

}  // namespace zeriru
