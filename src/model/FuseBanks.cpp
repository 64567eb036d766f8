#include "FuseBanks.h"

namespace FuseBanks {

namespace {
// Bit 7 first, as the panel shows them.
const char* const Names[BankCount][BitCount] = {
    {"POLARITY", "TARGET", "FREQ", "ACT THR", "DEBOUNCE1", "DEBOUNCE0", "HALT THR1", "HALT THR0"},
    {"LP SLEEP1", "LP SLEEP0", "RE-ATI", "S-TIMER", "MOVE SPD", "STREAM", "BASE1", "BASE0"},
    {"ND", "CS", "REL THR", "SENS TECH", "TIMER-S1", "TIMER-S0", "START-UP", "MOVE THR"},
    {"", "", "", "", "BLOCK-CH", "BLOCK-CH", "ACT TH1", "ACT TH0"},
    {"", "", "", "", "ATI PARTIAL", "", "BLOCK CH0", "ACT TH"},
};
} // namespace

TBankCells Cells(quint8 Value) {
    TBankCells cells;
    for (int bit = 0; bit < BitCount; ++bit)
        cells[size_t(bit)] = Value & (1 << bit) ? QStringLiteral("1") : QStringLiteral("0");
    return cells;
}

quint8 Value(const TBankCells& Cells) {
    quint8 value = 0;
    for (int bit = 0; bit < BitCount; ++bit)
        if (Cells[size_t(bit)].startsWith('1')) value |= quint8(1 << bit);
    return value;
}

bool Shown(int Bank, int Bit) {
    if (Bank < 0 || Bank >= BankCount || Bit < 0 || Bit >= BitCount) return false;
    return Bank < 3 || (Bank == 3 && Bit < 4);
}

QString BitName(int Bank, int Bit) {
    if (Bank < 0 || Bank >= BankCount || Bit < 0 || Bit >= BitCount) return {};
    return QString::fromLatin1(Names[Bank][BitCount - 1 - Bit]);
}

bool SavedConfiguration(const TBanks& Banks) {
    return Banks[0] || Banks[1] || Banks[2] || Banks[3];
}

} // namespace FuseBanks
