// Timing of the item list with 32,768 rows (the most a setting editor's list holds): filling
// the model, painting the view while scrolling from top to bottom, and fitting the columns.
// Run: QT_QPA_PLATFORM=offscreen build/bin/qtsupport_item_list_bench
#include "qtsupport/item_list.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qtsupport::ItemRecordFormat format;
    format.columns = {QStringLiteral("インストール先"), QStringLiteral("ファイル名"), QStringLiteral("説明")};
    format.text = [](const std::string& rec, int column) {
        std::size_t begin = 0;
        for (int i = 0; i < column + 2; ++i) begin = rec.find('|', begin) + 1;
        return rec.substr(begin, rec.find('|', begin) - begin);
    };
    format.checked = [](const std::string& rec) { return rec[0] == '1'; };
    std::vector<std::string> records;
    for (int i = 0; i < 32768; ++i)
        records.push_back("1|0|%InstallDir%|C:\\src\\file" + std::to_string(i) + ".txt|item " + std::to_string(i) +
                          "||0|0|65535|||");

    qtsupport::ItemListModel model(format);
    qtsupport::ItemListView view;
    view.resize(640, 480);
    view.setModel(&model);
    view.show();

    QElapsedTimer t;
    t.start();
    model.setRecords(records);
    app.processEvents();
    const qint64 fill = t.restart();
    QScrollBar* bar = view.verticalScrollBar();
    int pages = 0;
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep(), ++pages) {
        bar->setValue(v);
        view.viewport()->repaint();
    }
    const qint64 scroll = t.restart();
    view.fitColumnsToContents();
    const qint64 fit = t.restart();
    std::printf("rows %d: fill %lld ms, %d pages painted in %lld ms (%.2f ms/page), fit columns %lld ms\n",
                model.rowCount(), static_cast<long long>(fill), pages, static_cast<long long>(scroll),
                pages ? static_cast<double>(scroll) / pages : 0.0, static_cast<long long>(fit));
    return 0;
}
