// The main window's debug mode: the IC in test mode with its five configuration banks shown
// bit by bit, written back, and streaming resumed with them in force.
#include "MainUnit.h"

#include "RunSession.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

using namespace FuseBanks;

void TPXS733MainForm::SetFuseEditsEnabled(bool Enabled) {
    for (int bank = 0; bank < BankCount; ++bank)
        for (int bit = 0; bit < BitCount; ++bit)
            FFuseBank[size_t(bank)][size_t(bit)]->setEnabled(Enabled && Shown(bank, bit));
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

TBanks TPXS733MainForm::FuseBankEdits() {
    TBanks banks{};
    for (int bank = 0; bank < BankCount; ++bank)
        banks[size_t(bank)] = ReadFuseBankEdits(bank);
    return banks;
}

void TPXS733MainForm::ShowFuseBanks(const TBanks& Banks) {
    for (int bank = 0; bank < BankCount; ++bank)
        ShowFuseBank(bank, Banks[size_t(bank)]);
}

void TPXS733MainForm::EnterTMButtonClick() {
    if (const std::optional<TBanks> banks = Session->EnterDebugMode()) ShowFuseBanks(*banks);
}

void TPXS733MainForm::WriteButtonClick() {
    Session->WriteBanks(FuseBankEdits());
}

void TPXS733MainForm::ReadButtonClick() {
    if (const auto banks = Session->ReadBanks())
        for (int bank = 0; bank < BankCount - 1; ++bank)
            ShowFuseBank(bank, (*banks)[size_t(bank)]);
}

void TPXS733MainForm::DeviceDefaultsButtonClick() {
    if (const std::optional<TBanks> banks = Session->RestoreDefaults()) ShowFuseBanks(*banks);
}

void TPXS733MainForm::ContinueStrButtonClick() {
    Session->LeaveDebugMode(FuseBankEdits());
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
