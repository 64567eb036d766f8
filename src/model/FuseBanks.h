#pragma once

#include <QString>

#include <array>

// The IC's five configuration banks (registers 0x10..0x14) as the debug panel edits them:
// one cell per bit, holding "1" for a set bit.
namespace FuseBanks {

inline constexpr int BankCount = 5;
inline constexpr int BitCount = 8;
inline constexpr quint8 FirstRegister = 0x10;

using TBankCells = std::array<QString, BitCount>; // bit 0 first
using TBanks = std::array<quint8, BankCount>;     // bank 0 first

// The cells showing a bank's value.
TBankCells Cells(quint8 Value);
// A bank's value from its cells: the first character of each, "1" a set bit, anything else
// (or nothing) a clear one.
quint8 Value(const TBankCells& Cells);
// Whether the cell of a bit is shown: all of banks 0 to 2, bits 0 to 3 of bank 3, none of
// bank 4 (the hidden cells still take part in reading and writing).
bool Shown(int Bank, int Bit);
// The caption above a bit's cell; empty where the bit has none.
QString BitName(int Bank, int Bit);
// Whether banks written before count as a configuration to put back: any of banks 0 to 3 not
// 0 (bank 4 alone does not).
bool SavedConfiguration(const TBanks& Banks);

} // namespace FuseBanks
