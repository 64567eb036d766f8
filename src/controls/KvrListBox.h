#pragma once

#include <QColor>
#include <QListWidget>
#include <QStringList>

#include <functional>

// Kind of a message line.
enum TKvrItemType : quint8 { aInfo = 0, aError = 1 };

// A list of message lines, each coloured by its kind, with a hover highlight, an item
// prefix, scrolling to the newest line and a horizontal range that fits the widest line.
class TKvrListBox : public QListWidget {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TKvrListBox* Sender)>;

    explicit TKvrListBox(QWidget* Parent = nullptr);

    int KvrAddItem(const QString& Item, TKvrItemType ItemType);
    bool KvrAddStrings(const QStringList& List, TKvrItemType ItemType);
    void KvrClear();
    void KvrDelete(int Index); // raises std::out_of_range for an index outside the list
    bool KvrSetItemIndex(int Index);

    // Kind of the item at Index.
    TKvrItemType ItemType(int Index) const;
    // The lines with their times ("hh:mm:ss text"), the selected ones or all.
    QString LinesText(bool SelectedOnly) const;
    // Horizontal extent in pixels: the widest item's text plus 5.
    int HorizontalExtent() const { return FHorizontalExtent; }
    int MouseOverIndex() const { return FMouseOverIndex; }
    void SetItemHeight(int Height);
    int ItemHeight() const { return FItemHeight; }

    bool AutoScroll = true;
    QColor InfoBackgroundColor{0xF0, 0xFF, 0xF0};
    QColor InfoTextColor{0x00, 0x80, 0x00};
    QColor ErrorBackgroundColor{0xFF, 0xF0, 0xF0};
    QColor ErrorTextColor{0xFF, 0x00, 0x00};
    QColor SelectedColor{0xC0, 0xE0, 0xFF};
    QColor MouseOverColor{0xFF, 0x00, 0x00};
    bool MouseHighlight = true;
    QString ItemsPrefix;
    // Each line added is stamped with its time, drawn before it (not part of its text); its
    // whole text is its tooltip; Ctrl+C and the context menu copy the selected lines, and
    // the menu saves them all through OnSaveLines.
    bool ShowTimes = false;
    TNotifyEvent OnSaveLines;
    TNotifyEvent OnInfoItem;
    TNotifyEvent OnErrorItem;

    // Background and text colours of an item as painted (hover not included).
    QColor ItemBackground(int Index, bool Selected) const;
    QColor ItemTextColor(int Index) const;

protected:
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    class TItemPainter;
    friend class TItemPainter;

    void Notify(TKvrItemType ItemType);
    void ScrollToNewestSoon();
    // Adding keeps the widest width so far; removing measures every line again.
    void WidenHorizontalExtent(const QString& Text);
    void UpdateHorizontalExtent();
    // Where the text starts: after the time, when times are shown.
    int TextIndent() const;
    void CopySelected() const;

    QStringList FTypeList;
    int FMouseOverIndex = -1;
    int FFocused = -1;
    int FItemHeight = 13;
    int FHorizontalExtent = 5;
    bool FScrollPending = false;
};
