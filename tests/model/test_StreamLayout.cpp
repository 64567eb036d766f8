#include "StreamLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> AddressList(const TStreamLayout& Layout) {
    return std::vector<int>(Layout.StreamBytes().begin(),
                            Layout.StreamBytes().begin() + Layout.StreamLength());
}

TStreamChoice Choice(bool Count, bool LTA, bool Thresholds) {
    return {Count, LTA, true, Thresholds};
}

TEST(StreamLayout, AddressListsOfEachLinkAndChoice) {
    struct Case {
        const char* name;
        bool oneWire;
        TStreamChoice choice;
        std::vector<int> list;
    };
    const std::vector<int> zeros20(20, 0), zeros24(24, 0);
    const Case cases[] = {
        {"1-Wire: 20 zeros", true, Choice(true, true, true), zeros20},
        {"1-Wire ignores the choice", true, Choice(false, false, false), zeros20},
        {"I2C with everything", false, Choice(true, true, true), zeros24},
        {"I2C with LTA only",
         false,
         Choice(false, true, false),
         {0, 0x83, 0, 0x85, 0, 0, 0, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"I2C with counts, LTA unticked",
         false,
         Choice(true, false, false),
         {0, 0, 0, 0x44, 0, 0x46, 0, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"I2C with counts and LTA, no thresholds",
         false,
         Choice(true, true, false),
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"I2C with nothing chosen: the fixed items",
         false,
         Choice(false, false, false),
         {0, 0x46, 0, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamLayout layout;
        layout.SetupStreaming(c.oneWire, c.choice);
        EXPECT_EQ(AddressList(layout), c.list);
        EXPECT_EQ(layout.BytesDec(), c.oneWire ? 5 : 1);
    }
}

TEST(StreamLayout, ValuesAreFoundAtTheirPacketBytes) {
    using V = TStreamValue;
    struct Case {
        const char* name;
        bool oneWire;
        TStreamChoice streamed; // applied
        TStreamChoice ticked;   // the boxes when decoding
        V value;
        std::optional<TValuePlace> place;
    };
    const TStreamChoice all = Choice(true, true, true);
    const TStreamChoice countsOnly = Choice(true, false, false);
    const Case cases[] = {
        // 1-Wire: item i at byte 3 + i, every value one item further on.
        {"1-Wire flags", true, all, all, V::SystemFlags, TValuePlace{4}},
        {"1-Wire count 0", true, all, all, V::Count0, TValuePlace{5, 6}},
        {"1-Wire LTA 0", true, all, all, V::LTA0, TValuePlace{7, 8}},
        {"1-Wire count 1", true, all, all, V::Count1, TValuePlace{9, 10}},
        {"1-Wire LTA 1", true, all, all, V::LTA1, TValuePlace{11, 12}},
        {"1-Wire multipliers", true, all, all, V::Multipliers0, TValuePlace{20}},
        {"1-Wire compensation", true, all, all, V::Compensation0, TValuePlace{22}},
        {"1-Wire counts unticked", true, all, countsOnly, V::LTA0, std::nullopt},
        // I2C with everything: item i at byte 3 + i.
        {"I2C flags", false, all, all, V::SystemFlags, TValuePlace{3}},
        {"I2C count 1", false, all, all, V::Count1, TValuePlace{8, 9}},
        {"I2C LTA 1", false, all, all, V::LTA1, TValuePlace{10, 11}},
        {"I2C multipliers", false, all, all, V::Multipliers0, TValuePlace{19}},
        // I2C with counts only: items 15 to 23 at 10 to 18.
        {"counts only: count 1", false, countsOnly, countsOnly, V::Count1, TValuePlace{6, 7}},
        {"counts only: multipliers", false, countsOnly, countsOnly, V::Multipliers0,
         TValuePlace{11}},
        {"counts only: compensation", false, countsOnly, countsOnly, V::Compensation0,
         TValuePlace{13}},
        {"counts only: LTA not streamed", false, countsOnly, all, V::LTA0, std::nullopt},
        // Streamed but unticked since: not shown until the next Apply.
        {"count streamed, box unticked", false, all, Choice(false, true, false), V::Count0,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamLayout layout;
        layout.SetupStreaming(c.oneWire, c.streamed);
        const auto place = layout.Find(c.value, c.oneWire, c.ticked);
        ASSERT_EQ(place.has_value(), c.place.has_value());
        if (!place) continue;
        EXPECT_EQ(place->High, c.place->High);
        EXPECT_EQ(place->Low, c.place->Low);
    }
}

TEST(StreamLayout, SwitchingBackTo1WireWalksOnly20Items) {
    TStreamLayout layout;
    layout.SetupStreaming(false, Choice(true, true, true));
    layout.SetupStreaming(true, Choice(true, true, true));
    EXPECT_EQ(layout.StreamLength(), 20);
    EXPECT_TRUE(layout.ActiveStream()[23].Enabled); // flagged, but not walked
    EXPECT_EQ(*layout.PositionOf(19), 22);
    EXPECT_EQ(layout.PositionOf(24), std::nullopt);
    EXPECT_EQ(layout.PositionOf(-1), std::nullopt);

    layout.SetupStreaming(false, Choice(false, false, false));
    EXPECT_EQ(layout.PositionOf(1), std::nullopt); // not streamed: no position
}

TEST(StreamChoice, ThresholdsOnlyWithCountsAndLTA) {
    struct Case {
        TStreamChoice in;
        bool thresholds;
        quint8 code;
    };
    const Case cases[] = {
        {Choice(true, true, true), true, 15},
        {Choice(true, false, true), false, 5},
        {Choice(false, true, true), false, 6},
        {Choice(true, true, false), false, 7},
    };
    for (const Case& c : cases) {
        const TStreamChoice out = c.in.WithThresholdsRule();
        EXPECT_EQ(out.Thresholds, c.thresholds);
        EXPECT_EQ(out.Code(), c.code);
        EXPECT_EQ(TStreamChoice::FromCode(out.Code()).Code(), out.Code());
    }
}

} // namespace
