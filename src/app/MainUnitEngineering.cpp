// The main window's engineering tools: the external strap settings, one byte of the memory
// map or of the indirect registers, and the IC's version. The fields are checked here; the
// run session pauses a running stream for a read and restarts it afterwards.
#include "MainUnit.h"

#include "EngineeringFields.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "RunSession.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

using namespace EngineeringFields;

std::array<QSpinBox*, 4> TPXS733MainForm::StrapSpins() const {
    return {ATSpin, STSpin, LTSpin, MTSpin}; // in the order of TStraps
}

std::optional<quint8> TPXS733MainForm::HexField(const QLineEdit* Edit) {
    const std::optional<quint8> value = HexValue(Edit->text());
    if (!value) FDialogs.ReportError(ConversionError(Edit->text()));
    return value;
}

void TPXS733MainForm::ReadStrapButtonClick() {
    if (const std::optional<TStraps> straps = Session->ReadStraps())
        for (size_t i = 0; i < straps->Values.size(); ++i)
            StrapSpins()[i]->setValue(straps->Values[i]);
}

void TPXS733MainForm::WriteStrapButtonClick() {
    TStraps straps;
    for (size_t i = 0; i < straps.Values.size(); ++i)
        straps.Values[i] = quint8(StrapSpins()[i]->value());
    Session->WriteStraps(straps);
}

void TPXS733MainForm::STSpinChange() {
    if (!STSpin->cleanText().isEmpty())
        Label33->setText(ShortTimerText(STSpin->value(), QLocale()));
}

void TPXS733MainForm::LTSpinChange() {
    if (!LTSpin->cleanText().isEmpty()) Label35->setText(LongTimerText(LTSpin->value()));
}

std::optional<std::optional<quint8>> TPXS733MainForm::ReadAddress(const QLineEdit* Address) {
    // A field that is no hex number is refused before the stream is touched; an empty one is
    // the session's to report.
    if (Address->text().isEmpty()) return std::optional<quint8>();
    const std::optional<quint8> address = HexField(Address);
    if (!address) return std::nullopt;
    return address;
}

void TPXS733MainForm::ReadMMButtonClick() {
    if (!Session->CheckPower()) return;
    if (const auto address = ReadAddress(MMAddressEdit))
        if (const std::optional<quint8> value = Session->ReadMemory(*address))
            MMDataEdit->setText(TwoDigits(*value));
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
    if (!Session->CheckPower()) return;
    if (const auto write = AddressAndData(MMAddressEdit, MMDataEdit))
        Session->WriteMemory(write->first, write->second);
}

void TPXS733MainForm::InDirReadButtonClick() {
    if (!Session->CheckPower()) return;
    if (const auto address = ReadAddress(DirAddrEdit))
        if (const std::optional<quint8> value = Session->ReadIndirect(*address))
            DirDataEdit->setText(TwoDigits(*value));
}

void TPXS733MainForm::InDirWriteButtonClick() {
    if (!Session->CheckPower()) return;
    if (const auto write = AddressAndData(DirAddrEdit, DirDataEdit))
        Session->WriteIndirect(write->first, write->second);
}

void TPXS733MainForm::ReadDeviceVersion() {
    Session->ReadVersion(); // the labels follow the session's version event
}
