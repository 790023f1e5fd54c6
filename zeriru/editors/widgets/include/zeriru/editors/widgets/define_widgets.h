// The define controls of the item dialogs:
//  - TDefineCombo: an editable combo of define texts whose stored value is selected, or put
//    first when the list lacks it;
//  - TDefineMenuButton: a button that drops down a menu of defines and "その他"; a define is
//    inserted into its edit at the caret (replacing the selection), "その他" opens the define
//    builder on the edit's text;
//  - TParameterField: the read-only parameter edit with its "詳細" button, which opens the
//    define parameter dialog for the define of its combo;
//  - TSamplePathLine: the line that shows define\parameter(\file) expanded on this machine.
// Texts cross these controls as Shift-JIS std::string.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include <string>
#include <vector>

class QLineEdit;
class QPushButton;

namespace zeriru::gui {

class EditorToolkit;

class TDefineCombo : public QComboBox {
    Q_OBJECT
public:
    TDefineCombo(QWidget* parent, const char* objectName);
    // Replaces the list (the text typed stays).
    void SetEntries(const std::vector<std::string>& entries);
    // Selects the entry equal to `define` ignoring case, else inserts it as the first entry.
    void SetDefine(const std::string& define);
    // The text shown (typed or chosen).
    std::string define() const;
};

class TDefineMenuButton : public QToolButton {
    Q_OBJECT
public:
    // `defines`: the menu's entries before "その他"; `mask`: what the builder offers.
    TDefineMenuButton(EditorToolkit& kit, QLineEdit* target, const std::vector<std::string>& defines, int mask,
                      QWidget* parent, const char* objectName);
    // "その他": the builder on the target's text; on OK the text becomes the builder's.
    bool RunBuilder();
    // A define of the menu, inserted at the caret.
    void InsertDefine(const std::string& define);

private:
    EditorToolkit& kit_;
    QLineEdit* target_;
    int mask_;
};

class TParameterField : public QWidget {
    Q_OBJECT
public:
    TParameterField(EditorToolkit& kit, TDefineCombo* combo, const char* editName, const char* buttonName,
                    QWidget* parent, const QString& buttonCaption = QStringLiteral("詳細(&E)"));

    QLineEdit* edit() const { return edit_; }
    QPushButton* button() const { return button_; }
    TDefineCombo* combo() const { return combo_; }
    std::string parameter() const;
    void SetParameter(const std::string& parameter);
    // "詳細": the parameter dialog; true when the parameters changed.
    bool Edit();

Q_SIGNALS:
    void parameterChanged();

private:
    EditorToolkit& kit_;
    TDefineCombo* combo_;
    QLineEdit* edit_;
    QPushButton* button_;
};

class TSamplePathLine : public QLabel {
    Q_OBJECT
public:
    TSamplePathLine(EditorToolkit& kit, QWidget* parent, const char* objectName);
    // Follows a define combo, its parameter field and optionally a file name edit, showing
    // ExpandInstallPath of define\parameter\file (empty parts left out).
    void Follow(TDefineCombo* define, TParameterField* parameter, QLineEdit* fileName = nullptr);
    void Refresh();
    // The expanded text shown (Shift-JIS).
    const std::string& path() const { return path_; }

private:
    EditorToolkit& kit_;
    TDefineCombo* define_ = nullptr;
    TParameterField* parameter_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    std::string path_;
};

// define\parameter\file with the empty parts left out.
std::string JoinDefinePath(const std::string& define, const std::string& parameter, const std::string& file = {});

}  // namespace zeriru::gui
