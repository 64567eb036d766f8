#include "ToolTipManager.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int Margin = 8;
constexpr int SmallIcon = 16;
constexpr int LargeIcon = 32;

// A control that holds other controls: its children are controls of their own, not parts
// of it, and do not show its tip.
bool IsContainer(const QWidget* Widget) {
    const QMetaObject* type = Widget->metaObject();
    return type == &QWidget::staticMetaObject || type == &QFrame::staticMetaObject ||
           qobject_cast<const QGroupBox*>(Widget) || qobject_cast<const QScrollArea*>(Widget) ||
           qobject_cast<const QTabWidget*>(Widget) || qobject_cast<const QStackedWidget*>(Widget);
}

} // namespace

// Item

TToolTipItem::~TToolTipItem() {
    SetControl(nullptr);
}

void TToolTipItem::SetControl(QWidget* Control) {
    if (Control == FControl) return;
    if (FControl) {
        QObject::disconnect(FDestroyedWatch);
        FOwner.UnregisterToolTip(*this);
    }
    FControl = Control;
    if (!FControl) return;
    // A control that goes leaves its item without a control.
    FDestroyedWatch = QObject::connect(FControl, &QObject::destroyed, &FOwner, [this] {
        FOwner.UnregisterToolTip(*this);
        FControl = nullptr;
    });
    const QString hint = FControl->toolTip();
    const int bar = int(hint.indexOf('|'));
    if (Title.isEmpty()) Title = bar < 0 ? QString() : hint.left(bar);
    if (Description.isEmpty()) Description = bar < 0 ? hint : hint.mid(bar + 1);
    FOwner.AddToolTip(*this);
}

void TToolTipItem::Refresh() {
    FOwner.RegisterToolTip(*this);
}

void TToolTipItem::Assign(const TToolTipItem& Source) {
    IconType = Source.IconType;
    CustomIcon = Source.CustomIcon;
    Title = Source.Title;
    Description = Source.Description;
    Color = Source.Color;
    TextColor = Source.TextColor;
    SetControl(Source.Control());
}

QString TToolTipItem::DisplayName() const {
    if (!Title.isEmpty() && !Description.isEmpty()) return '<' + Title + "> " + Description;
    if (!Title.isEmpty()) return '<' + Title + '>';
    if (!Description.isEmpty()) return Description;
    return QStringLiteral("TToolTipItem");
}

// Collection

TToolTipItem& TToolTipItems::Add() {
    return Insert(Count());
}

TToolTipItem& TToolTipItems::Insert(int Index) {
    const auto at = FItems.begin() + std::clamp(Index, 0, Count());
    return **FItems.insert(at, std::make_unique<TToolTipItem>(FOwner));
}

void TToolTipItems::Delete(int Index) {
    if (Index < 0 || Index >= Count()) return;
    FOwner.ItemGoes(*FItems[size_t(Index)]);
    FItems.erase(FItems.begin() + Index);
}

TToolTipItem* TToolTipItems::FindToolTip(const QWidget* Widget) const {
    if (!Widget) return nullptr;
    TToolTipItem* ancestor = nullptr;
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        const QWidget* control = (*it)->Control();
        if (!control) continue;
        if (control == Widget) return it->get();
        if (!ancestor && control->isAncestorOf(Widget)) ancestor = it->get();
    }
    return ancestor;
}

// Balloon window

TBalloonTip::TBalloonTip() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
    setObjectName("BalloonTip");
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TBalloonTip::SetContent(const QIcon& Icon, int IconSize, const QString& Title,
                             const QString& Text, const QColor& Background,
                             const QColor& Foreground, int MaxWidth, bool Balloon) {
    FIcon = Icon;
    FIconSize = Icon.isNull() ? 0 : IconSize;
    FTitle = Title;
    FText = Text;
    FBackground = Background;
    FForeground = Foreground;
    FBalloon = Balloon;

    QFont bold = font();
    bold.setBold(true);
    const int textWidth = std::max(MaxWidth - 2 * Margin, 50);
    const QRect title =
        QFontMetrics(bold).boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, FTitle);
    const QRect text =
        fontMetrics().boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, FText);
    const int titleHeight =
        FTitle.isEmpty() && FIconSize == 0 ? 0 : std::max(title.height(), FIconSize) + Margin / 2;
    const int titleWidth = FIconSize + (FIconSize > 0 ? Margin / 2 : 0) + title.width();
    const int top = (FBalloon ? StemHeight : 0) + Margin;
    FTitleRect = QRect(Margin, top, titleWidth, titleHeight);
    FTextRect = QRect(Margin, top + titleHeight, text.width(), text.height());
    resize(std::max(titleWidth, text.width()) + 2 * Margin,
           top + titleHeight + text.height() + Margin);
    // A mask rather than a translucent window: desktops without a compositor show
    // translucent parts black.
    setMask(QRegion(Shape().toFillPolygon().toPolygon()).united(QRegion(BodyRect())));
    update();
}

QRect TBalloonTip::BodyRect() const {
    return rect().adjusted(0, FBalloon ? StemHeight : 0, 0, 0);
}

QPainterPath TBalloonTip::Shape() const {
    QPainterPath shape;
    const QRectF body = QRectF(BodyRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (!FBalloon) {
        shape.addRect(body);
        return shape;
    }
    shape.addRoundedRect(body, 6, 6);
    QPolygonF stem;
    stem << QPointF(18, body.top() + 1) << QPointF(22, 0) << QPointF(32, body.top() + 1);
    shape.addPolygon(stem);
    return shape.simplified();
}

void TBalloonTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(FForeground);
    painter.setBrush(FBackground);
    painter.drawPath(Shape());

    int x = FTitleRect.left();
    if (FIconSize > 0) {
        FIcon.paint(&painter, QRect(x, FTitleRect.top(), FIconSize, FIconSize));
        x += FIconSize + Margin / 2;
    }
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(x, FTitleRect.top(), FTitleRect.right() - x + 1, FTitleRect.height()),
                     Qt::TextWordWrap, FTitle);
    painter.setFont(font());
    painter.drawText(FTextRect, Qt::TextWordWrap, FText);
}

// Manager

TToolTipManager::TToolTipManager(QObject* Owner)
    : QObject(Owner), DefaultColor(QToolTip::palette().color(QPalette::ToolTipBase)),
      DefaultTextColor(QToolTip::palette().color(QPalette::ToolTipText)),
      FBalloon(std::make_unique<TBalloonTip>()) {
    FShowTimer.setSingleShot(true);
    FHideTimer.setSingleShot(true);
    connect(&FShowTimer, &QTimer::timeout, this, &TToolTipManager::ShowPending);
    connect(&FHideTimer, &QTimer::timeout, this, &TToolTipManager::HideTip);
}

TToolTipManager::~TToolTipManager() {
    RemoveToolTips();
    while (ToolTips.Count() > 0)
        ToolTips.Delete(ToolTips.Count() - 1);
}

void TToolTipManager::SetBalloonTip(bool On) {
    if (On == FBalloonTip) return;
    FBalloonTip = On;
    RebuildToolTips();
}

void TToolTipManager::SetCenterTip(bool On) {
    if (On == FCenterTip) return;
    FCenterTip = On;
    RebuildToolTips();
}

void TToolTipManager::SetEnabled(bool On) {
    if (On == FEnabled) return;
    FEnabled = On;
    if (FEnabled)
        RebuildToolTips();
    else
        RemoveToolTips();
}

void TToolTipManager::RebuildToolTips() {
    if (!FEnabled) return;
    RemoveToolTips();
    FActive = true;
    for (int i = 0; i < ToolTips.Count(); ++i)
        AddToolTip(ToolTips[i]);
}

void TToolTipManager::RemoveToolTips() {
    HideTip();
    FShowTimer.stop();
    FPending = nullptr;
    for (const QPointer<QWidget>& widget : FWatched)
        if (widget) widget->removeEventFilter(this);
    FWatched.clear();
    FActive = false;
}

void TToolTipManager::AddToolTip(TToolTipItem& Item) {
    RegisterToolTip(Item);
}

void TToolTipManager::RegisterToolTip(TToolTipItem& Item) {
    QWidget* control = Item.Control();
    if (!FActive || !control) return;
    Watch(control);
    // A composite control (a combo box, a spin box, a list's viewport) shows its tip over
    // its inner parts too.
    if (!IsContainer(control))
        for (QWidget* part : control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            Watch(part);
}

void TToolTipManager::UnregisterToolTip(TToolTipItem& Item) {
    if (FVisibleToolTip == &Item) HideTip();
    QWidget* control = Item.Control();
    if (!control) return;
    control->removeEventFilter(this);
    std::erase_if(FWatched, [control](const QPointer<QWidget>& w) { return w == control; });
}

void TToolTipManager::ItemGoes(TToolTipItem& Item) {
    if (FVisibleToolTip == &Item) HideTip();
    Item.SetControl(nullptr);
}

void TToolTipManager::Watch(QWidget* Widget) {
    if (std::find(FWatched.begin(), FWatched.end(), Widget) != FWatched.end()) return;
    Widget->installEventFilter(this);
    FWatched.emplace_back(Widget);
}

void TToolTipManager::ApplyToolTipStyle(TToolTipItem& Item) {
    const QColor background = Item.Color.isValid() ? Item.Color : DefaultColor;
    const QColor text = Item.TextColor.isValid() ? Item.TextColor : DefaultTextColor;
    QIcon icon;
    int size = SmallIcon;
    const QStyle* style = QApplication::style();
    switch (Item.IconType) {
    case ttiNone:
        break;
    case ttiInformationLarge:
        size = LargeIcon;
        [[fallthrough]];
    case ttiInformation:
        icon = style->standardIcon(QStyle::SP_MessageBoxInformation);
        break;
    case ttiWarningLarge:
        size = LargeIcon;
        [[fallthrough]];
    case ttiWarning:
        icon = style->standardIcon(QStyle::SP_MessageBoxWarning);
        break;
    case ttiErrorLarge:
        size = LargeIcon;
        [[fallthrough]];
    case ttiError:
        icon = style->standardIcon(QStyle::SP_MessageBoxCritical);
        break;
    case ttiCustom:
        icon = !Item.CustomIcon.isNull()     ? Item.CustomIcon
               : !DefaultCustomIcon.isNull() ? DefaultCustomIcon
                                             : QApplication::windowIcon();
        break;
    }
    const QScreen* screen =
        Item.Control() ? Item.Control()->screen() : QApplication::primaryScreen();
    const int maxWidth = screen ? screen->geometry().width() / 3 : 400;
    FBalloon->SetContent(icon, size, Item.Title, Item.Description, background, text, maxWidth,
                         FBalloonTip);
}

bool TToolTipManager::eventFilter(QObject* Watched, QEvent* Event) {
    if (!FActive || !Watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(Watched);
    switch (Event->type()) {
    case QEvent::Enter: {
        TToolTipItem* item = ToolTips.FindToolTip(widget);
        if (!item) return false;
        // Moving from one control's tip to another's: the next one follows sooner.
        const bool reshow = FVisibleToolTip && FVisibleToolTip != item;
        if (FVisibleToolTip != item) HideTip();
        if (FVisibleToolTip) return false; // its own tip is up already
        FPending = widget;
        FShowTimer.start(int((reshow ? ReshowPause : ShowPause) & 0xFFFF));
        return false;
    }
    case QEvent::Leave: {
        TToolTipItem* item = ToolTips.FindToolTip(widget);
        const QWidget* control = item ? item->Control() : nullptr;
        // Leaving an inner part for the rest of the same control keeps the tip.
        if (control && control != widget &&
            control->rect().contains(control->mapFromGlobal(QCursor::pos())))
            return false;
        FShowTimer.stop();
        FPending = nullptr;
        HideTip();
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        FShowTimer.stop();
        HideTip();
        return false;
    case QEvent::ToolTip:
        // The balloon stands in for the platform's plain hint.
        return ToolTips.FindToolTip(widget) != nullptr;
    default:
        return false;
    }
}

void TToolTipManager::ShowPending() {
    TToolTipItem* item = ToolTips.FindToolTip(FPending);
    if (!item || !FActive) return;
    if (OnBeforeShow) OnBeforeShow(this, item);
    // The owner may have removed the tips, or the control may be gone, meanwhile.
    if (!FActive || !item->Control() || item->Description.isEmpty()) return;
    ApplyToolTipStyle(*item);

    const QWidget* control = item->Control();
    QPoint at;
    if (FCenterTip) {
        at = control->mapToGlobal(QPoint(control->width() / 2, control->height()));
        at.rx() -= FBalloon->width() / 2;
    } else {
        at = QCursor::pos() + QPoint(-20, 16);
    }
    if (const QScreen* screen = control->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(),
                           std::max(area.left(), area.right() - FBalloon->width())));
        at.setY(std::clamp(at.y(), area.top(),
                           std::max(area.top(), area.bottom() - FBalloon->height())));
    }
    FBalloon->move(at);
    FBalloon->show();
    if (OnShow) OnShow(this, item);
    FVisibleToolTip = item;
    FHideTimer.start(int(HidePause & 0xFFFF));
}

void TToolTipManager::HideTip() {
    FHideTimer.stop();
    TToolTipItem* item = FVisibleToolTip;
    if (!item) return;
    FBalloon->hide();
    FVisibleToolTip = nullptr;
    if (OnHide) OnHide(this, item);
}
