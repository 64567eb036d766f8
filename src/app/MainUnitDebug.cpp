// The main window's debug mode: the IC in test mode with its five configuration banks shown
// bit by bit, written back, and streaming resumed with them in force.
#include "MainUnit.h"

#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "StreamSetupUnit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace FuseBanks;

namespace {
constexpr quint8 StreamRegister = FirstRegister + 1; // bank 1
constexpr quint8 StreamBit = 0x04;
const QString CommsError = QStringLiteral("Error communicating with Device");
const QString EntryError = QStringLiteral("Unabled to enter Debug Mode!");
} // namespace

bool TPXS733MainForm::InDebugMode() const {
    return ContinueStrButton->isEnabled();
}

void TPXS733MainForm::EnableDebugTools(bool Enabled) {
    for (QPushButton* b : {EnterTMButton, WriteStrapButton, ReadStrapButton})
        b->setEnabled(Enabled);
}

void TPXS733MainForm::SetFuseEditsEnabled(bool Enabled) {
    for (int bank = 0; bank < BankCount; ++bank)
        for (int bit = 0; bit < BitCount; ++bit)
            FFuseBank[size_t(bank)][size_t(bit)]->setEnabled(Enabled && Shown(bank, bit));
}

void TPXS733MainForm::LeaveDebugMode() {
    if (!InDebugMode()) return;
    SetFuseEditsEnabled(false);
    for (QPushButton* b : {ContinueStrButton, WriteButton, ReadButton, DeviceDefaultsButton})
        b->setEnabled(false);
    EnableStreamingControls();
}

void TPXS733MainForm::ShowFuseBank(int Bank, quint8 Value) {
    const TBankCells cells = Cells(Value);
    for (int bit = 0; bit < BitCount; ++bit)
        FFuseBank[size_t(Bank)][size_t(bit)]->setText(cells[size_t(bit)]);
}

quint8 TPXS733MainForm::ReadFuseBankEdits(int Bank) {
    TBankCells cells;
    for (int bit = 0; bit < BitCount; ++bit)
        cells[size_t(bit)] = FFuseBank[size_t(Bank)][size_t(bit)]->text();
    return Value(cells);
}

bool TPXS733MainForm::EnterDebugMode() {
    TBanks banks{};
    if (FIsStreaming) PXS731Device1->StopStreaming();
    // A paused IC is still powered, and a powered IC refuses the set-up and the test mode.
    if (FIsStreaming || FIsPaused) PXS731Device1->PowerOff();
    if (!Report(PXS731Device1->SetupCT())) return false;
    if (!Report(PXS731Device1->EnterTestMode())) return false;
    SetFuseEditsEnabled(true);
    const bool writeBack = SavedConfiguration(FPrevBanks);
    if (writeBack) {
        banks = FPrevBanks;
    } else {
        TKvrByteArray read{};
        if (KelvraHidTool1->I2CRead(FirstRegister, quint8(BankCount), read) != 0) return false;
        std::copy_n(read.begin(), BankCount, banks.begin());
    }
    for (int bank = 0; bank < BankCount; ++bank)
        ShowFuseBank(bank, banks[size_t(bank)]);
    if (writeBack) WriteButtonClick();
    return true;
}

void TPXS733MainForm::EnterTMButtonClick() {
    if (!EnterDebugMode()) {
        MessageBox->KvrAddItem(EntryError, aError);
        // The IC may be off or in test mode: the run ends as a failed start does.
        EndBrokenRun();
        return;
    }
    for (QPushButton* b : {WriteButton, ReadButton, DeviceDefaultsButton, ContinueStrButton})
        b->setEnabled(true);
    EnterTMButton->setEnabled(false);
    MessageBox->KvrAddItem("Device in Debug Mode", aInfo);
    DisableStreamingControls();
    StartButton->setText("Resume");
    StartButton->setEnabled(true);
    // Entered from a pause, the run is streaming again once debug mode ends.
    FIsStreaming = true;
    FIsPaused = false;
    PauseButton->setText("Pause");
}

void TPXS733MainForm::WriteButtonClick() {
    TBanks banks{};
    for (int bank = 0; bank < BankCount; ++bank)
        banks[size_t(bank)] = ReadFuseBankEdits(bank);
    for (int bank = 0; bank < BankCount; ++bank) {
        if (PXS731Device1->WriteReg(quint8(FirstRegister + bank), banks[size_t(bank)]) != 0) {
            MessageBox->KvrAddItem(CommsError, aError);
            return;
        }
    }
    FPrevBanks = banks;
    MessageBox->KvrAddItem("Data written successfully", aInfo);
}

void TPXS733MainForm::ReadButtonClick() {
    TKvrByteArray read{};
    if (KelvraHidTool1->I2CRead(FirstRegister, quint8(BankCount - 1), read) != 0) {
        MessageBox->KvrAddItem(CommsError, aError);
        return;
    }
    for (int bank = 0; bank < BankCount - 1; ++bank)
        ShowFuseBank(bank, read[size_t(bank)]);
    MessageBox->KvrAddItem("Device data read successfully", aInfo);
}

void TPXS733MainForm::DeviceDefaultsButtonClick() {
    PXS731Device1->PowerOff();
    std::fill_n(FPrevBanks.begin(), BankCount - 1, 0); // bank 4 keeps its byte
    if (EnterDebugMode())
        MessageBox->KvrAddItem("Defualt device values restored", aInfo);
    else
        MessageBox->KvrAddItem(EntryError, aError);
}

void TPXS733MainForm::ContinueStrButtonClick() {
    WriteButtonClick();
    EnterTMButton->setEnabled(true);
    // Whether or not the IC resumes, the window leaves debug mode; only the message tells.
    LeaveDebugMode();
    StartButton->setText("Stop");
    if (ResumeStreaming())
        MessageBox->KvrAddItem("Streaming resumed", aInfo);
    else
        MessageBox->KvrAddItem(CommsError, aError);
}

bool TPXS733MainForm::StreamFromTestMode() {
    quint8 bank1 = 0;
    return Report(PXS731Device1->ReadReg(StreamRegister, bank1)) &&
           Report(PXS731Device1->WriteReg(StreamRegister, bank1 | StreamBit)) &&
           Report(PXS731Device1->ExitTestMode());
}

bool TPXS733MainForm::ResumeStreaming() {
    if (!StreamFromTestMode()) return false;
    // The dongle is still set up from the entry, and it refuses a set-up while the IC is
    // powered ("Power to device is ON"), so none is made here.
    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    if (!Report(
            PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes()))) {
        FDialogs.Message(QMessageBox::Warning, "Unable to start device streaming!",
                         QMessageBox::Ok);
        return false;
    }
    BarTimer->start(); // debug mode may have been entered from a pause
    return true;
}

bool TPXS733MainForm::FuseEditEvent(QObject* Watched, QEvent* Event) {
    for (int bank = 0; bank < BankCount; ++bank)
        for (int bit = 0; bit < BitCount; ++bit) {
            QLineEdit* edit = FFuseBank[size_t(bank)][size_t(bit)];
            if (edit != Watched) continue;
            if (Event->type() == QEvent::MouseButtonRelease) {
                FuseEditClick(edit);
                return false;
            }
            const auto& key = static_cast<const QKeyEvent&>(*Event);
            FuseEditKeyDown(key);
            return FuseEditKeyPress(edit, bank, bit, key);
        }
    return false;
}

bool TPXS733MainForm::FuseEditKeyPress(QLineEdit* Edit, int Bank, int Bit, const QKeyEvent& Key) {
    const bool shift = Key.modifiers() & Qt::ShiftModifier;
    switch (Key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        focusNextPrevChild(!shift);
        return true;
    case Qt::Key_Backspace:
        Edit->backspace();
        if (Bank != 0 || Bit != 0) focusNextPrevChild(false);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    }
    const QString text = Key.text();
    if (text == "0" || text == "1") {
        Edit->insert(text);
        if (Bank != 3 || Bit != 3) focusNextPrevChild(true); // bank 3, bit 3 is the last shown
        return true;
    }
    // Any other character (a letter, a pasting Ctrl+V) is dropped; keys without one work.
    return !text.isEmpty();
}

void TPXS733MainForm::FuseEditKeyDown(const QKeyEvent& Key) {
    // Bit 7 is on the left, so the next edit in keyboard order is the one to the left.
    if (Key.key() == Qt::Key_Left) focusNextPrevChild(true);
    if (Key.key() == Qt::Key_Right) focusNextPrevChild(false);
}

void TPXS733MainForm::FuseEditClick(QLineEdit* Edit) {
    Edit->selectAll();
}
