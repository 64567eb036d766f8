#pragma once

#include <QScrollArea>
#include <QWidget>

class QToolButton;
class QVBoxLayout;

// A panel with a caption bar that collapses and expands its content on a click.
class TCategoryPanel : public QWidget {
    Q_OBJECT
public:
    TCategoryPanel(const QString& Caption, QWidget* Parent = nullptr);

    QString Caption() const;
    void SetCaption(const QString& Caption);
    QWidget* Content() const { return FContent; }

    bool Collapsed() const;
    void Expand() { SetCollapsed(false); }
    void Collapse() { SetCollapsed(true); }
    void SetCollapsed(bool Collapsed);

signals:
    // The panel was collapsed or expanded.
    void CollapsedChanged(bool Collapsed);

private:
    QToolButton* FHeader;
    QWidget* FContent;
};

// A vertical stack of category panels that scrolls when they do not fit.
class TCategoryPanelGroup : public QScrollArea {
    Q_OBJECT
public:
    explicit TCategoryPanelGroup(QWidget* Parent = nullptr);

    // A panel with a stretch above 0 takes the height the panels leave free.
    void AddPanel(TCategoryPanel* Panel, int Stretch = 0);
    void ScrollToPanel(TCategoryPanel* Panel);

private:
    QVBoxLayout* FLayout;
};
