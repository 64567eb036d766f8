#include "KvrLabelUnit.h"

#include <QPainter>

TKvrLabel::TKvrLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {}

void TKvrLabel::SetAngledText(bool On) {
    FAngledText = On;
    update();
}

void TKvrLabel::SetAngle(int Degrees) {
    FAngle = Degrees;
    update();
}

void TKvrLabel::paintEvent(QPaintEvent* Event) {
    if (!FAngledText) {
        QLabel::paintEvent(Event);
        return;
    }
    // Nothing is filled behind angled text: what lies below the label shows through.
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    // The text cell's top-left corner sits at the bottom-left corner of the label; at 90
    // degrees the text reads upwards with its glyphs right of the left edge.
    painter.translate(0, height());
    painter.rotate(-FAngle);
    painter.drawText(QPoint(0, painter.fontMetrics().ascent()), text());
}
