// The main window's live display: every streamed sample decoded and shown in the labels,
// indicators, images and bar graph; Baseline View, the threshold panel, the balloon tips.
#include "ChartLayer.h"
#include "MainUnit.h"

#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ScopeUnit.h"
#include "StreamSetupUnit.h"
#include "ToolTipManager.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVariantAnimation>
#include <qcustomplot.h>

#include <algorithm>

void TPXS733MainForm::CreateToolTips() {
    ToolTipManager1 = new TToolTipManager(this);
    ToolTipManager1->setObjectName("ToolTipManager1");
    ToolTipManager1->SetCenterTip(true);
    ToolTipManager1->HidePause = 20000;
    ToolTipManager1->ReshowPause = 200;
    ToolTipManager1->OnBeforeShow = [this](TToolTipManager*, TToolTipItem* ToolTip) {
        ToolTipManager1BeforeShow(*ToolTip);
    };
    for (QWidget* control :
         {static_cast<QWidget*>(DevListBox), static_cast<QWidget*>(StartButton),
          static_cast<QWidget*>(PauseButton), static_cast<QWidget*>(ScopeButton),
          static_cast<QWidget*>(StreamSetupButton), static_cast<QWidget*>(StartTMButton)}) {
        TToolTipItem& item = ToolTipManager1->ToolTips.Add();
        item.IconType = control == StartTMButton ? ttiNone : ttiInformation;
        item.SetControl(control);
    }
    ToolTipManager1->RebuildToolTips();
}

void TPXS733MainForm::ToolTipManager1BeforeShow(TToolTipItem& ToolTip) {
    QWidget* control = ToolTip.Control();
    if (control == DevListBox) {
        // The dongle's description shows whatever the hover hints say.
        const bool listed = DevListBox->count() > 0;
        ToolTip.Title = listed ? DevListBox->item(0)->text().trimmed() : QString();
        ToolTip.Description = listed ? FInfoStr : QString();
        return;
    }
    if (!ShowHintsItem->isChecked()) {
        ToolTip.Title.clear();
        ToolTip.Description.clear();
        return;
    }
    if (control == StartButton) {
        if (!Session->State().Streaming) {
            ToolTip.Title = "Start Streaming (F1)";
            ToolTip.Description = "Start Streaming the PXS733";
        } else if (StartButton->text() == "Resume") {
            ToolTip.Title = "Resume Streaming (F1)";
            ToolTip.Description = "Exit Debug Mode and resume device streaming";
        } else {
            ToolTip.Title = "Stop Streaming (F1)";
            ToolTip.Description = "Stop device streaming (power remains on)";
        }
    } else if (control == PauseButton) {
        if (PauseButton->text() == "Pause") {
            ToolTip.Title = "Pause Streaming (F2)";
            ToolTip.Description = "Pause device data streaming (power remains on)";
        } else {
            ToolTip.Title = "Resume Streaming (F2)";
            ToolTip.Description = "Resume device data streaming";
        }
    } else if (control == ScopeButton) {
        ToolTip.Title = "Open Scope (F3)";
        ToolTip.Description = "Open the scope window";
    } else if (control == StreamSetupButton) {
        ToolTip.Title = "Streaming Setup";
        ToolTip.Description = "Setup the data that is streamed to the application";
    } else if (control == StartTMButton) {
        ToolTip.Title = "Start Streaming (Shift + F1)";
        ToolTip.Description =
            "\u201C2-wire Comms\u201D bit NOT programmed, but correct connection to IC required";
    }
}

void TPXS733MainForm::SubscribeToDevice() {
    FDeviceEvents[0] = Session->OnSample.Subscribe(
        [this](const TDecodedSample& Sample, const quint8* Data, int Size) {
            PXS731Device1Streaming(Sample, Data, Size);
        });
    FDeviceEvents[1] = Session->OnDataMissed.Subscribe([this] {
        ++FGapsThisRun;
        DataMissLabel->show();
        FMissedSinceRecorded = true;
    });
    FDeviceEvents[2] = Session->OnStreamingError.Subscribe(
        [this](const QString& Text) { MessageBox->KvrAddItem(Text, aError); });
}

void TPXS733MainForm::PXS731Device1Streaming(const TDecodedSample& Sample, const quint8* Data,
                                             int Size) {
    if (FClosing) return;
    if (StreamEndTimer->isActive()) StreamEndTimer->start(); // still coming through
    ++FSamplesThisTick;
    FCurrentChs = Sample.Counts;
    FLTAChs = Sample.LTAs;
    if (Sample.Compensation) FPCC[0] = *Sample.Compensation;
    if (Sample.Multipliers) FMirrors[0] = *Sample.Multipliers;
    if (Sample.SysFlags) FSysFlags = *Sample.SysFlags;
    if (FReplayMarks)
        for (const TMark& mark : FReplayMarks->Next())
            AddMark(mark);
    FeedScope(Sample);
    if (Recording()) RecordSample(Data, Size, Sample);
    // Every label change repaints, so a fast stream must not repaint for every sample: while
    // the bar timer runs the newest sample is shown at its tick, together with the bars;
    // otherwise a sample shows at once and the next ones at most every 20 ms.
    FShownSample = Sample;
    FSamplePending = true;
    if (BarTimer->isActive() || DisplayTimer->isActive()) return;
    ShowNewestSample();
    DisplayTimer->start();
}

void TPXS733MainForm::DisplayTimerTimer() {
    if (!FSamplePending) return;
    ShowNewestSample();
    DisplayTimer->start();
}

void TPXS733MainForm::ShowNewestSample() {
    if (!FSamplePending) return;
    FSamplePending = false;
    FValuesTaken = QDateTime::currentDateTimeUtc(); // the local time zone is looked up when shown
    const TChannelDisplay display =
        ChannelDisplay(FShownSample, quint8(FMirrors[0]), FSysFlags & sfActivation, FDeltaOnly);
    UpdateIndicators(FShownSample, display);
    UpdateGraphs(display);
}

int TPXS733MainForm::GetChannelCount(int Index) const {
    return Index == 0 || Index == 1 ? FCurrentChs[size_t(Index)] : 0;
}

int TPXS733MainForm::GetChannelLTA(int Index) const {
    return Index == 0 || Index == 1 ? FLTAChs[size_t(Index)] : 0;
}

void TPXS733MainForm::UpdateIndicators(const TDecodedSample& Sample,
                                       const TChannelDisplay& Display) {
    // The images change only when the state does.
    const bool activation = FSysFlags & sfActivation;
    const bool movement = FSysFlags & sfMovement;
    if (activation != (FResources[2] == 2)) {
        LoadImage(activation ? "Activation" : "AMNone", 2);
        FResources[2] = activation ? 2 : 0;
    }
    if (movement != (FResources[3] == 2)) {
        LoadImage(movement ? "Movement" : "AMNone", 3);
        FResources[3] = movement ? 2 : 0;
    }
    CS0Lbl->setText(Display.Count);
    LTA0Lbl->setText(Display.LTA);
    DT0Lbl->setText(Display.Delta);
    PCC0Label->setText(QString::number(FPCC[0]));
    Sens0Label->setText(QString::number(Display.Sensitivity));
    Comp0Label->setText(QString::number(Display.CompMultiplier));
    // Recolouring a label is costly: the indicators change only when the flags do.
    if (!Sample.SysFlags || FSysFlags == FShownSysFlags) return;
    FShownSysFlags = FSysFlags;
    for (int bit = 0; bit < 8; ++bit) {
        const bool set = FSysFlags & (1 << bit);
        QLabel* label = FFlagLabels[size_t(bit)];
        label->setText(FlagCaption(bit, set));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText,
                   set ? QColor(0, 128, 0) : palette().color(QPalette::WindowText));
        label->setPalette(p);
    }
}

void TPXS733MainForm::UpdateGraphs(const TChannelDisplay& Display) {
    auto colour = [](const TRgb& c) { return QColor(c.Red, c.Green, c.Blue); };
    Series1->setBrush(colour(Display.CountColour));
    Series2->setBrush(colour(FDeltaOnly ? Display.CountColour : Display.LTAColour));
    // Repainted by the bar timer, never here.
    if (Display.CountBar)
        Series1->setData({0.0}, {*Display.CountBar});
    else
        Series1->data()->clear();
    if (Display.LTABar)
        Series2->setData({0.0}, {*Display.LTABar});
    else
        Series2->data()->clear();
}

void TPXS733MainForm::FeedScope(const TDecodedSample& Sample) {
    // Every sample goes to the scope's buffers; the scope draws ten times a second.
    TScopeForm& scope = *FWindows->ScopeForm;
    const bool anything = Sample.CountShown || Sample.LTAShown;
    if (!scope.ActiveChannels() || (FDeltaOnly && !(Sample.CountShown && Sample.LTAShown)) ||
        !anything) {
        scope.UpdateTimer->stop();
        return;
    }
    if (!scope.UpdateTimer->isActive()) scope.UpdateTimer->start();
    scope.SetNrOfChartPoints(scope.NrOfChartPoints() + 1);
    const int count = Sample.Counts[0];
    const int lta = Sample.LTAs[0];
    if (Sample.CountShown && scope.CH0CurCheck->isChecked())
        scope.AddXY(0, scope.XPos(), FDeltaOnly ? lta - count : count);
    if (Sample.LTAShown && !FDeltaOnly && scope.CH0LTACheck->isChecked())
        scope.AddXY(8, scope.XPos(), lta);
    scope.SetXPos(scope.XPos() + 1);
}

void TPXS733MainForm::ScopeLoadError() {
    MessageBox->KvrAddItem("Error loading saved settings!", aError);
}

void TPXS733MainForm::ShowMainWindow() {
    show();
    raise();
    activateWindow();
}

TPXS733MainForm::TBarLook TPXS733MainForm::BarLook() const {
    TBarLook look;
    for (std::size_t i = 0; i < look.size(); ++i) {
        const QCPBars& bar = *(i == 0 ? Series1 : Series2);
        if (!bar.data()->isEmpty())
            look[i].first = qRound(std::clamp( // however far the axis was panned
                BarGraph->yAxis->coordToPixel(bar.data()->constBegin()->value), -1e6, 1e6));
        look[i].second = bar.brush().color().rgba();
    }
    return look;
}

// The part of the chart a new bar look changes: per bar, the rows between its old and new
// end, or the whole plot when it has no old end or changed colour.
QRegion TPXS733MainForm::BarChange(const std::optional<TBarLook>& Old, const TBarLook& New) const {
    // The chart clips its drawings to the axis rect moved up by a row.
    const QRect plot = BarGraph->axisRect()->rect().translated(0, -1);
    QRegion change;
    for (std::size_t i = 0; i < New.size(); ++i) {
        const auto& [end, colour] = New[i];
        if (Old && (*Old)[i] == New[i]) continue;
        int top = plot.top(), bottom = plot.bottom();
        if (Old && end && (*Old)[i].first && (*Old)[i].second == colour) {
            const auto [low, high] = std::minmax(*end, *(*Old)[i].first);
            top = low - 1, bottom = high + 1; // a rounded end may lie a row off the drawn one
        }
        change += QRect(QPoint(plot.left(), top), QPoint(plot.right(), bottom)).intersected(plot);
    }
    return change;
}

void TPXS733MainForm::BarTimerTimer() {
    Session->TakeArrivedSamples();
    ShowNewestSample();
    FWindows->ScopeForm->FrameShown(BarTimer->interval());
    // Every repaint of the chart blends its buffers over what it repaints, so only a bar whose
    // end moved by a pixel or whose colour changed repaints, and only there.
    const TBarLook look = BarLook();
    if (look == FShownBarLook) return;
    const QRegion change = BarChange(FShownBarLook, look);
    FShownBarLook = look;
    ChartLayer::ReplotWithin(*BarGraph->layer(BarsLayer), change);
}

void TPXS733MainForm::DeltaCheckClick() {
    const bool on = DeltaCheck->isChecked();
    QFont f = DeltaCheck->font();
    f.setBold(on);
    DeltaCheck->setFont(f);
    BarGraph->yAxis->setRange(on ? -600 : 0, on ? 600 : 1600);
    qSharedPointerCast<QCPAxisTickerFixed>(BarGraph->yAxis->ticker())->setTickStep(on ? 50 : 100);
    Series2->setBrush(on ? Series1->brush() : QBrush(QColor(0, 64, 128)));
    BarGraph->replot(QCustomPlot::rpQueuedReplot); // the axis changed
    TScopeForm& scope = *FWindows->ScopeForm;
    if (on) FDeltaOnly = true;
    // Leaving Baseline View, the scope rescales while the deltas are still on.
    scope.ShowDeltas(on);
    FDeltaOnly = on;
    scope.CH0CurCheckClick();
    scope.CheckGategoryPanelSize();
    if (!FDeltaOnly) return;
    const TStreamChoice choice = FWindows->StreamSetupForm->Choice();
    if (!choice.CountSamples) {
        MessageBox->KvrAddItem("Count Samples are disabled", aError);
        MessageBox->KvrAddItem("Unable to calculate deltas!", aError);
    }
    if (!choice.LTA) {
        MessageBox->KvrAddItem("Long Term Averages are disabled", aError);
        MessageBox->KvrAddItem("Unable to calculate deltas!", aError);
    }
}

void TPXS733MainForm::CMTButtonClick() {
    const bool hide = !FCMTPanelHidden;
    FCMTPanelHidden = hide;
    CMTButton->setIcon(QIcon(hide ? ":/images/Arrow_Down.svg" : ":/images/Arrow_Up.svg"));
    // A 100 ms slide: from bottom to top when hiding, from top to bottom when showing.
    auto* slide = new QVariantAnimation(CMTPanel);
    slide->setDuration(100);
    slide->setStartValue(hide ? CMTPanelHeight : 0);
    slide->setEndValue(hide ? 0 : CMTPanelHeight);
    connect(slide, &QVariantAnimation::valueChanged, CMTPanel,
            [this](const QVariant& Height) { CMTPanel->setFixedHeight(Height.toInt()); });
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}
