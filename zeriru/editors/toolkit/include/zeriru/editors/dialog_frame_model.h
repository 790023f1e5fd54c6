// What every setting editor's dialog shares, without widgets: the changed flag with the
// question before changes are discarded, the read-only state, the pages with Ctrl+PageUp /
// Ctrl+PageDown and a help topic each and the remembered last page, and the remembered column
// widths of the lists. TEditorDialogFrame and TItemListPanel bind them to widgets.
#pragma once

#include "zeriru/editor_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

class DialogFrameModel {
public:
    explicit DialogFrameModel(bool readOnly = false) : readOnly_(readOnly) {}

    bool readOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool changed() const { return changed_; }
    void MarkChanged() { changed_ = true; }
    void ClearChanged() { changed_ = false; }

    // Cancel, Esc or the close box: when something was changed (and the project is not
    // read-only) asks "変更内容を破棄してもよろしいですか？"; true when the dialog may close.
    bool ConfirmDiscard(Ui& ui) const;
    static std::string DiscardQuestion();

private:
    bool readOnly_ = false;
    bool changed_ = false;
};

// The pages of a dialog: the page shown, the next and previous page (wrapping at both ends),
// the help topic of each page, and the last page remembered under a dialog key ("LastTab" of
// Dialog\Application, Dialog\ShortCut, Dialog\InstallOption) while the editor option
// SaveLastState is on.
class PageSwitcher {
public:
    PageSwitcher(int pageCount, std::vector<int> helpTopics);

    int pageCount() const { return count_; }
    int page() const { return page_; }
    void SetPage(int page);
    void Next();
    void Previous();
    // The help topic of the page shown; the first topic for pages without one of their own.
    int HelpTopic() const;

    // Opens on the remembered page when the last state is kept (a page that no longer exists
    // gives the first).
    void Restore(const EditorSettings& settings, std::string_view dialogKey);
    // Stores the page shown (on closing, however the dialog closes).
    void Store(EditorSettings& settings, std::string_view dialogKey) const;

private:
    int count_;
    int page_ = 0;
    std::vector<int> helpTopics_;
};

// Column widths of a list (ColumnWidth0, ColumnWidth1, ... under its key, default 150): used
// when the option AutoColumnWidth is off; otherwise the columns follow their contents.
class ColumnLayout {
public:
    ColumnLayout(EditorSettings& settings, std::string listKey, int columnCount);

    bool autoWidth() const { return auto_; }
    const std::string& listKey() const { return key_; }
    std::vector<int> Widths() const;
    // Stores the widths that differ from the last ones stored; nothing when the widths follow
    // the contents.
    void Store(const std::vector<int>& widths);

private:
    EditorSettings& settings_;
    std::string key_;
    int columns_;
    bool auto_;
    mutable std::vector<int> stored_;
};

}  // namespace zeriru
