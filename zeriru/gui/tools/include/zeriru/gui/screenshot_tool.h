// The start every picture tool of the editor shares: the usage text, the output folder, the
// Japanese font, and a prefix with the editor's folder provisioned from the suite's data
// ($PLATFORM_ROOT a scratch prefix, $ZUZORUVE_SHARE the suite's data folder).
//
//   int main(int argc, char** argv) {
//       if (!zeriru::gui::ScreenshotArgumentsOk(argc, "files_screenshots")) return 2;
//       QApplication app(argc, argv);
//       const std::string editor = zeriru::gui::StartScreenshots(argv[1], &g_folder);
//       if (editor.empty()) return 1;
//       ...
#pragma once

#include "platform/shell.h"
#include "qtsupport/sjis_text.h"
#include "zeriru/command_line.h"

#include <QDir>
#include <QString>

#include <iostream>
#include <string>

namespace zeriru::gui {

// False after printing the usage when the one argument, the output folder, is missing.
inline bool ScreenshotArgumentsOk(int argc, const char* tool) {
    if (argc == 2) return true;
    std::cerr << "usage: " << tool << " <output folder>\n"
              << "example: PLATFORM_ROOT=/tmp/p ZUZORUVE_SHARE=build/share/zuzoruve " << tool << " shots\n";
    return false;
}

// Makes the output folder (kept in *folder), sets the Japanese font and provisions the prefix
// and the editor's folder; returns that folder's Windows path, or "" after printing why.
// Call after the QApplication exists.
inline std::string StartScreenshots(const char* outputFolder, QString* folder) {
    *folder = QString::fromLocal8Bit(outputFolder);
    qtsupport::UseJapaneseFont();
    QDir().mkpath(*folder);
    std::string error;
    if (!platform::shell::ProvisionPrefix(&error)) {
        std::cerr << error << '\n';
        return {};
    }
    const std::string editor = ProvisionEditorFolder(platform::shell::SuiteShareFolder(), {}, &error);
    if (editor.empty()) std::cerr << error << '\n';
    return editor;
}

}  // namespace zeriru::gui
