#include "SampleDecoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TStreamChoice Choice(bool Count, bool LTA) {
    return {Count, LTA, true, Count && LTA};
}

// A 1-Wire sample: item i at byte 3 + i; flags, counts and LTA of both channels, multipliers
// and compensation at their places.
std::vector<quint8> OneWireSample(int Count0, int LTA0, quint8 Flags, quint8 Mult, quint8 Comp) {
    std::vector<quint8> s(23, 0);
    s[4] = Flags;
    s[5] = quint8(Count0 >> 8), s[6] = quint8(Count0);
    s[7] = quint8(LTA0 >> 8), s[8] = quint8(LTA0);
    s[9] = 0x01, s[10] = 0x02;  // count 1
    s[11] = 0x03, s[12] = 0x04; // LTA 1
    s[20] = Mult;
    s[22] = Comp;
    return s;
}

TEST(SampleDecoder, LayoutsAndTicks) {
    struct Case {
        const char* name;
        bool oneWire;
        TStreamChoice streamed, ticked;
        bool countShown, ltaShown;
        int count0, lta0, count1;
    };
    const Case cases[] = {
        {"1-Wire, all", true, Choice(true, true), Choice(true, true), true, true, 1000, 990,
         0x0102},
        {"1-Wire, counts unticked: not shown though streamed", true, Choice(true, true),
         Choice(false, true), false, true, 0, 990, 0},
        {"I2C, LTA not streamed", false, Choice(true, false), Choice(true, true), true, false,
         0x0A0B, 0, 0x0E0F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamLayout layout;
        layout.SetupStreaming(c.oneWire, c.streamed);
        std::vector<quint8> sample = OneWireSample(1000, 990, 0x81, 0x35, 77);
        if (!c.oneWire) // counts only: flags 3, count 0 at 4,5, count 1 at 6,7
            sample = {0x0F, 0, 0, 0x81, 0x0A, 0x0B, 0x0E, 0x0F, 0, 0, 0, 0x35, 0, 77};
        const TDecodedSample d =
            DecodeSample(sample.data(), int(sample.size()), layout, c.oneWire, c.ticked);
        EXPECT_EQ(d.CountShown, c.countShown);
        EXPECT_EQ(d.LTAShown, c.ltaShown);
        EXPECT_EQ(d.Counts[0], c.count0);
        EXPECT_EQ(d.LTAs[0], c.lta0);
        EXPECT_EQ(d.Counts[1], c.count1);
        EXPECT_EQ(d.SysFlags, 0x81);
        EXPECT_EQ(d.Multipliers, 0x35);
        EXPECT_EQ(d.Compensation, 77);
    }
}

TEST(SampleDecoder, ShortSamplesShowOnlyWhatTheyHold) {
    TStreamLayout layout;
    layout.SetupStreaming(true, Choice(true, true));
    const auto full = OneWireSample(1000, 990, 0x80, 0x35, 77);
    // Each value at the size that just lacks its last byte and the one that just holds it.
    for (int size : {0, 3, 4, 5, 7, 10, 11, 12, 13, 20, 21, 22, 23}) {
        SCOPED_TRACE(size);
        const TDecodedSample d = DecodeSample(full.data(), size, layout, true, Choice(true, true));
        EXPECT_EQ(d.SysFlags.has_value(), size > 4);
        EXPECT_EQ(d.CountShown, size > 10); // both channels' bytes are needed
        EXPECT_EQ(d.LTAShown, size > 12);
        EXPECT_EQ(d.Multipliers.has_value(), size > 20);
        EXPECT_EQ(d.Compensation.has_value(), size > 22);
    }
}

TEST(SampleDecoder, LabelsAndBars) {
    struct Case {
        const char* name;
        bool countShown, ltaShown, baseline;
        QString count, lta, delta;
        std::optional<double> countBar, ltaBar;
    };
    const Case cases[] = {
        {"both", true, true, false, "1000", "990", "-10", 1000, 990},
        {"baseline view: both bars show the delta", true, true, true, "N/A", "N/A", "-10", -10,
         -10},
        {"baseline view without LTA: count bar 0", true, false, true, "N/A", "N/A", "N/A", 0,
         std::nullopt},
        {"counts not shown: no count bar", false, true, false, "N/A", "990", "N/A", std::nullopt,
         990},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDecodedSample s;
        s.CountShown = c.countShown;
        s.LTAShown = c.ltaShown;
        s.Counts[0] = c.countShown ? 1000 : 0;
        s.LTAs[0] = c.ltaShown ? 990 : 0;
        const TChannelDisplay d = ChannelDisplay(s, 0x35, false, c.baseline);
        EXPECT_EQ(d.Count, c.count);
        EXPECT_EQ(d.LTA, c.lta);
        EXPECT_EQ(d.Delta, c.delta);
        EXPECT_EQ(d.CountBar, c.countBar);
        EXPECT_EQ(d.LTABar, c.ltaBar);
        EXPECT_EQ(d.Sensitivity, 3); // 0x35
        EXPECT_EQ(d.CompMultiplier, 5);
    }
    TDecodedSample s;
    EXPECT_EQ(ChannelDisplay(s, 0, true, false).CountColour, (TRgb{0, 107, 215}));
    EXPECT_EQ(ChannelDisplay(s, 0, true, false).LTAColour, (TRgb{0, 64, 128}));
    EXPECT_EQ(ChannelDisplay(s, 0, false, false).CountColour, (TRgb{180, 180, 180}));
    EXPECT_EQ(ChannelDisplay(s, 0, false, false).LTAColour, (TRgb{98, 98, 98}));
}

TEST(SampleDecoder, EveryFlagHasItsCaptions) {
    const char* set[] = {"Active",  "Detected", "Busy",   "Yes",
                         "Enabled", "Enabled",  "Moving", "Active"};
    const char* clear[] = {"Not Active", "Not Detected", "Not Busy",    "No",
                           "Disabled",   "Disabled",     "No Movement", "Not Active"};
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(FlagCaption(bit, true), set[bit]);
        EXPECT_EQ(FlagCaption(bit, false), clear[bit]);
    }
}

} // namespace
