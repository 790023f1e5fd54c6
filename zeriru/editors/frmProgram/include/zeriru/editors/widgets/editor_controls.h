// Small builders of the controls the page dialogs are made of: each control gets its component
// name as object name, texts come as UTF-8 captions or Shift-JIS entries, and check lists are
// QListWidgets of checkable lines.
#pragma once

#include <QString>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace zeriru::gui {

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption);
QRadioButton* MakeRadio(QWidget* parent, const char* name, const char* caption);
QLineEdit* MakeEdit(QWidget* parent, const char* name);
// A drop-down list of Shift-JIS entries.
QComboBox* MakeCombo(QWidget* parent, const char* name, const std::vector<std::string>& entries);
QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption);
// A text that wraps; `text` may hold "\r" line breaks.
QLabel* MakeNote(QWidget* parent, const char* name, const QString& text);
// A page of a tab control.
QWidget* AddPage(QTabWidget* tabs, const char* name, const char* caption);
// A label/field row whose label's mnemonic focuses the field.
QLabel* AddRow(QFormLayout* form, const char* caption, QWidget* field);

// A check list: one checkable line per Shift-JIS text.
QListWidget* MakeCheckList(QWidget* parent, const char* name, const std::vector<std::string>& lines);
bool LineChecked(const QListWidget* list, int line);
void SetLineChecked(QListWidget* list, int line, bool checked);
void SetLineEnabled(QListWidget* list, int line, bool enabled);
// The lines as bits (bit i = line i) and back.
int CheckedBits(const QListWidget* list);
void SetCheckedBits(QListWidget* list, int bits);

// Shift-JIS texts of a table of choices: text(0), text(1), ... text(count - 1).
template <typename TextOf>
std::vector<std::string> Choices(int count, TextOf text) {
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) entries.push_back(text(i));
    return entries;
}

}  // namespace zeriru::gui
