#include "qtsupport/message_box.h"

#include <QAbstractButton>
#include <QPushButton>

namespace qtsupport {

QString ButtonText(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return QStringLiteral("OK");
    case QMessageBox::Cancel:
        return QStringLiteral("キャンセル");
    case QMessageBox::Yes:
        return QStringLiteral("はい(&Y)");
    case QMessageBox::No:
        return QStringLiteral("いいえ(&N)");
    case QMessageBox::Help:
        return QStringLiteral("ヘルプ(&H)");
    case QMessageBox::Close:
        return QStringLiteral("閉じる");
    case QMessageBox::Apply:
        return QStringLiteral("適用(&A)");
    default:
        return {};
    }
}

void SetButtonTexts(QDialogButtonBox* box) {
    for (QAbstractButton* b : box->buttons()) {
        const auto standard = static_cast<QMessageBox::StandardButton>(box->standardButton(b));
        const QString text = ButtonText(standard);
        if (!text.isEmpty()) b->setText(text);
    }
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& caption, const QString& text,
                                           QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                           const std::function<void()>& onHelp) {
    QMessageBox box(icon, caption, text, buttons, parent);
    for (QAbstractButton* b : box.buttons()) {
        const QString t = ButtonText(box.standardButton(b));
        if (!t.isEmpty()) b->setText(t);
    }
    QPushButton* help = nullptr;
    if (onHelp) help = box.addButton(ButtonText(QMessageBox::Help), QMessageBox::HelpRole);
    if (buttons & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons & QMessageBox::No)
        box.setEscapeButton(QMessageBox::No);
    for (;;) {
        box.exec();
        // A message box closes on every button; help opens its page and shows the box again.
        if (help && box.clickedButton() == help) {
            onHelp();
            continue;
        }
        QAbstractButton* clicked = box.clickedButton();
        const QMessageBox::StandardButton pressed = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
        if (pressed != QMessageBox::NoButton) return pressed;
        if (buttons & QMessageBox::Cancel) return QMessageBox::Cancel;
        if (buttons & QMessageBox::No) return QMessageBox::No;
        return QMessageBox::Ok;
    }
}

}  // namespace qtsupport
