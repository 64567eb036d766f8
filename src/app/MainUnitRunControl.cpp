// The main window's run control: its buttons call the run session, and the controls show the
// session's state; the supply voltage and the streaming set-up dialog.
#include "MainUnit.h"

#include "KelvraHIDTool.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "RunControls.h"
#include "ScopeUnit.h"
#include "StreamSetupUnit.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <qcustomplot.h>

void TPXS733MainForm::SubscribeToSession() {
    FSessionEvents[0] = Session->OnStateChanged.Subscribe([this] { ShowRunState(); });
    FSessionEvents[1] = Session->OnMessage.Subscribe(
        [this](const QString& Text, TRunMessage Kind) { ShowRunMessage(Text, Kind); });
    FSessionEvents[2] = Session->OnLinkChanged.Subscribe([this](bool OneWire) {
        const QSignalBlocker quiet(CommsCombo);
        CommsCombo->setCurrentIndex(OneWire ? 0 : 1);
        EndRecordingOnNewSetUp();
    });
    FSessionEvents[3] = Session->OnVersion.Subscribe([this](const QString& Text) {
        VersionLbl->setText(Text);
        VersionLbl2->setText(Text);
    });
    FSessionEvents[4] = Session->OnRunRestored.Subscribe(
        [this](const TDongleAbsence& Absence) { RecordGap(Absence.Text()); });
    FSessionEvents[5] = Session->OnMark.Subscribe([this](TMarkKind Kind, const QString& Text) {
        AddMark({Kind, Text});
    });
}

void TPXS733MainForm::ShowRunMessage(const QString& Text, TRunMessage Kind) {
    if (Kind == TRunMessage::Warning)
        FDialogs.Message(QMessageBox::Warning, Text, QMessageBox::Ok);
    else
        MessageBox->KvrAddItem(Text, Kind == TRunMessage::Error ? aError : aInfo);
}

void TPXS733MainForm::ShowRunState() {
    const TRunState& state = Session->State();
    const TRunControls c =
        RunControls(state, !DongleAcceptance::Fixed3V3(KelvraHidTool1->ProductID()));
    StartButton->setText(c.Start);
    PauseButton->setText(c.Pause);
    PowerButton->setText(c.Power);
    StartButton->setEnabled(c.StartEnabled);
    StartTMButton->setEnabled(c.StartDebugEnabled);
    PauseButton->setEnabled(c.PauseEnabled);
    PowerButton->setEnabled(c.PowerEnabled);
    StreamSetupButton->setEnabled(c.StreamSetupEnabled);
    CommsCombo->setEnabled(c.LinkEnabled);
    VoltageCombo->setEnabled(c.SupplyEnabled);
    EnterTMButton->setEnabled(c.EnterDebugEnabled);
    WriteStrapButton->setEnabled(c.StrapsEnabled);
    ReadStrapButton->setEnabled(c.StrapsEnabled);
    for (QPushButton* b : {ContinueStrButton, WriteButton, ReadButton, DeviceDefaultsButton})
        b->setEnabled(c.DebugEditsEnabled);
    SetFuseEditsEnabled(c.DebugEditsEnabled);
    ShowRunMenu(c);

    // The bars follow a running stream; a paused or ended one shows its last sample.
    if (state.StreamRunning() && !BarTimer->isActive())
        BarTimer->start();
    else if (!state.StreamRunning() && BarTimer->isActive())
        StopBarTimer();
    // A recording and the scope's updates end with the run or the power, not while the run
    // waits for its dongle.
    const bool runEnded = (FShownState.Running() || FShownState.Waiting) && !state.Running();
    const bool powerEnded = FShownState.PowerOn && !state.PowerOn;
    if (!state.Waiting && (runEnded || powerEnded)) {
        StopRecording();
        FWindows->ScopeForm->UpdateTimer->stop();
    }
    FShownState = state;
    ShowValuesLive(state.Running());
    UpdateRecordControls(); // and the status bar
    if (FStartWhenAccepted && state.DongleUsable && !state.Running()) {
        FStartWhenAccepted = false;
        // Started once the acceptance that made the dongle usable has finished.
        QMetaObject::invokeMethod(
            this, [this] { StartButtonClick(StartButton); }, Qt::QueuedConnection);
    }
}

void TPXS733MainForm::ShowRunMenu(const TRunControls& Controls) {
    StartItem->setText(Controls.Start + "\tF1");
    PauseItem->setText(Controls.Pause + "\tF2");
    PowerItem->setText(Controls.Power + "\tF4");
    StartItem->setEnabled(Controls.StartEnabled);
    StartDebugItem->setEnabled(Controls.StartDebugEnabled);
    PauseItem->setEnabled(Controls.PauseEnabled);
    PowerItem->setEnabled(Controls.PowerEnabled);
    StreamSetupItem->setEnabled(Controls.StreamSetupEnabled);
}

void TPXS733MainForm::AddMark(const TMark& Mark) {
    FWindows->ScopeForm->AddMarker(Mark.Kind, Mark.Text);
    if (Recording()) FRecordMarks.push_back(Mark);
}

void TPXS733MainForm::PlayReplay(bool StartNow, std::shared_ptr<TReplayMarks> Marks) {
    FReplay = true;
    FReplayMarks = std::move(Marks);
    FStartWhenAccepted = StartNow;
    ShowRunState();
}

void TPXS733MainForm::StartButtonClick(QPushButton* Sender) {
    if (Session->State().DebugMode) { // "Start" reads "Resume"
        ContinueStrButtonClick();
        return;
    }
    if (Session->State().Running() || Session->State().Waiting) {
        StopRun();
        return;
    }
    StreamEndTimer->stop(); // a new run is not ended by an earlier stream's end
    FCurrentChs = {};
    FLTAChs = {};
    FPCC = {};
    FMirrors = {};
    FGapsThisRun = 0;
    Session->Start(Sender == StartTMButton);
}

void TPXS733MainForm::StopBarTimer() {
    BarTimer->stop();
    BarTimerTimer(); // the last sample of the run is not left waiting for a tick
}

void TPXS733MainForm::StopRun() {
    Session->Stop();
}

void TPXS733MainForm::StreamEnded() {
    // The end is told before the last samples have come through the HID reader: the run
    // ends once they have, when no sample came for a while.
    StreamEndTimer->start();
}

void TPXS733MainForm::PauseButtonClick() {
    if (Session->State().Paused)
        Session->Resume();
    else
        Session->Pause();
}

void TPXS733MainForm::PowerButtonClick() {
    if (Session->State().PowerOn)
        Session->PowerOff();
    else
        Session->PowerOn();
}

void TPXS733MainForm::StreamSetupButtonClick() {
    FDialogs.Exec(*FWindows->StreamSetupForm);
    EndRecordingOnNewSetUp();
    Session->RestartStreaming();
}

void TPXS733MainForm::CommsComboChange() {
    Session->SetLink(CommsCombo->currentIndex() == 0);
}

void TPXS733MainForm::VoltageComboClick() {
    Session->SetSupply(VoltageCombo->currentIndex() == 0);
}

void TPXS733MainForm::StreamSetupMessage(const QString& Text, TKvrItemType Kind) {
    MessageBox->KvrAddItem(Text, Kind);
}

bool TPXS733MainForm::BaselineViewOn() const {
    return FDeltaOnly;
}
