// The main window's run control of the IC: set-up, power, start, pause, resume and stop,
// the debug start over I2C, the supply voltage, and the streaming set-up dialog.
#include "MainUnit.h"

#include "HIDToolsErrorCodes.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "ScopeUnit.h"
#include "StreamSetupUnit.h"

#include <QComboBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <qcustomplot.h>

namespace {
constexpr int PowerUpWaitMs = 100;
constexpr quint16 PowerShouldBeOff = 0x0403;
constexpr int OneWireLink = 0; // items of the link list
constexpr int I2CLink = 1;
} // namespace

bool TPXS733MainForm::Report(quint16 Result) {
    if (Result != 0) MessageBox->KvrAddItem(GetErrorText(Result), aError);
    return Result == 0;
}

void TPXS733MainForm::StartButtonClick(QPushButton* Sender) {
    if (InDebugMode()) { // "Start" reads "Resume"
        ContinueStrButtonClick();
        return;
    }
    if (Sender->text() != "Start" && Sender->text() != "Start (Debug)") {
        StopRun();
        return;
    }
    StreamEndTimer->stop(); // a new run is not ended by an earlier stream's end
    FCurrentChs = {};
    FLTAChs = {};
    FPCC = {};
    FMirrors = {};
    FTMStart = Sender == StartTMButton;
    FDoCommsChange = FTMStart;
    if (FTMStart) {
        FWas1Wire = CommsCombo->currentIndex() == 0;
        SetLink(I2CLink);
        if (!PrepareDebugStart()) {
            FTMStart = false;
            FailStart();
            return;
        }
        // The preparation set the dongle up and left the IC powered; a second set-up would
        // be refused ("Power to device is ON").
        FPowerOn = true;
        FCTSetup = true;
    }
    EnableDebugTools(CommsCombo->currentIndex() == I2CLink);
    if (!FCTSetup) {
        if (!Report(PXS731Device1->SetupCT())) {
            FailStart();
            return;
        }
        FCTSetup = true;
    }
    // The readings of the I/O lines are not used; the dongle wants them read.
    quint8 state = 0;
    if (FComms1Wire) {
        KelvraHidTool1->IORead(7, state);
        KelvraHidTool1->IORead(9, state);
    } else {
        KelvraHidTool1->IORead(10, state);
    }
    if (!FPowerOn) PXS731Device1->PowerOn();
    QThread::msleep(PowerUpWaitMs);
    PowerButton->setText("Power Off");
    FPowerOn = true;

    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    if (!Report(
            PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes()))) {
        FailStart();
        return;
    }
    BarTimer->start();
    if (!FComms1Wire && !ReadDeviceVersion()) {
        FailStart();
        return;
    }
    MessageBox->KvrAddItem("Device streaming started", aInfo);
    FIsStreaming = true;
    StartButton->setText("Stop");
    StartTMButton->setEnabled(false);
    PauseButton->setEnabled(true);
    CommsCombo->setEnabled(false);
}

void TPXS733MainForm::StopBarTimer() {
    BarTimer->stop();
    ShowNewestSample(); // the last sample of the run is not left waiting for a tick
    BarGraph->layer(BarsLayer)->replot();
}

void TPXS733MainForm::StopRun() {
    PowerButton->setText("Power Off");
    PowerButtonClick();
    CommsCombo->setEnabled(true);
    if (FDoCommsChange) {
        FDoCommsChange = false;
        if (FWas1Wire) SetLink(OneWireLink);
    }
}

void TPXS733MainForm::StreamEnded() {
    // The end is told before the last samples have come through the HID reader: the run
    // ends once they have, when no sample came for a while.
    StreamEndTimer->start();
}

void TPXS733MainForm::SetLink(int Index) {
    if (CommsCombo->currentIndex() == Index)
        CommsComboChange();
    else
        CommsCombo->setCurrentIndex(Index); // its change handler applies it
}

void TPXS733MainForm::FailStart() {
    AbortStreaming();
    // The IC is off again: the power button says so, rather than keeping "Power Off".
    PowerButton->setText("Power On");
    FDialogs.Message(QMessageBox::Warning, "Unable to start device streaming!", QMessageBox::Ok);
}

bool TPXS733MainForm::PrepareDebugStart() {
    if (!Report(PXS731Device1->SetupCT())) return false;
    quint16 result = PXS731Device1->EnterTestMode();
    if (result == PowerShouldBeOff) {
        // A powered IC enters test mode only from a cold start: once more after power-off.
        PXS731Device1->PowerOff();
        if (!Report(PXS731Device1->SetupCT())) return false;
        result = PXS731Device1->EnterTestMode();
    }
    return Report(result) && StreamFromTestMode();
}

void TPXS733MainForm::AbortStreaming() {
    PXS731Device1->StopStreaming();
    PXS731Device1->PowerOff();
    FIsStreaming = FCTSetup = FPowerOn = FIsPaused = false;
    StopRecording();
    CommsCombo->setEnabled(true);
    EnableDebugTools(false);
    StopBarTimer();
    FWindows->ScopeForm->UpdateTimer->stop();
}

void TPXS733MainForm::EndBrokenRun() {
    AbortStreaming();
    SetFuseEditsEnabled(false);
    StartButton->setText("Start");
    StartTMButton->setEnabled(true);
    PowerButton->setText("Power On");
    PauseButton->setText("Pause");
    PauseButton->setEnabled(false);
}

void TPXS733MainForm::PauseButtonClick() {
    if (PauseButton->text() == "Pause") {
        FIsStreaming = false;
        StopBarTimer();
        PauseButton->setText("Resume");
        if (!Report(PXS731Device1->StopStreaming())) {
            PauseButton->setText("Pause");
            return;
        }
        MessageBox->KvrAddItem("Device streaming paused", aInfo);
        FIsPaused = true;
        return;
    }
    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    if (!Report(
            PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes()))) {
        FDialogs.Message(QMessageBox::Warning, "Unable to start device streaming!",
                         QMessageBox::Ok);
        return;
    }
    BarTimer->start();
    MessageBox->KvrAddItem("Device streaming resumed", aInfo);
    FIsStreaming = true;
    PauseButton->setText("Pause");
    FIsPaused = false;
}

void TPXS733MainForm::PowerButtonClick() {
    if (PowerButton->text() != "Power Off") {
        if (!FCTSetup) {
            if (!Report(PXS731Device1->SetupCT())) return;
            FCTSetup = true;
        }
        // A supply that did not come on is not recorded as on.
        if (!Report(PXS731Device1->PowerOn())) return;
        MessageBox->KvrAddItem("Device powered on", aInfo);
        FPowerOn = true;
        PowerButton->setText("Power Off");
        return;
    }
    // Debug mode and the tools for a stream over I2C end with the power (F4 reaches this
    // in debug mode too); in debug mode the dongle has no stream to stop.
    const bool streaming = StreamRunning();
    LeaveDebugMode();
    EnableDebugTools(false);
    FPrevBanks = {}; // the IC starts from its fuses next time
    StopRecording();
    FIsPaused = false;
    FWindows->ScopeForm->UpdateTimer->stop();
    StopBarTimer();
    PauseButton->setText("Pause");
    StartButton->setText("Start");
    StartTMButton->setEnabled(true);
    PauseButton->setEnabled(false);
    FIsStreaming = false;
    if (streaming) {
        if (!Report(PXS731Device1->StopStreaming())) {
            PXS731Device1->PowerOff();
            FPowerOn = FCTSetup = false;
            return;
        }
        MessageBox->KvrAddItem("Device streaming stopped", aInfo);
    }
    if (Report(PXS731Device1->PowerOff())) MessageBox->KvrAddItem("Device powered off", aInfo);
    FCTSetup = FPowerOn = false;
    PowerButton->setText("Power On");
}

bool TPXS733MainForm::CheckDevicePower() {
    if (FPowerOn) return true;
    MessageBox->KvrAddItem("Device power is off!", aError);
    return false;
}

void TPXS733MainForm::DisableStreamingControls() {
    for (QWidget* control : std::initializer_list<QWidget*>{StreamSetupButton, StartButton,
                                                            PauseButton, PowerButton, VoltageCombo})
        control->setEnabled(false);
}

void TPXS733MainForm::EnableStreamingControls() {
    for (QWidget* control :
         std::initializer_list<QWidget*>{StreamSetupButton, StartButton, PauseButton, PowerButton})
        control->setEnabled(true);
    const quint16 product = KelvraHidTool1->ProductID();
    VoltageCombo->setEnabled(product == DongleAcceptance::LK620 ||
                             product == DongleAcceptance::LK610);
}

void TPXS733MainForm::StreamSetupButtonClick() {
    FDialogs.Exec(*FWindows->StreamSetupForm);
    EndRecordingOnNewSetUp();
    RestartStreaming();
}

void TPXS733MainForm::RestartStreaming() {
    if (!FIsStreaming) return;
    if (!Report(PXS731Device1->StopStreaming())) return;
    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    Report(PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes()));
}

void TPXS733MainForm::StreamSetupMessage(const QString& Text, TKvrItemType Kind) {
    MessageBox->KvrAddItem(Text, Kind);
}

bool TPXS733MainForm::BaselineViewOn() const {
    return FDeltaOnly;
}
