#include "FuseBanks.h"

#include <gtest/gtest.h>

using namespace FuseBanks;

namespace {

TEST(FuseBanks, CellsAndValuesEitherWay) {
    for (int value : {0x00, 0x01, 0x04, 0x80, 0xA5, 0xFF}) {
        SCOPED_TRACE(value);
        const TBankCells cells = Cells(quint8(value));
        EXPECT_EQ(cells[0], value & 1 ? "1" : "0");
        EXPECT_EQ(cells[7], value & 0x80 ? "1" : "0");
        EXPECT_EQ(Value(cells), value);
    }
    // What a user can leave in a cell: empty, another digit, more than one character.
    TBankCells typed = Cells(0);
    typed[0] = "";
    typed[1] = "2";
    typed[2] = "1x";
    typed[7] = "1";
    EXPECT_EQ(Value(typed), 0x84);
}

TEST(FuseBanks, ShownCellsNamesAndSavedConfiguration) {
    EXPECT_TRUE(Shown(2, 7));
    EXPECT_TRUE(Shown(3, 3));
    EXPECT_FALSE(Shown(3, 4));
    EXPECT_FALSE(Shown(4, 0));
    EXPECT_FALSE(Shown(5, 0));
    EXPECT_FALSE(Shown(0, -1));
    EXPECT_EQ(BitName(1, 2), "STREAM");
    EXPECT_EQ(BitName(0, 0), "HALT THR0");
    EXPECT_EQ(BitName(0, 7), "POLARITY");
    EXPECT_EQ(BitName(4, 3), "ATI PARTIAL");
    EXPECT_EQ(BitName(4, 2), "");
    EXPECT_EQ(BitName(9, 9), "");
    EXPECT_FALSE(SavedConfiguration({0, 0, 0, 0, 0x55})); // bank 4 alone does not count
    EXPECT_TRUE(SavedConfiguration({0, 0, 0, 1, 0}));
}

} // namespace
