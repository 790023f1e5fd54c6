#include "zeriru/gui/qt_ui.h"

#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/message_box.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/application_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>

namespace zeriru::gui {

namespace wp = platform::winpath;
using qtsupport::ToDisplayText;
using qtsupport::ToQString;
using qtsupport::ToSjis;

namespace {

// Longest pause between two event runs of a long loop, ms.
constexpr int kEventSliceMs = 10;

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

Answer AnswerOf(QMessageBox::StandardButton b) {
    switch (b) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

QString HostFolder(std::string_view windowsFolder) {
    if (windowsFolder.empty()) return {};
    const auto host = wp::ToHostPath(windowsFolder);
    return host ? QString::fromStdString(host->string()) : QString();
}

std::string WindowsPathOf(const QString& host) { return wp::ToWindowsPath(host.toStdString()); }

}  // namespace

QStringList NameFilters(std::string_view filter) {
    QStringList out;
    const QStringList parts = ToQString(filter).split(QChar('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts)) {
            for (const QString& variant : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
                if (!patterns.contains(variant)) patterns << variant;
        }
        out << parts[i] + QStringLiteral(" (") + patterns.join(QChar(' ')) + QChar(')');
    }
    return out;
}

Answer QtUi::Message(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption) {
    return MessageWithHelp(text, buttons, icon, caption, 0);
}

Answer QtUi::MessageWithHelp(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption,
                             int helpTopic) {
    const QString title = caption.empty() ? QString::fromLatin1(kApplicationTitle) : ToQString(caption);
    std::function<void()> help;
    if (helpTopic > 0) help = [this, helpTopic] { ShowHelp(helpTopic); };
    return AnswerOf(
        qtsupport::ShowMessageBox(parent_, title, ToDisplayText(text), ButtonsOf(buttons), IconOf(icon), help));
}

bool QtUi::Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) {
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(ToQString(caption));
    dialog.setLabelText(ToDisplayText(prompt));
    dialog.setTextValue(ToQString(value));
    dialog.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setOkButtonText(qtsupport::ButtonText(QMessageBox::Ok));
    dialog.setCancelButtonText(qtsupport::ButtonText(QMessageBox::Cancel));
    if (dialog.exec() != QDialog::Accepted) return false;
    value = ToSjis(dialog.textValue());
    return true;
}

bool QtUi::ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) {
    FileDialogRequest request;
    request.filter = std::string(filter);
    request.folder = std::string(folder);
    if (!ChooseFiles(request) || request.paths.empty()) return false;
    path = request.paths.front();
    return true;
}

bool QtUi::ChooseSaveFile(std::string_view filter, std::string_view defaultExtension, std::string_view folder,
                          std::string& path) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.filter = std::string(filter);
    request.defaultExtension = std::string(defaultExtension);
    request.folder = std::string(folder);
    request.overwritePrompt = true;
    if (!ChooseFiles(request) || request.paths.empty()) return false;
    path = request.paths.front();
    return true;
}

bool QtUi::ChooseFiles(FileDialogRequest& request) {
    QFileDialog dialog(parent_, ToQString(request.title), HostFolder(request.folder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile
                            : request.mode == FileDialogRequest::Mode::OpenMany ? QFileDialog::ExistingFiles
                                                                                 : QFileDialog::ExistingFile);
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(ToQString(request.defaultExtension));
    if (!request.fileName.empty()) dialog.selectFile(ToQString(request.fileName));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        const QString first = dialog.selectedFiles().front();
        // The question of Windows' save dialog, in the editor's words; No chooses again.
        if (save && request.overwritePrompt && QFileInfo::exists(first) &&
            Message(ToSjis(first) + platform::sjis::S(" は既に存在します。\r置き換えますか？"), MessageButtons::YesNo,
                    MessageIcon::Warning, ToSjis(dialog.windowTitle())) != Answer::Yes)
            continue;
        break;
    }
    request.paths.clear();
    for (const QString& file : dialog.selectedFiles()) request.paths.push_back(WindowsPathOf(file));
    request.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (request.filterIndex < 1) request.filterIndex = 1;
    return true;
}

bool QtUi::ChooseFolder(std::string_view caption, std::string& folder) {
    QFileDialog dialog(parent_, ToQString(caption), HostFolder(folder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    folder = WindowsPathOf(dialog.selectedFiles().front());
    return true;
}

void QtUi::ShowHelp(int topic) { platform::shell::OpenHelpTopic(topic); }

void QtUi::SetBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUi::ShowProgress(uint64_t position, uint64_t total, std::string_view text) {
    if (onProgress) onProgress(position, total, text);
}

void QtUi::ProcessMessages() {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventSliceMs) return;
    QApplication::processEvents();
    sinceEvents_.start();
}

}  // namespace zeriru::gui
