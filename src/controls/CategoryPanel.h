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

    void AddPanel(TCategoryPanel* Panel);
    void ScrollToPanel(TCategoryPanel* Panel);

private:
    QVBoxLayout* FLayout;
};
