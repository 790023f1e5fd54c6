#include "qtsupport/sjis_text.h"

#include "platform/sjis.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace qtsupport {

namespace sjis = platform::sjis;

QString ToQString(std::string_view text) {
    const std::string utf8 = sjis::ToUtf8(text, sjis::Unconvertible::Replace);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToSjis(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return sjis::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                          sjis::Unconvertible::Replace);
}

QString ToDisplayText(std::string_view text) {
    QString out = ToQString(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QChar('\r'), QChar('\n'));
    return out;
}

QStringList ToQStringList(const std::vector<std::string>& texts) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& t : texts) out << ToQString(t);
    return out;
}

QString UseJapaneseFont() {
    static const char* const kFamilies[] = {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic"};
    const QStringList installed = QFontDatabase::families();
    for (const char* family : kFamilies) {
        const QString name = QString::fromLatin1(family);
        if (!installed.contains(name)) continue;
        QFont font = QApplication::font();
        font.setFamily(name);
        QApplication::setFont(font);
        return name;
    }
    return {};
}

}  // namespace qtsupport
