#include "zeriru/editors/dialog_frame_model.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;

std::string DialogFrameModel::DiscardQuestion() { return sjis::S("変更内容を破棄してもよろしいですか？"); }

bool DialogFrameModel::ConfirmDiscard(Ui& ui) const {
    if (readOnly_ || !changed_) return true;
    return ui.AskYesNo(DiscardQuestion());
}

// ---- PageSwitcher ----

PageSwitcher::PageSwitcher(int pageCount, std::vector<int> helpTopics)
    : count_(std::max(pageCount, 1)), helpTopics_(std::move(helpTopics)) {}

void PageSwitcher::SetPage(int page) {
    if (page >= 0 && page < count_) page_ = page;
}

void PageSwitcher::Next() { page_ = (page_ + 1) % count_; }

void PageSwitcher::Previous() { page_ = (page_ + count_ - 1) % count_; }

int PageSwitcher::HelpTopic() const {
    if (helpTopics_.empty()) return 0;
    return static_cast<std::size_t>(page_) < helpTopics_.size() ? helpTopics_[static_cast<std::size_t>(page_)]
                                                                : helpTopics_.front();
}

void PageSwitcher::Restore(const EditorSettings& settings, std::string_view dialogKey) {
    page_ = 0;
    if (!settings.ReadOptions().saveLastState) return;
    SetPage(settings.DialogLastTab(dialogKey));
}

void PageSwitcher::Store(EditorSettings& settings, std::string_view dialogKey) const {
    settings.SetDialogLastTab(dialogKey, page_);
}

// ---- ColumnLayout ----

ColumnLayout::ColumnLayout(EditorSettings& settings, std::string listKey, int columnCount)
    : settings_(settings), key_(std::move(listKey)), columns_(columnCount),
      auto_(settings.ReadOptions().autoColumnWidth) {}

std::vector<int> ColumnLayout::Widths() const {
    std::vector<int> widths;
    for (int c = 0; c < columns_; ++c) widths.push_back(settings_.ColumnWidth(key_, c));
    stored_ = widths;
    return widths;
}

void ColumnLayout::Store(const std::vector<int>& widths) {
    if (auto_) return;
    if (stored_.size() != static_cast<std::size_t>(columns_)) Widths();
    for (int c = 0; c < columns_ && static_cast<std::size_t>(c) < widths.size(); ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        if (widths[i] == stored_[i]) continue;
        settings_.SetColumnWidth(key_, c, widths[i]);
        stored_[i] = widths[i];
    }
}

}  // namespace zeriru
