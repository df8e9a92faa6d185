#include "ui/wrapping_check_box.h"

#include <QPainter>
#include <algorithm>
#include <QStyleOptionButton>

namespace clipmill::ui {

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void WrappingCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    // Keep the mark on the first line of the caption rather than centred on the block.
    const int firstLine = fontMetrics().height();
    indicator.moveTop(std::max(0, (firstLine - indicator.height()) / 2));
    QStyleOptionButton mark = option;
    mark.rect = indicator;
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &mark, &painter, this);

    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
    QRect textRect = rect().adjusted(indicator.right() + 1 + spacing, 0, 0, 0);
    style()->drawItemText(&painter, textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, option.palette,
                          isEnabled(), text(), QPalette::WindowText);
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

}  // namespace clipmill::ui
