#pragma once

#include <QDialog>

// The streaming set-up dialog: which values the IC streams.
class TStreamSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TStreamSetupForm(QWidget* Parent = nullptr);
};
