#pragma once

#include <QCheckBox>

namespace clipmill::ui {

// A check box whose caption wraps inside its rectangle; the whole rectangle toggles it.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit WrappingCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace clipmill::ui
