#include "qtsupport/dialog_runner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>

namespace qtsupport {

int ScriptedDialogRunner::Run(QDialog& dialog) {
    shown_.push_back(dialog.objectName());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    QApplication::processEvents();
    if (!scripts_.empty()) {
        Script script = std::move(scripts_.front());
        scripts_.pop_front();
        script(dialog);
    }
    if (dialog.isVisible()) dialog.reject();
    return dialog.result();
}

bool ClickButton(QDialog& dialog, const QString& objectName) {
    QAbstractButton* button = dialog.findChild<QAbstractButton*>(objectName);
    if (!button) {
        for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
            if (objectName == QLatin1String("ok")) button = box->button(QDialogButtonBox::Ok);
            if (objectName == QLatin1String("cancel")) button = box->button(QDialogButtonBox::Cancel);
            if (button) break;
        }
    }
    if (!button || !button->isEnabled()) return false;
    button->click();
    return true;
}

}  // namespace qtsupport
