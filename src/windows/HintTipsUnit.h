#pragma once

#include <QDialog>

// The start-up hints and tips window.
class THintTipsForm : public QDialog {
    Q_OBJECT
public:
    explicit THintTipsForm(QWidget* Parent = nullptr);
};
