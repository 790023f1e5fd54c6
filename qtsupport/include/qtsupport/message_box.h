// Message boxes and button boxes with Japanese button captions ("はい(&Y)", "キャンセル", ...),
// whatever translations the machine has.
#pragma once

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QString>

#include <functional>

namespace qtsupport {

// The caption of a standard button.
QString ButtonText(QMessageBox::StandardButton button);
// Gives every standard button of the box its Japanese caption.
void SetButtonTexts(QDialogButtonBox* box);

// A modal message box; returns the button pressed (Cancel or No when the box is closed with
// Esc or the close button, whichever it has). With `onHelp` the box carries "ヘルプ(&H)",
// which runs onHelp and leaves the box open.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const QString& caption, const QString& text,
                                           QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                           const std::function<void()>& onHelp = {});

}  // namespace qtsupport
