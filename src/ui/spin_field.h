#pragma once

#include <QAbstractSpinBox>

namespace clipmill::ui {

// A number field with up and down arrows whose value stays text: it shows and keeps
// whatever it is given ("", "abc"), and the arrows step the number that text reads as,
// kept within [minimum, maximum].
class SpinField : public QAbstractSpinBox {
    Q_OBJECT
public:
    SpinField(int minimum, int maximum, QWidget* parent = nullptr);

    void setText(const QString& text);
    void stepBy(int steps) override;

signals:
    void textChanged(const QString& text);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    StepEnabled stepEnabled() const override;

private:
    int minimum_;
    int maximum_;
};

}  // namespace clipmill::ui
