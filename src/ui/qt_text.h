#pragma once

#include <QString>
#include <string>

namespace clipmill::ui {

inline QString toQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string fromQt(const QString& text) { return text.toStdString(); }

// Multi-line texts keep CR LF between lines in the window state; Qt's widgets use LF.
inline QString withLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

inline QString withCrLf(const QString& text) {
    QString lines = withLf(text);
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines;
}

}  // namespace clipmill::ui
