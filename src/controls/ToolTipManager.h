#pragma once

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class TToolTipManager;

// The icon in a tip's title: the platform's standard ones, or a picture of our own.
enum TToolTipIcon : quint8 {
    ttiNone,
    ttiInformation,
    ttiWarning,
    ttiError,
    ttiInformationLarge,
    ttiWarningLarge,
    ttiErrorLarge,
    ttiCustom,
};

// One balloon tip: the control that shows it, its title with an icon, its text and colours.
class TToolTipItem {
public:
    explicit TToolTipItem(TToolTipManager& Owner) : FOwner(Owner) {}
    ~TToolTipItem();
    TToolTipItem(const TToolTipItem&) = delete;
    TToolTipItem& operator=(const TToolTipItem&) = delete;

    QWidget* Control() const { return FControl; }
    // Attaches the tip to a control. An empty title and text are taken from the control's
    // hint "title|text" (a hint without '|' is all text).
    void SetControl(QWidget* Control);
    // Registers the control again.
    void Refresh();
    void Assign(const TToolTipItem& Source);
    // "<Title> Description", as an editor lists the item.
    QString DisplayName() const;

    QIcon CustomIcon;
    TToolTipIcon IconType = ttiNone;
    QString Title;
    QString Description;
    QColor Color;     // invalid: the manager's DefaultColor
    QColor TextColor; // invalid: the manager's DefaultTextColor

private:
    TToolTipManager& FOwner;
    QPointer<QWidget> FControl;
    QMetaObject::Connection FDestroyedWatch;
};

// The tips of a manager, in order.
class TToolTipItems {
public:
    explicit TToolTipItems(TToolTipManager& Owner) : FOwner(Owner) {}

    TToolTipItem& Add();
    TToolTipItem& Insert(int Index);
    void Delete(int Index);
    int Count() const { return int(FItems.size()); }
    TToolTipItem& operator[](int Index) const { return *FItems[size_t(Index)]; }

    // The item of a widget: scanning from the last item, one whose control is the widget,
    // else the first met whose control contains it; null when there is none.
    TToolTipItem* FindToolTip(const QWidget* Widget) const;

private:
    TToolTipManager& FOwner;
    std::vector<std::unique_ptr<TToolTipItem>> FItems;
};

// The balloon window: a title with an icon over a wrapped text, in the item's colours.
class TBalloonTip : public QWidget {
    Q_OBJECT
public:
    TBalloonTip();

    void SetContent(const QIcon& Icon, int IconSize, const QString& Title, const QString& Text,
                    const QColor& Background, const QColor& Foreground, int MaxWidth, bool Balloon);
    QString Title() const { return FTitle; }
    QString Text() const { return FText; }
    QColor Background() const { return FBackground; }
    QColor Foreground() const { return FForeground; }
    // Where the balloon's stem points, in its own coordinates (balloon shape only).
    static constexpr int StemHeight = 10;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QRect BodyRect() const;
    QPainterPath Shape() const;

    QIcon FIcon;
    int FIconSize = 0;
    QString FTitle;
    QString FText;
    QColor FBackground;
    QColor FForeground;
    bool FBalloon = true;
    QRect FTitleRect;
    QRect FTextRect;
};

// Balloon hover tips for a chosen set of controls: each shows after the pointer rests on
// its control, with the owner able to rewrite its title and text just before.
class TToolTipManager : public QObject {
    Q_OBJECT
public:
    using TToolTipEvent = std::function<void(TToolTipManager* Sender, TToolTipItem* ToolTip)>;

    explicit TToolTipManager(QObject* Owner = nullptr);
    ~TToolTipManager() override;

    bool BalloonTip() const { return FBalloonTip; }
    void SetBalloonTip(bool On);
    bool CenterTip() const { return FCenterTip; }
    void SetCenterTip(bool On);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool On);

    QColor DefaultColor;
    QColor DefaultTextColor;
    QIcon DefaultCustomIcon;
    quint32 ShowPause = 500;
    quint32 HidePause = 5000;
    quint32 ReshowPause = 100;
    TToolTipItems ToolTips{*this};
    TToolTipEvent OnBeforeShow;
    TToolTipEvent OnShow;
    TToolTipEvent OnHide;

    // Registers every item; tips show from then on (while Enabled).
    void RebuildToolTips();
    // Unregisters everything; no tips show until the next rebuild.
    void RemoveToolTips();

    TToolTipItem* VisibleToolTip() const { return FVisibleToolTip; }
    const TBalloonTip& Balloon() const { return *FBalloon; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TToolTipItem;
    friend class TToolTipItems;

    void AddToolTip(TToolTipItem& Item);
    void RegisterToolTip(TToolTipItem& Item);
    void UnregisterToolTip(TToolTipItem& Item);
    void ApplyToolTipStyle(TToolTipItem& Item);
    void ItemGoes(TToolTipItem& Item);
    void Watch(QWidget* Widget);
    void ShowPending();
    void HideTip();

    bool FBalloonTip = true;
    bool FCenterTip = false;
    bool FEnabled = true;
    bool FActive = false; // the tips are registered
    std::vector<QPointer<QWidget>> FWatched;
    std::unique_ptr<TBalloonTip> FBalloon;
    TToolTipItem* FVisibleToolTip = nullptr;
    QPointer<QWidget> FPending; // the widget under the pointer waiting for its tip
    QTimer FShowTimer;
    QTimer FHideTimer;
};
