#include "zeriru/editors/widgets/shared_dialogs.h"

#include "platform/sjis.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace zeriru::gui {

namespace sjis = platform::sjis;
using qtsupport::ToDisplayText;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

QLabel* WrappedLabel(const QString& text, QWidget* parent, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

Qt::CheckState CheckStateOf(OsDialogModel::Check check) {
    switch (check) {
    case OsDialogModel::Check::Checked: return Qt::Checked;
    case OsDialogModel::Check::Grayed: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
    }
}

OsDialogModel::Check CheckOf(Qt::CheckState state) {
    switch (state) {
    case Qt::Checked: return OsDialogModel::Check::Checked;
    case Qt::PartiallyChecked: return OsDialogModel::Check::Grayed;
    default: return OsDialogModel::Check::Unchecked;
    }
}

}  // namespace

// ---- TfrmOSDialog ----

TfrmOSDialog::TfrmOSDialog(OsDialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName("frmOSDialog");
    setWindowTitle(ToQString(OsDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl");
    layout->addWidget(pages);

    auto* os = new QWidget;
    os->setObjectName("tsOS");
    auto* osLayout = new QVBoxLayout(os);
    auto* label = new QLabel(QStringLiteral("OS名(&N)"), os);
    lines_ = new QListWidget(os);
    lines_->setObjectName("clbOSName");
    label->setBuddy(lines_);
    for (int line = 0; line < kOsLineCount; ++line) {
        auto* item = new QListWidgetItem(ToQString(OsLineCaption(line)), lines_);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
        if (model.LineEnabled(line)) flags |= Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (model.severalItems()) flags |= Qt::ItemIsUserTristate;
        item->setFlags(flags);
    }
    osLayout->addWidget(label);
    osLayout->addWidget(lines_, 1);
    osLayout->addWidget(WrappedLabel(ToQString(OsDialogModel::Note()), os, "lblNote"));
    pages->addTab(os, QStringLiteral("対象OS"));

    auto* sp = new QWidget;
    sp->setObjectName("tsServicePack");
    auto* form = new QFormLayout(sp);
    for (int i = 0; i < kServicePackCount; ++i) {
        auto* combo = new QComboBox(sp);
        combo->setObjectName(QStringLiteral("cmbServicePack%1").arg(i));
        for (const std::string& choice : model.ServicePackChoices(i)) combo->addItem(ToQString(choice));
        form->addRow(ToQString(ServicePackSpecs()[static_cast<std::size_t>(i)].caption), combo);
        packs_[static_cast<std::size_t>(i)] = combo;
        connect(combo, &QComboBox::activated, this, [this, i](int index) {
            model_.SetServicePack(i, index);
            Reload();
        });
    }
    pages->addTab(sp, QStringLiteral("サービスパック"));

    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    connect(lines_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (loading_) return;
        model_.SetLineState(lines_->row(item), CheckOf(item->checkState()));
        Reload();
    });
    Reload();
    setMinimumWidth(420);
}

void TfrmOSDialog::Reload() {
    loading_ = true;
    for (int line = 0; line < kOsLineCount; ++line)
        lines_->item(line)->setCheckState(CheckStateOf(model_.LineState(line)));
    for (int i = 0; i < kServicePackCount; ++i) {
        QComboBox* combo = packs_[static_cast<std::size_t>(i)];
        combo->setCurrentIndex(model_.ServicePackIndex(i));
        combo->setEnabled(model_.ServicePackEnabled(i));
    }
    loading_ = false;
}

// ---- TfrmFileSelectDialog ----

TfrmFileSelectDialog::TfrmFileSelectDialog(FileSelectDialogModel& model, Ui& ui, QWidget* parent)
    : QDialog(parent), model_(model) {
    setObjectName("frmFileSelectDialog");
    setWindowTitle(ToQString(FileSelectDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel(ToDisplayText(model.message()), this, "lblMessage"));
    files_ = new QListWidget(this);
    files_->setObjectName("lstFiles");
    layout->addWidget(files_, 1);
    auto* filter = new QCheckBox(ToQString(model.FilterCaption()), this);
    filter->setObjectName("cbFilter");
    filter->setChecked(model.filter());
    layout->addWidget(filter);
    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(filter, &QCheckBox::toggled, this, [this](bool on) {
        model_.SetFilter(on);
        Reload();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this, &ui] {
        const QList<QListWidgetItem*> selected = files_->selectedItems();
        if (CheckOutcome problem = model_.Ok(selected.isEmpty() ? -1 : files_->row(selected.front()))) {
            ShowCheckResult(*this, ui, *problem);
            return;
        }
        accept();
    });
    connect(files_, &QListWidget::itemDoubleClicked, this, [buttons] { buttons->button(QDialogButtonBox::Ok)->click(); });
    Reload();
    resize(460, 340);
}

void TfrmFileSelectDialog::Reload() {
    files_->clear();
    for (const std::string& line : model_.Lines()) files_->addItem(ToQString(line));
}

// ---- TfrmDefineBuilderDialog ----

TfrmDefineBuilderDialog::TfrmDefineBuilderDialog(DefineBuilderDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : QDialog(parent), model_(model), kit_(kit) {
    setObjectName("frmDefineBuilderDialog");
    setWindowTitle(ToQString(DefineBuilderDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QGridLayout;
    categories_ = new QListWidget(this);
    categories_->setObjectName("lstCategory");
    for (const TDefineCategory& c : model.categories()) categories_->addItem(ToQString(c.name));
    entries_ = new QListWidget(this);
    entries_->setObjectName("lstDefine");
    auto* categoryLabel = new QLabel(QStringLiteral("分類(&G)"), this);
    categoryLabel->setBuddy(categories_);
    auto* defineLabel = new QLabel(QStringLiteral("定数(&L)"), this);
    defineLabel->setBuddy(entries_);
    lists->addWidget(categoryLabel, 0, 0);
    lists->addWidget(defineLabel, 0, 1);
    lists->addWidget(categories_, 1, 0);
    lists->addWidget(entries_, 1, 1);
    lists->setColumnStretch(0, 2);
    lists->setColumnStretch(1, 3);
    layout->addLayout(lists, 1);
    hint_ = WrappedLabel({}, this, "lblHint");
    hint_->setMinimumHeight(hint_->fontMetrics().height() * 3);
    hint_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    hint_->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(hint_);

    edit_ = new QLineEdit(this);
    edit_->setObjectName("edtDefine");
    layout->addWidget(edit_);
    auto* row = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    paste_ = button("btnPaste", QStringLiteral("貼り付け(&P)"));
    QPushButton* percent = button("btnPercent", QStringLiteral("%"));
    QPushButton* yen = button("btnYen", QStringLiteral("\\"));
    QPushButton* comma = button("btnComma", QStringLiteral(","));
    QPushButton* parameters = button("btnParameter", QStringLiteral("パラメータ入力"));
    row->addStretch();
    QPushButton* clear = button("btnClear", QStringLiteral("クリア(&C)"));
    for (QPushButton* b : {percent, yen, comma}) b->setMaximumWidth(b->fontMetrics().horizontalAdvance("MMM") + 16);
    layout->addLayout(row);
    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);

    connect(categories_, &QListWidget::currentRowChanged, this, [this](int index) {
        model_.SelectCategory(index);
        ReloadEntries();
    });
    connect(entries_, &QListWidget::currentRowChanged, this, [this](int index) {
        model_.SelectEntry(index);
        hint_->setText(ToQString(model_.Hint()));
        paste_->setEnabled(model_.PasteEnabled());
    });
    connect(entries_, &QListWidget::itemDoubleClicked, this, [this] { Paste(); });
    connect(paste_, &QPushButton::clicked, this, [this] { Paste(); });
    for (auto [b, c] : {std::pair{percent, '%'}, std::pair{yen, '\\'}, std::pair{comma, ','}}) {
        const char character = c;
        connect(b, &QPushButton::clicked, this, [this, character] {
            ReadSelection();
            model_.InsertCharacter(character);
            ShowText();
        });
    }
    connect(parameters, &QPushButton::clicked, this, [this] {
        ReadSelection();
        if (model_.EnterParameters(kit_.ui(), [this](DefineParamDialogModel& m) { return kit_.RunParameterDialog(m); }))
            ShowText();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.Clear();
        ShowText();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        ReadSelection();
        accept();
    });

    const QSignalBlocker block(categories_);
    categories_->setCurrentRow(model.category());
    ReloadEntries();
    ShowText();
    resize(560, 440);
}

void TfrmDefineBuilderDialog::ReloadEntries() {
    const QSignalBlocker block(entries_);
    entries_->clear();
    for (const TDefineEntry& e : model_.entries()) entries_->addItem(ToQString(e.define));
    entries_->setCurrentRow(-1);
    hint_->clear();
    paste_->setEnabled(model_.PasteEnabled());
}

void TfrmDefineBuilderDialog::ReadSelection() {
    const QString text = edit_->text();
    int start = edit_->cursorPosition();
    int length = 0;
    if (edit_->hasSelectedText()) {
        start = edit_->selectionStart();
        length = static_cast<int>(edit_->selectedText().length());
    }
    const std::size_t byteStart = ToSjis(text.left(start)).size();
    const std::size_t byteLength = ToSjis(text.mid(start, length)).size();
    model_.SetText(ToSjis(text), byteStart, byteLength);
}

void TfrmDefineBuilderDialog::ShowText() {
    edit_->setText(ToQString(model_.text()));
    edit_->setCursorPosition(static_cast<int>(ToQString(model_.text().substr(0, model_.selStart())).length()));
    edit_->setFocus();
}

void TfrmDefineBuilderDialog::Paste() {
    ReadSelection();
    if (model_.Paste(kit_.ui(), [this](DefineParamDialogModel& m) { return kit_.RunParameterDialog(m); }))
        ShowText();
}

// ---- TfrmDefineParamDialog ----

TfrmDefineParamDialog::TfrmDefineParamDialog(DefineParamDialogModel& model, EditorToolkit& kit, QWidget* parent)
    : QDialog(parent), model_(model), kit_(kit) {
    setObjectName("frmDefineParamDialog");
    setWindowTitle(ToQString(DefineParamDialogModel::Caption()));
    auto* layout = new QVBoxLayout(this);
    auto* define = new QLabel(ToQString(model.define()), this);
    define->setObjectName("lblDefine");
    QFont bold = define->font();
    bold.setBold(true);
    define->setFont(bold);
    layout->addWidget(define);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    for (std::size_t row = 0; row < model.rows().size(); ++row) {
        const int r = static_cast<int>(row);
        auto* caption = new QLabel(ToQString(model.rows()[row].param.caption), this);
        grid->addWidget(caption, r, 0);
        const std::vector<std::string> choices = model.Choices(row);
        QWidget* value = nullptr;
        if (!choices.empty()) {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(qtsupport::ToQStringList(choices));
            value = combo;
        } else {
            value = new QLineEdit(this);
        }
        value->setObjectName(QString::fromStdString(DefineParamDialogModel::ValueControlName(row)));
        value->setMinimumWidth(260);
        value->installEventFilter(this);
        caption->setBuddy(value);
        grid->addWidget(value, r, 1);
        values_.push_back(value);
        if (model.HasBrowse(row)) {
            auto* browse = new QToolButton(this);
            browse->setObjectName(QStringLiteral("btnBrowse%1").arg(r));
            browse->setText(QStringLiteral("..."));
            connect(browse, &QToolButton::clicked, this, [this, row] { Browse(row); });
            grid->addWidget(browse, r, 2);
        }
    }
    layout->addLayout(grid);
    layout->addStretch();
    auto* row = new QHBoxLayout;
    auto* clear = new QPushButton(QStringLiteral("クリア"), this);
    clear->setObjectName("btnClear");
    clear->setAutoDefault(false);
    row->addWidget(clear);
    row->addStretch();
    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    row->addWidget(buttons);
    layout->addLayout(row);
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.Clear();
        Reload();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmDefineParamDialog::Ok);
    Reload();
    if (!values_.empty()) values_.front()->setFocus();
}

void TfrmDefineParamDialog::Read() {
    for (std::size_t row = 0; row < values_.size(); ++row) {
        if (auto* combo = qobject_cast<QComboBox*>(values_[row]))
            model_.SetValue(row, ToSjis(combo->currentText()));
        else if (auto* edit = qobject_cast<QLineEdit*>(values_[row]))
            model_.SetValue(row, ToSjis(edit->text()));
    }
}

void TfrmDefineParamDialog::Reload() {
    for (std::size_t row = 0; row < values_.size(); ++row) {
        const QString value = ToQString(model_.rows()[row].value);
        if (auto* combo = qobject_cast<QComboBox*>(values_[row]))
            combo->setEditText(value);
        else if (auto* edit = qobject_cast<QLineEdit*>(values_[row]))
            edit->setText(value);
    }
}

bool TfrmDefineParamDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto it = std::find(values_.begin(), values_.end(), watched);
    if (it == values_.end()) return QDialog::eventFilter(watched, event);
    const int row = static_cast<int>(it - values_.begin());
    if (event->type() == QEvent::FocusIn) model_.SetCurrent(row);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            model_.SetCurrent(row);
            key == Qt::Key_Up ? model_.MoveUp() : model_.MoveDown();
            ValueControl(static_cast<std::size_t>(model_.current()))->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmDefineParamDialog::Browse(std::size_t row) {
    Read();
    model_.SetCurrent(static_cast<int>(row));
    const DefineParamDialogModel::Row& r = model_.rows()[row];
    Ui& ui = kit_.ui();
    std::optional<std::string> chosen;
    switch (static_cast<ParamInput>(r.param.inputType)) {
    case ParamInput::TextWithDefine: {
        const DefineText parts = SplitDefineText(DecodeProjectText(r.value));
        std::optional<DefineParamDialogModel> inner = OpenDefineParameters(
            ui, kit_.data().defineParams(), parts.define, parts.rest, DefineParamDialogModel::Origin::Builder);
        if (inner && kit_.RunParameterDialog(*inner)) chosen = inner->EncodedDefineText();
        break;
    }
    case ParamInput::Folder: {
        std::string folder = r.value;
        if (ui.ChooseFolder(r.param.caption, folder)) chosen = folder;
        break;
    }
    case ParamInput::FileName:
    case ParamInput::FilePath: {
        FileDialogRequest request;
        request.mode = model_.BrowsesSeveralFiles(row) ? FileDialogRequest::Mode::OpenMany : FileDialogRequest::Mode::Open;
        request.title = r.param.caption;
        request.filter = sjis::S("すべてのファイル(*.*)|*.*");
        if (!ui.ChooseFiles(request) || request.paths.empty()) break;
        if (r.param.inputType == static_cast<int>(ParamInput::FilePath)) {
            chosen = request.paths.front();
            break;
        }
        std::string names;
        for (const std::string& path : request.paths) {
            const std::size_t slash = sjis::FindLastChar(path, '\\');
            if (!names.empty()) names += ':';
            names += slash == sjis::npos ? path : path.substr(slash + 1);
        }
        chosen = names;
        break;
    }
    default:
        break;
    }
    if (!chosen) return;
    model_.SetValue(row, *chosen);
    Reload();
}

void TfrmDefineParamDialog::Ok() {
    Read();
    if (CheckOutcome problem = model_.Ok()) {
        ShowCheckResult(*this, kit_.ui(), *problem);
        return;
    }
    accept();
}

}  // namespace zeriru::gui
