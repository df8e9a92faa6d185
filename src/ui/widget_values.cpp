#include "ui/widget_values.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ui/qt_text.h"
#include "ui/spin_field.h"

namespace clipmill::ui {

QString fieldText(const QWidget* widget) {
    if (auto* line = qobject_cast<const QLineEdit*>(widget)) return line->text();
    if (auto* spin = qobject_cast<const SpinField*>(widget)) return spin->text();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return withCrLf(plain->toPlainText());
    return {};
}

bool setFieldText(QWidget* widget, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() != text) line->setText(text);
        return true;
    }
    if (auto* spin = qobject_cast<SpinField*>(widget)) {
        spin->setText(text);
        return true;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        QString lines = withLf(text);
        if (plain->toPlainText() != lines) plain->setPlainText(lines);
        return true;
    }
    return false;
}

QString shownCaption(const QWidget* widget) {
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget)) return withCrLf(label->text());
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) return group->title();
    return {};
}

void setShownCaption(QWidget* widget, const QString& caption) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->text() != caption) button->setText(caption);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text() != withLf(caption)) label->setText(withLf(caption));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (group->title() != caption) group->setTitle(caption);
    }
}

}  // namespace clipmill::ui
