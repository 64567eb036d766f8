#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The start-up hints and tips window: four tips, one at a time.
class THintTipsForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int TipCount = 4;

    explicit THintTipsForm(QWidget* Parent = nullptr);

    // The main window's show-at-start-up flag, which this window reads and sets.
    void Bind(bool& ShowTips) { FShowTips = &ShowTips; }
    int HintIndex() const { return FHintIndex; }

    QPushButton* NextButton;
    QPushButton* PrevButton;
    QPushButton* CloseButton;
    QLabel* InfoLabel;
    QLabel* InfoLabel2;
    QLabel* CountLabel;
    QCheckBox* NeverShowCheck;

protected:
    bool event(QEvent* Event) override;
    void reject() override; // Esc closes as "Close" does

private:
    void ShowTip(int Index);
    void CloseButtonClick();

    int FHintIndex = 1;
    bool* FShowTips = nullptr;
};
