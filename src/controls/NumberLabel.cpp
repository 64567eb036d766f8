#include "NumberLabel.h"

#include <QEvent>
#include <QGlyphRun>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cstring>

TNumberLabel::TNumberLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    setTextFormat(Qt::PlainText);
}

void TNumberLabel::paintEvent(QPaintEvent* Event) {
    if (!PaintNumber()) QLabel::paintEvent(Event);
}

void TNumberLabel::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::FontChange) FGlyphsValid = false;
    QLabel::changeEvent(Event);
}

void TNumberLabel::LookUpGlyphs() {
    FFont = QRawFont::fromFont(font());
    const QList<quint32> glyphs = FFont.glyphIndexesForString(QString::fromLatin1(Characters));
    const QList<QPointF> advances = FFont.advancesForGlyphIndexes(glyphs);
    FGlyphsValid = FFont.isValid() && glyphs.size() == CharacterCount &&
                   advances.size() == CharacterCount &&
                   std::find(glyphs.begin(), glyphs.end(), 0u) == glyphs.end();
    if (!FGlyphsValid) return;
    for (int i = 0; i < CharacterCount; ++i) {
        FGlyphs[size_t(i)] = glyphs[i];
        FAdvances[size_t(i)] = advances[i].x();
    }
}

// Draws the text where a label would, as one run of glyphs; false when it cannot.
bool TNumberLabel::PaintNumber() {
    const QString shown = text();
    if (shown.isEmpty() || !isEnabled() || frameShape() != QFrame::NoFrame || indent() > 0 ||
        wordWrap() || textFormat() != Qt::PlainText)
        return false;
    if (!FGlyphsValid) LookUpGlyphs();
    if (!FGlyphsValid) return false;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(shown.size());
    positions.reserve(shown.size());
    qreal width = 0;
    for (const QChar c : shown) {
        const char* at = c.unicode() < 128 ? std::strchr(Characters, c.toLatin1()) : nullptr;
        if (!at || !*at) return false;
        const auto i = size_t(at - Characters);
        glyphs << FGlyphs[i];
        positions << QPointF(width, 0);
        width += FAdvances[i];
    }
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    const qreal height = FFont.ascent() + FFont.descent();
    qreal x = area.x(), y = area.y();
    if (align & Qt::AlignRight)
        x += area.width() - width;
    else if (align & Qt::AlignHCenter)
        x += (area.width() - width) / 2;
    if (align & Qt::AlignBottom)
        y += area.height() - height;
    else if (align & Qt::AlignVCenter)
        y += (area.height() - height) / 2;
    QGlyphRun run;
    run.setRawFont(FFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    painter.setPen(QPen(option.palette.brush(foregroundRole()), 0));
    painter.drawGlyphRun(QPointF(x, y + FFont.ascent()), run);
    return true;
}
