#pragma once

#include <QWidget>

// The command trace window: lists every command report sent to the dongle.
class TSendCommands : public QWidget {
    Q_OBJECT
public:
    explicit TSendCommands(QWidget* Parent = nullptr);
};
