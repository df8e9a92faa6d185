#include "ui/spin_field.h"

#include <QLineEdit>
#include <algorithm>

#include "settings/window_state.h"
#include "ui/qt_text.h"

namespace clipmill::ui {

SpinField::SpinField(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinField::textChanged);
}

void SpinField::setText(const QString& text) {
    if (lineEdit()->text() != text) lineEdit()->setText(text);
}

void SpinField::stepBy(int steps) {
    int value = parseWholeNumber(fromQt(text()));
    long long next = static_cast<long long>(value) + steps;
    next = std::clamp<long long>(next, minimum_, maximum_);
    setText(QString::number(next));
}

QValidator::State SpinField::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
    if (!isEnabled()) return StepNone;
    int value = parseWholeNumber(fromQt(text()));
    StepEnabled enabled = StepNone;
    if (value < maximum_) enabled |= StepUpEnabled;
    if (value > minimum_) enabled |= StepDownEnabled;
    return enabled;
}

}  // namespace clipmill::ui
