#include "ui/chinese_font.h"

#include <QFont>
#include <QFontDatabase>

namespace clipmill::ui {

namespace {

const char* const kPreferredFaces[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC"};

QString simplifiedChineseFace() {
    const QStringList families = QFontDatabase::families();
    for (const char* face : kPreferredFaces)
        if (families.contains(QString::fromUtf8(face))) return QString::fromUtf8(face);
    const QStringList covering = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return covering.isEmpty() ? QString() : covering.front();
}

}  // namespace

QString useChineseFont(QApplication& app) {
    const QString face = simplifiedChineseFace();
    QFont font = app.font();
    if (!face.isEmpty()) font.setFamilies({face});
    font.setPixelSize(12);
    app.setFont(font);
    return face;
}

}  // namespace clipmill::ui
