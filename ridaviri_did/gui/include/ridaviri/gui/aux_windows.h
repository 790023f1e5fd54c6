// The modeless auxiliary windows on Qt: the two all-channel graph windows (ten small graphs
// each, on a grey background) and the measurement list. Each follows the measurement through
// its Qt-free model's thread; the widgets only show what the model hands over.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "ridaviri/gui/post_box.h"
#include "ridaviri/ui/aux_views.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace ridaviri::gui {

class GraphArea;

class CAllChannelGraphWnd : public QWidget {
public:
    // `onSwitch` and `onClose` are the buttons' (and the close box's) actions of the owner.
    CAllChannelGraphWnd(int half, MonitorData& data, GraphSettings& settings, std::function<void()> onSwitch,
                        std::function<void()> onClose, QWidget* parent = nullptr);
    ~CAllChannelGraphWnd() override;

    AllChannelGraphModel& model() { return *model_; }
    int Half() const { return model_->Half(); }
    // The model's thread, started once the window is shown.
    void StartUpdates() { model_->Start(); }
    bool StopUpdates() { return model_->Stop(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Refresh();

    PostBox posts_;
    std::unique_ptr<AllChannelGraphModel> model_;
    std::function<void()> onSwitch_;
    std::function<void()> onClose_;
    AllChannelGraphModel::Frame frame_;
    std::array<GraphArea*, kSmallGraphs> graphs_{};
    std::array<QLineEdit*, kSmallGraphs> intervals_{};
    std::array<QLineEdit*, kSmallGraphs> values_{};
    bool closing_ = false;
};

// The rows of a MeasurementListTable for a QTableView; cells are formatted when shown.
class MeasurementListItems : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetTable(std::shared_ptr<const MeasurementListTable> table);
    const MeasurementListTable* Table() const { return table_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const MeasurementListTable> table_;
};

class CMeasurementListWnd : public QWidget {
public:
    // `onSelect` runs the list channel selection (modal); `onClosed` tells the owner.
    CMeasurementListWnd(MonitorData& data, std::atomic<int>& listResult, std::function<void()> onSelect,
                        std::function<void()> onClosed, QWidget* parent = nullptr);
    ~CMeasurementListWnd() override;

    MeasurementListModel& model() { return *model_; }
    const MeasurementListItems& items() const { return *items_; }
    void Open() { model_->Open(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Show(std::shared_ptr<const MeasurementListTable> table);

    PostBox posts_;
    MeasurementListItems* items_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* select_ = nullptr;
    QPushButton* close_ = nullptr;
    std::function<void()> onClosed_;
    std::unique_ptr<MeasurementListModel> model_;
};

}  // namespace ridaviri::gui
