#pragma once

#include <QLabel>
#include <QRawFont>

#include <array>

// A label for a live number, redrawn many times a second. Text made of digits, signs and a
// point is drawn from glyphs looked up once per font, which skips the text shaping a label
// does at every repaint; any other text, and a disabled label, paints as a label does.
class TNumberLabel : public QLabel {
    Q_OBJECT
public:
    explicit TNumberLabel(const QString& Text = QString(), QWidget* Parent = nullptr);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    static constexpr char Characters[] = "0123456789-+.";
    static constexpr int CharacterCount = int(sizeof(Characters)) - 1;

    bool PaintNumber();
    void LookUpGlyphs();

    QRawFont FFont;
    std::array<quint32, CharacterCount> FGlyphs{};
    std::array<qreal, CharacterCount> FAdvances{};
    bool FGlyphsValid = false;
};
