#include "zeriru/editors/widgets/dialog_frame.h"

#include "qtsupport/message_box.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/ui.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace zeriru::gui {

QDialogButtonBox* MakeDialogButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons) {
    auto* box = new QDialogButtonBox(buttons, dialog);
    box->setObjectName("ButtonBox");
    qtsupport::SetButtonTexts(box);
    if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setObjectName("btnOk");
    if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) cancel->setObjectName("btnCancel");
    if (QPushButton* help = box->button(QDialogButtonBox::Help)) {
        help->setObjectName("btnHelp");
        help->setText(QStringLiteral("ヘルプ(&H)"));
    }
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

void BringToFront(QWidget* widget) {
    for (QWidget* child = widget; child; child = child->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(child->parentWidget());
        if (!stack) continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(child);
        else
            stack->setCurrentWidget(child);
    }
}

bool ShowCheckResult(QWidget& root, Ui& ui, const CheckResult& result) {
    ShowCheckMessage(ui, result);
    if (!result.page.empty()) BringToFront(root.findChild<QWidget*>(QString::fromStdString(result.page)));
    if (!result.field.empty()) {
        if (QWidget* field = root.findChild<QWidget*>(QString::fromStdString(result.field))) {
            BringToFront(field);
            field->setFocus(Qt::OtherFocusReason);
        }
    }
    return result.openParameterDialog;
}

TEditorDialogFrame::TEditorDialogFrame(Ui& ui, const char* objectName, const QString& caption, QWidget* parent)
    : QDialog(parent), ui_(ui) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    layout->addLayout(body_, 1);
    buttons_ = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    helpButton()->hide();
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &TEditorDialogFrame::Ok);
    connect(buttons_, &QDialogButtonBox::helpRequested, this, &TEditorDialogFrame::Help);
}

TEditorDialogFrame::~TEditorDialogFrame() = default;

QPushButton* TEditorDialogFrame::okButton() const { return buttons_->button(QDialogButtonBox::Ok); }
QPushButton* TEditorDialogFrame::cancelButton() const { return buttons_->button(QDialogButtonBox::Cancel); }
QPushButton* TEditorDialogFrame::helpButton() const { return buttons_->button(QDialogButtonBox::Help); }

void TEditorDialogFrame::SetHelpTopic(int topic) {
    helpTopic_ = topic;
    helpButton()->setVisible(topic > 0 || switcher_);
}

void TEditorDialogFrame::UsePages(QTabWidget* pages, std::vector<int> helpTopics, EditorSettings* settings,
                                  std::string lastTabKey) {
    pageControl_ = pages;
    switcher_ = std::make_unique<PageSwitcher>(pages->count(), std::move(helpTopics));
    settings_ = settings;
    lastTabKey_ = std::move(lastTabKey);
    if (settings_ && !lastTabKey_.empty()) switcher_->Restore(*settings_, lastTabKey_);
    pages->setCurrentIndex(switcher_->page());
    helpButton()->setVisible(true);
    connect(pages, &QTabWidget::currentChanged, this, [this](int page) { switcher_->SetPage(page); });
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
    connect(next, &QShortcut::activated, this, [this] {
        switcher_->Next();
        ShowPage(switcher_->page());
    });
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
    connect(previous, &QShortcut::activated, this, [this] {
        switcher_->Previous();
        ShowPage(switcher_->page());
    });
}

void TEditorDialogFrame::ShowPage(int page) {
    if (pageControl_) pageControl_->setCurrentIndex(page);
}

void TEditorDialogFrame::Help() {
    const int topic = switcher_ ? switcher_->HelpTopic() : helpTopic_;
    if (topic > 0) ui_.ShowHelp(topic);
}

void TEditorDialogFrame::TrackChanges() {
    const auto mark = [this] { frame_.MarkChanged(); };
    for (QLineEdit* e : findChildren<QLineEdit*>()) connect(e, &QLineEdit::textChanged, this, mark);
    for (QComboBox* c : findChildren<QComboBox*>()) connect(c, &QComboBox::currentIndexChanged, this, mark);
    for (QCheckBox* b : findChildren<QCheckBox*>()) connect(b, &QCheckBox::stateChanged, this, mark);
    for (QRadioButton* r : findChildren<QRadioButton*>()) connect(r, &QRadioButton::toggled, this, mark);
    for (QSpinBox* s : findChildren<QSpinBox*>()) connect(s, &QSpinBox::valueChanged, this, mark);
    for (QListWidget* l : findChildren<QListWidget*>()) connect(l, &QListWidget::itemChanged, this, mark);
    for (QPlainTextEdit* t : findChildren<QPlainTextEdit*>()) connect(t, &QPlainTextEdit::textChanged, this, mark);
}

void TEditorDialogFrame::LockDown(const std::vector<QWidget*>& hidden, const std::vector<QWidget*>& keep) {
    frame_.SetReadOnly(true);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
            qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) {
            // The line edit inside a combo box follows its combo.
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
            w->setEnabled(false);
        }
    }
    okButton()->hide();
    for (QWidget* w : hidden) w->hide();
    cancelButton()->setEnabled(true);
    helpButton()->setEnabled(true);
    for (QWidget* w : keep) w->setEnabled(true);
}

bool TEditorDialogFrame::ShowCheck(const CheckOutcome& result) {
    if (!result) return false;
    if (!ShowCheckResult(*this, ui_, *result)) return true;
    if (onParameterDialog) {
        onParameterDialog(result->field);
        return true;
    }
    for (TParameterField* field : findChildren<TParameterField*>()) {
        const std::string edit = field->edit()->objectName().toStdString();
        const std::string combo = field->combo() ? field->combo()->objectName().toStdString() : std::string();
        if (result->field == edit || result->field == combo) {
            field->Edit();
            break;
        }
    }
    return true;
}

void TEditorDialogFrame::Ok() {
    if (AcceptOk()) accept();
}

bool TEditorDialogFrame::Changed() const {
    if (frame_.changed()) return true;
    for (const ItemList* list : lists_) {
        if (list->changed()) return true;
    }
    return false;
}

void TEditorDialogFrame::reject() {
    DialogFrameModel state = frame_;
    if (Changed()) state.MarkChanged();
    if (!state.ConfirmDiscard(ui_)) return;
    QDialog::reject();
}

void TEditorDialogFrame::done(int result) {
    if (switcher_ && settings_ && !lastTabKey_.empty()) switcher_->Store(*settings_, lastTabKey_);
    QDialog::done(result);
}

}  // namespace zeriru::gui
