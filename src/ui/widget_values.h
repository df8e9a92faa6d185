#pragma once

#include <QString>
#include <QWidget>

namespace clipmill::ui {

// Reads and writes the value a control shows, whatever widget class it was built as.
// Multi-line editors convert between the window state's CR LF and Qt's LF here.

// The text of a text field, or "" for other widgets.
QString fieldText(const QWidget* widget);
// Sets a text field's text when it differs; false for other widgets.
bool setFieldText(QWidget* widget, const QString& text);

// The caption a check box, radio button, button, label or group box shows.
QString shownCaption(const QWidget* widget);
void setShownCaption(QWidget* widget, const QString& caption);

}  // namespace clipmill::ui
