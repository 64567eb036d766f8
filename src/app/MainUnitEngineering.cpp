// The main window's engineering tools: the external strap settings, one byte of the memory
// map or of the indirect registers, and the IC's version. Reads pause a running stream and
// restart it afterwards.
#include "MainUnit.h"

#include "EngineeringFields.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "StreamSetupUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

using namespace EngineeringFields;

namespace {

// The strap settings as indirect registers, in the order they are read and written.
struct TStrap {
    quint8 Address;
    QSpinBox* TPXS733MainForm::*Spin;
};
constexpr TStrap Straps[] = {{0x53, &TPXS733MainForm::ATSpin},
                             {0x79, &TPXS733MainForm::STSpin},
                             {0x7A, &TPXS733MainForm::LTSpin},
                             {0xDF, &TPXS733MainForm::MTSpin}};

constexpr quint8 VersionAddress = 0x00;

} // namespace

bool TPXS733MainForm::StreamRunning() const {
    return FIsStreaming && !InDebugMode(); // in debug mode the dongle does not stream
}

bool TPXS733MainForm::PauseStream() {
    return !StreamRunning() || Report(PXS731Device1->StopStreaming());
}

bool TPXS733MainForm::RestartStream() {
    if (!StreamRunning()) return true;
    const TStreamLayout& layout = FWindows->StreamSetupForm->Layout();
    if (Report(PXS731Device1->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes())))
        return true;
    EndBrokenRun(); // the buttons must not offer Stop and Pause for a stream that is gone
    return false;
}

std::optional<quint8> TPXS733MainForm::HexField(const QLineEdit* Edit) {
    const std::optional<quint8> value = HexValue(Edit->text());
    if (!value) FDialogs.ReportError(ConversionError(Edit->text()));
    return value;
}

void TPXS733MainForm::ReadStrapButtonClick() {
    if (!CheckDevicePower() || !PauseStream()) return;
    for (const TStrap& strap : Straps) {
        quint8 value = 0;
        if (!Report(PXS731Device1->IndirectRead(strap.Address, value))) {
            RestartStream();
            return;
        }
        (this->*strap.Spin)->setValue(value);
    }
    PXS731Device1->UseStopCommand();
    RestartStream();
}

void TPXS733MainForm::WriteStrapButtonClick() {
    if (!CheckDevicePower()) return;
    for (const TStrap& strap : Straps)
        if (!Report(
                PXS731Device1->IndirectWrite(strap.Address, quint8((this->*strap.Spin)->value()))))
            return;
}

void TPXS733MainForm::STSpinChange() {
    if (!STSpin->cleanText().isEmpty())
        Label33->setText(ShortTimerText(STSpin->value(), QLocale()));
}

void TPXS733MainForm::LTSpinChange() {
    if (!LTSpin->cleanText().isEmpty()) Label35->setText(LongTimerText(LTSpin->value()));
}

void TPXS733MainForm::ReadMMButtonClick() {
    if (!CheckDevicePower()) return;
    // A field that is no hex number is refused before the stream is touched.
    std::optional<quint8> address;
    if (!MMAddressEdit->text().isEmpty() && !(address = HexField(MMAddressEdit))) return;
    if (!PauseStream()) return;
    if (!address) {
        MessageBox->KvrAddItem("No address specified!", aError);
    } else {
        TKvrByteArray read{};
        if (Report(KelvraHidTool1->I2CRead(quint16(*address), 1, read)))
            MMDataEdit->setText(TwoDigits(read[0]));
    }
    RestartStream();
}

std::optional<std::pair<quint8, quint8>> TPXS733MainForm::AddressAndData(const QLineEdit* Address,
                                                                         const QLineEdit* Data) {
    if (Address->text().isEmpty() || Data->text().isEmpty()) {
        MessageBox->KvrAddItem("No address or data specified!", aError);
        return std::nullopt;
    }
    const std::optional<quint8> address = HexField(Address);
    if (!address) return std::nullopt;
    const std::optional<quint8> data = HexField(Data);
    if (!data) return std::nullopt;
    return std::pair(*address, *data);
}

void TPXS733MainForm::WriteMMButtonClick() {
    if (!CheckDevicePower()) return;
    if (const auto write = AddressAndData(MMAddressEdit, MMDataEdit))
        Report(PXS731Device1->WriteReg(write->first, write->second)); // success stays silent
}

void TPXS733MainForm::InDirReadButtonClick() {
    if (!CheckDevicePower()) return;
    std::optional<quint8> address;
    if (!DirAddrEdit->text().isEmpty() && !(address = HexField(DirAddrEdit))) return;
    if (!PauseStream()) return;
    if (!address) {
        MessageBox->KvrAddItem("No address specified!", aError);
    } else {
        quint8 value = 0;
        if (!Report(PXS731Device1->IndirectRead(*address, value))) {
            RestartStream();
            return;
        }
        MessageBox->KvrAddItem("Indirect read done", aInfo);
        DirDataEdit->setText(TwoDigits(value));
    }
    PXS731Device1->UseStopCommand();
    RestartStream();
}

void TPXS733MainForm::InDirWriteButtonClick() {
    if (!CheckDevicePower()) return;
    const auto write = AddressAndData(DirAddrEdit, DirDataEdit);
    if (write && Report(PXS731Device1->IndirectWrite(write->first, write->second)))
        MessageBox->KvrAddItem("Indirect write done", aInfo);
}

bool TPXS733MainForm::ReadDeviceVersion() {
    if (!CheckDevicePower() || !PauseStream()) return false;
    TKvrByteArray read{};
    if (!Report(KelvraHidTool1->I2CRead(VersionAddress, 2, read))) {
        RestartStream();
        return false;
    }
    if (!RestartStream()) return false;
    const QString text = TwoDigits(read[0]) + " : " + TwoDigits(read[1]);
    VersionLbl->setText(text);
    VersionLbl2->setText(text);
    MessageBox->KvrAddItem("Device Version (PROD:SW):  " + text, aInfo);
    return true;
}
