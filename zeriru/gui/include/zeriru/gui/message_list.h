// The message page's list lvMessageList: one row per line of the build, with the icon of its
// kind, the text ("処理内容") and the hidden help topic ("エラーID").
#pragma once

#include "zeriru/build_installer.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

namespace zeriru::gui {

class BuildMessageListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kText = 0, kErrorId = 1 };
    explicit BuildMessageListModel(QObject* parent = nullptr);

    void clear();
    void append(const BuildMessage& message);
    const std::vector<BuildMessage>& messages() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<BuildMessage> rows_;
    QIcon error_, hint_;
};

}  // namespace zeriru::gui
