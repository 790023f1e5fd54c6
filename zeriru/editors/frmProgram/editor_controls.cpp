#include "zeriru/editors/widgets/editor_controls.h"

#include "qtsupport/sjis_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>

namespace zeriru::gui {

using qtsupport::ToQString;

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const char* caption) {
    auto* radio = new QRadioButton(QString::fromUtf8(caption), parent);
    radio->setObjectName(QString::fromLatin1(name));
    return radio;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const std::vector<std::string>& entries) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (const std::string& e : entries) combo->addItem(ToQString(e));
    return combo;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption) {
    auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

QLabel* MakeNote(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

QWidget* AddPage(QTabWidget* tabs, const char* name, const char* caption) {
    auto* page = new QWidget(tabs);
    page->setObjectName(QString::fromLatin1(name));
    tabs->addTab(page, QString::fromUtf8(caption));
    return page;
}

QLabel* AddRow(QFormLayout* form, const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(field);
    form->addRow(label, field);
    return label;
}

QListWidget* MakeCheckList(QWidget* parent, const char* name, const std::vector<std::string>& lines) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    for (const std::string& line : lines) {
        auto* item = new QListWidgetItem(ToQString(line), list);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    return list;
}

bool LineChecked(const QListWidget* list, int line) {
    const QListWidgetItem* item = list->item(line);
    return item && item->checkState() == Qt::Checked;
}

void SetLineChecked(QListWidget* list, int line, bool checked) {
    if (QListWidgetItem* item = list->item(line)) item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void SetLineEnabled(QListWidget* list, int line, bool enabled) {
    QListWidgetItem* item = list->item(line);
    if (!item) return;
    const Qt::ItemFlags flags = item->flags();
    item->setFlags(enabled ? flags | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable
                           : flags & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
}

int CheckedBits(const QListWidget* list) {
    int bits = 0;
    for (int line = 0; line < list->count() && line < 31; ++line) {
        if (LineChecked(list, line)) bits |= 1 << line;
    }
    return bits;
}

void SetCheckedBits(QListWidget* list, int bits) {
    for (int line = 0; line < list->count() && line < 31; ++line) SetLineChecked(list, line, (bits >> line) & 1);
}

}  // namespace zeriru::gui
