#include "ridaviri/gui/aux_windows.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "qtsupport/sjis_text.h"
#include "ridaviri/gui/graph_widget.h"
#include "ridaviri/gui/icons.h"

namespace ridaviri::gui {
namespace {

// Background of the graph windows and their texts.
const QColor kGraphWindowGrey(164, 164, 164);
// The list's buttons and margins, pixels.
constexpr int kListButtonWidth = 95;
constexpr int kListButtonHeight = 42;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Keys of a window that Escape must not close and Enter must not act on outside its buttons.
bool SwallowedKey(QWidget* window, QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return true;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(window->focusWidget())) button->click();
        return true;
    }
    return false;
}

}  // namespace

// ------------------------------------------------------------------------------ graph windows

CAllChannelGraphWnd::CAllChannelGraphWnd(int half, MonitorData& data, GraphSettings& settings,
                                         std::function<void()> onSwitch, std::function<void()> onClose,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), posts_(this), onSwitch_(std::move(onSwitch)), onClose_(std::move(onClose)) {
    model_ = std::make_unique<AllChannelGraphModel>(half, data, settings,
                                                    [post = posts_.poster(), this] { post([this] { Refresh(); }); });
    setObjectName(half == 0 ? QStringLiteral("CAllChannelGraphWnd1") : QStringLiteral("CAllChannelGraphWnd2"));
    setWindowTitle(U(model_->Title()));
    setWindowIcon(ProgramIcon());
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, kGraphWindowGrey);
    setPalette(grey);
    frame_ = model_->TakeFrame();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    for (int p = 0; p < kSmallGraphs; ++p) {
        auto* cell = new QVBoxLayout;
        auto* title = new QLabel(QStringLiteral("CH%1").arg(model_->ChannelAt(p)), this);
        title->setObjectName(QStringLiteral("lblGraph%1").arg(p + 1));
        graphs_[p] = new GraphArea(kSmallGraphWidth, kSmallGraphHeight, [this, p] { return frame_.graphs[p]; }, this);
        graphs_[p]->setObjectName(QStringLiteral("graph%1").arg(p + 1));
        intervals_[p] = new QLineEdit(this);
        intervals_[p]->setObjectName(QStringLiteral("edtInterval%1").arg(p + 1));
        values_[p] = new QLineEdit(this);
        values_[p]->setObjectName(QStringLiteral("edtValue%1").arg(p + 1));
        auto* fields = new QGridLayout;
        fields->addWidget(new QLabel(U("計測インターバル"), this), 0, 0);
        fields->addWidget(intervals_[p], 0, 1);
        fields->addWidget(new QLabel(U("msec"), this), 0, 2);
        fields->addWidget(new QLabel(U("現在の温度"), this), 1, 0);
        fields->addWidget(values_[p], 1, 1);
        fields->addWidget(new QLabel(U("℃"), this), 1, 2);
        for (QLineEdit* f : {intervals_[p], values_[p]}) {
            f->setReadOnly(true);
            f->setFixedWidth(90);
            f->setAlignment(Qt::AlignRight);
        }
        fields->setHorizontalSpacing(6);
        cell->addWidget(title);
        cell->addWidget(graphs_[p]);
        cell->addLayout(fields);
        // Rows of four, four and two.
        grid->addLayout(cell, p / 4, p % 4);
    }
    auto* other = new QPushButton(U(model_->SwitchText()), this);
    other->setObjectName(QStringLiteral("btnSwitch"));
    auto* close = new QPushButton(U("閉じる"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {other, close}) b->setAutoDefault(false);
    connect(other, &QPushButton::clicked, this, [this] {
        if (onSwitch_) onSwitch_();
    });
    connect(close, &QPushButton::clicked, this, [this] { this->close(); });
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(other);
    buttons->addWidget(close);
    grid->addLayout(buttons, 2, 3, Qt::AlignBottom | Qt::AlignRight);
    setLayout(grid);
    Refresh();
}

CAllChannelGraphWnd::~CAllChannelGraphWnd() {
    posts_.Close();
    model_->Stop();
}

void CAllChannelGraphWnd::Refresh() {
    frame_ = model_->TakeFrame();
    for (int p = 0; p < kSmallGraphs; ++p) {
        intervals_[p]->setText(QString::fromStdString(frame_.interval));
        if (frame_.valueSet[p]) values_[p]->setText(qtsupport::ToQString(frame_.values[p]));
        graphs_[p]->update();
    }
}

void CAllChannelGraphWnd::keyPressEvent(QKeyEvent* event) {
    if (!SwallowedKey(this, event)) QWidget::keyPressEvent(event);
}

void CAllChannelGraphWnd::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closing_) return;
    closing_ = true;
    model_->Stop();
    if (onClose_) onClose_();
}

// ------------------------------------------------------------------------------ list

void MeasurementListItems::SetTable(std::shared_ptr<const MeasurementListTable> table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int MeasurementListItems::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !table_ ? 0 : static_cast<int>(table_->rows);
}

int MeasurementListItems::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !table_ ? 0 : static_cast<int>(table_->columns.size());
}

QVariant MeasurementListItems::data(const QModelIndex& index, int role) const {
    if (!table_ || !index.isValid()) return {};
    if (role == Qt::DisplayRole) return qtsupport::ToQString(table_->Cell(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant MeasurementListItems::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!table_ || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return qtsupport::ToQString(table_->columns.at(section).title);
}

CMeasurementListWnd::CMeasurementListWnd(MonitorData& data, std::atomic<int>& listResult,
                                         std::function<void()> onSelect, std::function<void()> onClosed,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), posts_(this), onClosed_(std::move(onClosed)) {
    setObjectName(QStringLiteral("CMeasurementListWnd"));
    setWindowTitle(U("計測チャンネル番号リスト表示"));
    setWindowIcon(ProgramIcon());
    items_ = new MeasurementListItems(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("lstData"));
    view_->setModel(items_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(20);
    // Two lines: the button has the list's fixed size of 95 x 42 pixels.
    select_ = new QPushButton(U("表示チャンネル\n番号選択"), this);
    select_->setObjectName(QStringLiteral("btnSelect"));
    close_ = new QPushButton(U("閉じる"), this);
    close_->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {select_, close_}) {
        b->setAutoDefault(false);
        b->resize(kListButtonWidth, kListButtonHeight);
    }
    connect(select_, &QPushButton::clicked, this, [this, onSelect = std::move(onSelect)] {
        if (onSelect) onSelect();
        model_->AfterSelection();
    });
    connect(close_, &QPushButton::clicked, this, [this] { close(); });
    model_ = std::make_unique<MeasurementListModel>(
        data, listResult, [post = posts_.poster(), this](std::shared_ptr<const MeasurementListTable> t) {
            post([this, t] { Show(t); });
        });
    resize(760, 520);
}

CMeasurementListWnd::~CMeasurementListWnd() {
    posts_.Close();
    model_->Close();
}

void CMeasurementListWnd::Show(std::shared_ptr<const MeasurementListTable> table) {
    if (!table) return;
    items_->SetTable(table);
    for (std::size_t c = 0; c < table->columns.size(); ++c) view_->setColumnWidth(int(c), table->columns[c].width);
    if (table->rows == 0) return;
    // The last row selected, focused and in view.
    const QModelIndex last = items_->index(int(table->rows) - 1, 0);
    view_->setCurrentIndex(last);
    view_->selectRow(last.row());
    view_->scrollTo(last);
}

void CMeasurementListWnd::keyPressEvent(QKeyEvent* event) {
    if (!SwallowedKey(this, event)) QWidget::keyPressEvent(event);
}

void CMeasurementListWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int cx = width(), cy = height();
    close_->setGeometry(cx - 102, cy - 49, kListButtonWidth, kListButtonHeight);
    select_->setGeometry(cx - 217, cy - 49, kListButtonWidth, kListButtonHeight);
    view_->setGeometry(7, 7, cx - 15, cy - 80);
}

void CMeasurementListWnd::closeEvent(QCloseEvent* event) {
    model_->Close();
    event->accept();
    if (onClosed_) onClosed_();
}

}  // namespace ridaviri::gui
