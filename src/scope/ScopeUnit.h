#pragma once

#include <QWidget>

// The scope window: streamed values plotted against the running sample number.
class TScopeForm : public QWidget {
    Q_OBJECT
public:
    explicit TScopeForm(QWidget* Parent = nullptr);
};
