#include "KvrListBox.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTime>

#include <stdexcept>

// Paints every item by the list's rules; sizes every item to the list's item height and
// horizontal extent, so the view's scroll range follows the widest line.
namespace {
constexpr int TimeRole = Qt::UserRole + 1;
const QString TimeFormat = QStringLiteral("hh:mm:ss");
} // namespace

class TKvrListBox::TItemPainter : public QStyledItemDelegate {
public:
    explicit TItemPainter(TKvrListBox* List) : QStyledItemDelegate(List), FList(List) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {FList->FHorizontalExtent, FList->FItemHeight};
    }

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        const int row = Index.row();
        const bool selected = Option.state & QStyle::State_Selected;
        const bool hasFocus = Option.state & QStyle::State_HasFocus;
        const QRect rect = Option.rect;

        if (FList->MouseHighlight && row == FList->FMouseOverIndex && !hasFocus &&
            row != FList->FFocused) {
            Painter->fillRect(rect, FList->MouseOverColor);
        } else {
            Painter->fillRect(rect, FList->ItemBackground(row, selected));
            if (hasFocus) {
                Painter->save();
                Painter->setPen(QPen(FList->palette().color(QPalette::Text), 1, Qt::DotLine));
                Painter->setBrush(Qt::NoBrush);
                Painter->drawRect(rect.adjusted(0, 0, -1, -1));
                Painter->restore();
                FList->FFocused = row;
            }
        }
        Painter->setFont(FList->font());
        QRect textRect = rect;
        if (FList->ShowTimes) {
            Painter->setPen(FList->palette().color(QPalette::Disabled, QPalette::Text));
            Painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                              Index.data(TimeRole).toTime().toString(TimeFormat));
            textRect.setLeft(rect.left() + FList->TextIndent());
        }
        Painter->setPen(FList->ItemTextColor(row));
        Painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          Index.data(Qt::DisplayRole).toString());
    }

private:
    TKvrListBox* FList;
};

TKvrListBox::TKvrListBox(QWidget* Parent) : QListWidget(Parent) {
    QFont f(QStringLiteral("Courier New"));
    f.setBold(true);
    setFont(f);
    setItemDelegate(new TItemPainter(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

int TKvrListBox::KvrAddItem(const QString& Item, TKvrItemType ItemType) {
    setUpdatesEnabled(false);
    FTypeList.append(ItemType == aError ? "1" : "0");
    addItem(ItemsPrefix + Item);
    const int index = count() - 1;
    if (ShowTimes) {
        item(index)->setData(TimeRole, QTime::currentTime());
        item(index)->setToolTip(Item);
    }
    if (AutoScroll) ScrollToNewestSoon();
    setUpdatesEnabled(true);
    Notify(ItemType);
    WidenHorizontalExtent(item(index)->text());
    return index;
}

bool TKvrListBox::KvrAddStrings(const QStringList& List, TKvrItemType ItemType) {
    try {
        for (int i = 0; i < List.size(); ++i)
            FTypeList.append(ItemType == aError ? "1" : "0");
        QStringList lines = List;
        if (!ItemsPrefix.isEmpty())
            for (QString& line : lines)
                line.prepend(ItemsPrefix);
        addItems(lines);
        Notify(ItemType);
        for (const QString& line : lines)
            WidenHorizontalExtent(line);
        return true;
    } catch (...) {
        return false;
    }
}

void TKvrListBox::KvrClear() {
    clear();
    FTypeList.clear();
    FMouseOverIndex = -1;
    FFocused = -1;
    UpdateHorizontalExtent();
}

void TKvrListBox::KvrDelete(int Index) {
    if (Index < 0 || Index >= count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
    delete takeItem(Index);
    FTypeList.removeAt(Index);
    UpdateHorizontalExtent();
}

bool TKvrListBox::KvrSetItemIndex(int Index) {
    if (Index < -1 || Index >= count()) return false;
    setCurrentRow(Index);
    if (Index == -1) clearSelection();
    FFocused = Index;
    return true;
}

TKvrItemType TKvrListBox::ItemType(int Index) const {
    return FTypeList.value(Index) == "1" ? aError : aInfo;
}

void TKvrListBox::SetItemHeight(int Height) {
    FItemHeight = Height;
    doItemsLayout();
}

QColor TKvrListBox::ItemBackground(int Index, bool Selected) const {
    if (Selected) return SelectedColor;
    return ItemType(Index) == aError ? ErrorBackgroundColor : InfoBackgroundColor;
}

QColor TKvrListBox::ItemTextColor(int Index) const {
    return ItemType(Index) == aError ? ErrorTextColor : InfoTextColor;
}

void TKvrListBox::Notify(TKvrItemType ItemType) {
    const TNotifyEvent& event = ItemType == aError ? OnErrorItem : OnInfoItem;
    if (event) event(this);
}

void TKvrListBox::ScrollToNewestSoon() {
    // Scrolling lays out every item at once; a burst of lines is scrolled to once, when the
    // event loop next runs.
    if (FScrollPending) return;
    FScrollPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FScrollPending = false;
            if (count() > 0) scrollToItem(item(count() - 1), QAbstractItemView::PositionAtTop);
        },
        Qt::QueuedConnection);
}

int TKvrListBox::TextIndent() const {
    return ShowTimes ? QFontMetrics(font()).horizontalAdvance(TimeFormat + "  ") : 0;
}

QString TKvrListBox::LinesText(bool SelectedOnly) const {
    QString text;
    for (int i = 0; i < count(); ++i) {
        const QListWidgetItem* line = item(i);
        if (SelectedOnly && !line->isSelected()) continue;
        if (ShowTimes) text += line->data(TimeRole).toTime().toString(TimeFormat) + ' ';
        text += line->text().trimmed() + '\n';
    }
    return text;
}

void TKvrListBox::CopySelected() const {
    const QString text = LinesText(true);
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void TKvrListBox::contextMenuEvent(QContextMenuEvent* Event) {
    if (!ShowTimes) return;
    QMenu menu(this);
    menu.addAction("Copy", QKeySequence::Copy, this, &TKvrListBox::CopySelected)
        ->setEnabled(!selectedItems().isEmpty());
    menu.addAction("Save messages...", this, [this] {
        if (OnSaveLines) OnSaveLines(this);
    });
    menu.exec(Event->globalPos());
}

void TKvrListBox::WidenHorizontalExtent(const QString& Text) {
    const int extent = TextIndent() + QFontMetrics(font()).horizontalAdvance(Text) + 5;
    if (extent <= FHorizontalExtent) return;
    FHorizontalExtent = extent;
    doItemsLayout();
}

void TKvrListBox::UpdateHorizontalExtent() {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(item(i)->text()));
    FHorizontalExtent = TextIndent() + widest + 5;
    doItemsLayout();
}

void TKvrListBox::mouseMoveEvent(QMouseEvent* Event) {
    if (MouseHighlight) {
        FMouseOverIndex = indexAt(Event->position().toPoint()).row();
        viewport()->update();
    }
    QListWidget::mouseMoveEvent(Event);
}

void TKvrListBox::leaveEvent(QEvent* Event) {
    if (FMouseOverIndex != -1) {
        FMouseOverIndex = -1;
        viewport()->update();
    }
    QListWidget::leaveEvent(Event);
}

void TKvrListBox::mousePressEvent(QMouseEvent* Event) {
    QListWidget::mousePressEvent(Event);
    viewport()->update();
}

void TKvrListBox::mouseReleaseEvent(QMouseEvent* Event) {
    QListWidget::mouseReleaseEvent(Event);
    viewport()->update();
}

void TKvrListBox::keyPressEvent(QKeyEvent* Event) {
    if (ShowTimes && Event->matches(QKeySequence::Copy)) {
        CopySelected();
        return;
    }
    QListWidget::keyPressEvent(Event);
    if (Event->key() == Qt::Key_Up || Event->key() == Qt::Key_Down) viewport()->update();
}

void TKvrListBox::scrollContentsBy(int Dx, int Dy) {
    QListWidget::scrollContentsBy(Dx, Dy);
    viewport()->update();
}

void TKvrListBox::paintEvent(QPaintEvent* Event) {
    // The items cover their own rectangles; what lies below the last one gets the
    // control's background colour.
    QPainter(viewport()).fillRect(viewport()->rect(), palette().color(QPalette::Base));
    QListWidget::paintEvent(Event);
}
