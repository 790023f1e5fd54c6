#include "zeriru/editors/widgets/define_widgets.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/editor_toolkit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;

std::string JoinDefinePath(const std::string& define, const std::string& parameter, const std::string& file) {
    std::string path;
    for (const std::string* part : {&define, &parameter, &file}) {
        if (part->empty()) continue;
        if (!path.empty()) path += '\\';
        path += *part;
    }
    return path;
}

// ---- TDefineCombo ----

TDefineCombo::TDefineCombo(QWidget* parent, const char* objectName) : QComboBox(parent) {
    setObjectName(QString::fromLatin1(objectName));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
}

void TDefineCombo::SetEntries(const std::vector<std::string>& entries) {
    const QString text = currentText();
    clear();
    addItems(qtsupport::ToQStringList(entries));
    setEditText(text);
}

void TDefineCombo::SetDefine(const std::string& define) {
    for (int i = 0; i < count(); ++i) {
        if (platform::sjis::EqualsNoCase(ToSjis(itemText(i)), define)) {
            setCurrentIndex(i);
            setEditText(itemText(i));
            return;
        }
    }
    insertItem(0, ToQString(define));
    setCurrentIndex(0);
    setEditText(ToQString(define));
}

std::string TDefineCombo::define() const { return ToSjis(currentText()); }

// ---- TDefineMenuButton ----

TDefineMenuButton::TDefineMenuButton(EditorToolkit& kit, QLineEdit* target, const std::vector<std::string>& defines,
                                     int mask, QWidget* parent, const char* objectName)
    : QToolButton(parent), kit_(kit), target_(target), mask_(mask) {
    setObjectName(QString::fromLatin1(objectName));
    setText(QStringLiteral("▼"));
    setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(this);
    for (const std::string& define : defines) {
        QAction* a = menu->addAction(ToQString(define));
        connect(a, &QAction::triggered, this, [this, define] { InsertDefine(define); });
    }
    menu->addSeparator();
    QAction* other = menu->addAction(QStringLiteral("その他"));
    other->setObjectName("actOther");
    connect(other, &QAction::triggered, this, [this] { RunBuilder(); });
    setMenu(menu);
}

void TDefineMenuButton::InsertDefine(const std::string& define) {
    target_->insert(ToQString(define));
    target_->setFocus();
}

bool TDefineMenuButton::RunBuilder() {
    const std::optional<std::string> text = kit_.RunDefineBuilder(ToSjis(target_->text()), mask_);
    if (!text) return false;
    target_->setText(ToQString(*text));
    return true;
}

// ---- TParameterField ----

TParameterField::TParameterField(EditorToolkit& kit, TDefineCombo* combo, const char* editName,
                                 const char* buttonName, QWidget* parent, const QString& buttonCaption)
    : QWidget(parent), kit_(kit), combo_(combo) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QString::fromLatin1(editName));
    edit_->setReadOnly(true);
    button_ = new QPushButton(buttonCaption, this);
    button_->setObjectName(QString::fromLatin1(buttonName));
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    connect(button_, &QPushButton::clicked, this, [this] { Edit(); });
    connect(edit_, &QLineEdit::textChanged, this, &TParameterField::parameterChanged);
}

std::string TParameterField::parameter() const { return ToSjis(edit_->text()); }

void TParameterField::SetParameter(const std::string& parameter) { edit_->setText(ToQString(parameter)); }

bool TParameterField::Edit() { return kit_.EditDefineParameters(*edit_, combo_ ? combo_->define() : std::string()); }

// ---- TSamplePathLine ----

TSamplePathLine::TSamplePathLine(EditorToolkit& kit, QWidget* parent, const char* objectName)
    : QLabel(parent), kit_(kit) {
    setObjectName(QString::fromLatin1(objectName));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void TSamplePathLine::Follow(TDefineCombo* define, TParameterField* parameter, QLineEdit* fileName) {
    define_ = define;
    parameter_ = parameter;
    fileName_ = fileName;
    if (define_) connect(define_, &QComboBox::editTextChanged, this, &TSamplePathLine::Refresh);
    if (parameter_) connect(parameter_, &TParameterField::parameterChanged, this, &TSamplePathLine::Refresh);
    if (fileName_) connect(fileName_, &QLineEdit::textChanged, this, &TSamplePathLine::Refresh);
    Refresh();
}

void TSamplePathLine::Refresh() {
    const std::string text = JoinDefinePath(define_ ? define_->define() : std::string(),
                                            parameter_ ? parameter_->parameter() : std::string(),
                                            fileName_ ? ToSjis(fileName_->text()) : std::string());
    path_ = kit_.data().ExpandInstallPath(text);
    setText(ToQString(path_));
}

}  // namespace zeriru::gui
