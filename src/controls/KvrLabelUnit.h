#pragma once

#include <QLabel>

// A label that can paint its caption rotated: at Angle degrees counter-clockwise, in one
// line, starting at the bottom-left corner, over a transparent background.
class TKvrLabel : public QLabel {
    Q_OBJECT
public:
    explicit TKvrLabel(const QString& Text = QString(), QWidget* Parent = nullptr);

    bool AngledText() const { return FAngledText; }
    void SetAngledText(bool On);
    int Angle() const { return FAngle; }
    void SetAngle(int Degrees);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    bool FAngledText = false;
    int FAngle = 90;
};
