// Shift-JIS text of the programs' files <-> QString of the widgets. The conversion is the
// suite's own iconv "CP932" one, so that characters such as "～" (0x8160) map as they do
// everywhere else in the suite; Qt's Shift-JIS codec maps some of them differently.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace qtsupport {

// Bytes that are not Shift-JIS show as U+FFFD.
QString ToQString(std::string_view sjis);
// Characters that code page 932 lacks become "?".
std::string ToSjis(const QString& text);

// A message text for a label or message box: "\r\n", "\r" and "\n" all break the line.
QString ToDisplayText(std::string_view sjis);

QStringList ToQStringList(const std::vector<std::string>& sjis);

// Makes a Japanese user-interface font the application's font when the machine has one, so
// that every text, its Latin letters and backslashes included, is drawn in one face (a
// Japanese face draws the backslash of a path as the yen sign, as Japanese Windows does).
// Returns the family chosen, empty when none was found.
QString UseJapaneseFont();

}  // namespace qtsupport
