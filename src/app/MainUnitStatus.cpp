// The main window's status bar (the dongle, link and supply, the run's state, the measured
// sample rate, the gaps since the start, a running recording) and the last values greyed,
// with the time they were taken, once the run has ended.
#include "MainUnit.h"

#include "KelvraHIDTool.h"
#include "KvrListBox.h"
#include "RunControls.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int StatusTickMs = 1000;

QLabel* StatusLabel(const QString& Name) {
    auto* label = new QLabel;
    label->setObjectName(Name);
    return label;
}
} // namespace

void TPXS733MainForm::CreateStatusBar() {
    DongleStatus = StatusLabel("DongleStatus");
    LinkStatus = StatusLabel("LinkStatus");
    RunStatus = StatusLabel("RunStatus");
    RateStatus = StatusLabel("RateStatus");
    GapsStatus = StatusLabel("GapsStatus");
    RecordingStatus = StatusLabel("RecordingStatus");
    RecordingStatus->setStyleSheet("color: #C00000; font-weight: bold");
    StaleLabel = StatusLabel("StaleLabel");
    StaleLabel->hide();
    statusBar()->addWidget(DongleStatus);
    statusBar()->addWidget(LinkStatus);
    statusBar()->addWidget(StaleLabel);
    for (QLabel* label : {RunStatus, RateStatus, GapsStatus, RecordingStatus})
        statusBar()->addPermanentWidget(label);
    StatusTimer = new QTimer(this);
    StatusTimer->setObjectName("StatusTimer");
    StatusTimer->setInterval(StatusTickMs);
    connect(StatusTimer, &QTimer::timeout, this, &TPXS733MainForm::StatusTimerTimer);
    StatusTimer->start();
    FRateClock.start();
}

void TPXS733MainForm::StatusTimerTimer() {
    FMeasuredRate = FRateClock.elapsed() > 0
                        ? qRound(FSamplesThisTick * 1000.0 / double(FRateClock.restart()))
                        : 0;
    FSamplesThisTick = 0;
    UpdateStatusBar();
}

void TPXS733MainForm::UpdateStatusBar() {
    const TRunState& state = Session->State();
    const bool listed = DevListBox->count() > 0;
    DongleStatus->setText(listed ? DevListBox->item(0)->text().trimmed() + "  " +
                                       KelvraHidTool1->SerialNumber()
                                 : QStringLiteral("No dongle"));
    LinkStatus->setText(CommsCombo->currentText() + ", " + VoltageCombo->currentText());
    const QString name = RunControls(state, false).StateName;
    RunStatus->setText(FReplay && state.Running() ? "Replay (" + name + ")" : name);
    RateStatus->setText(
        QStringLiteral("%1 samples/s").arg(state.StreamRunning() ? FMeasuredRate : 0));
    GapsStatus->setText(FGapsThisRun == 1 ? QStringLiteral("1 gap")
                                          : QStringLiteral("%1 gaps").arg(FGapsThisRun));
    RecordingStatus->setVisible(Recording());
    if (Recording()) RecordingStatus->setText("\u25CF REC " + RecordingDuration());
}

void TPXS733MainForm::ShowValuesLive(bool Live) {
    for (QLabel* label : ValueLabels())
        label->setEnabled(Live);
    // Values that are no longer live say when they were taken.
    StaleLabel->setVisible(!Live && FValuesTaken.isValid());
    if (!Live && FValuesTaken.isValid())
        StaleLabel->setText("Last values, taken at " +
                            FValuesTaken.toLocalTime().toString("hh:mm:ss"));
}

QList<QLabel*> TPXS733MainForm::ValueLabels() const {
    QList<QLabel*> labels{CS0Lbl, LTA0Lbl, DT0Lbl, PCC0Label, Comp0Label, Sens0Label};
    for (QLabel* flag : FFlagLabels)
        labels << flag;
    return labels;
}
