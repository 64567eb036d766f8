#pragma once

#include <QWidget>

// The scope window: streamed values plotted against the running sample number.
class TScopeForm : public QWidget {
    Q_OBJECT
public:
    explicit TScopeForm(QWidget* Parent = nullptr);

    // Whether the streamed values have counts and LTA to plot.
    void SetCurCHs(bool Enabled) { FCurCHs = Enabled; }
    void SetLTACHs(bool Enabled) { FLTACHs = Enabled; }
    bool CurCHs() const { return FCurCHs; }
    bool LTACHs() const { return FLTACHs; }

private:
    bool FCurCHs = true;
    bool FLTACHs = true;
};
