#include "SampleAssembler.h"
#include "StreamingRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A streaming report's data bytes: header, then 32 sample bytes of one fill value.
std::vector<quint8> Report(quint8 Byte2, quint8 Fill) {
    std::vector<quint8> report(35, Fill);
    report[0] = 0x0F;
    report[1] = 0;
    report[2] = Byte2;
    return report;
}

TEST(SampleAssembler, SampleLengthsAtTheReportBoundaries) {
    struct Case {
        const char* name;
        int longLength;              // 0: ordinary streaming
        std::vector<quint8> byte2;   // of each report
        std::vector<int> stepsAfter; // 1 sample complete, 0 in progress
        int sampleSize;              // of the last sample, header included
    };
    const Case cases[] = {
        {"one report", 0, {20}, {1}, 35},
        {"exactly 32 bytes", 0, {32}, {1}, 35},
        {"64 bytes: the last report holds exactly 32", 0, {64, 32}, {0, 1}, 67},
        {"70 bytes in three reports", 0, {70, 38, 6}, {0, 0, 1}, 73},
        {"long streaming of 64: last packet holds 32", 64, {0, 1}, {0, 1}, 67},
        {"long streaming of 96", 96, {0, 1, 2}, {0, 0, 1}, 99},
        {"long streaming of 40", 40, {0, 1}, {0, 1}, 43},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSampleAssembler assembler;
        if (c.longLength > 0) {
            assembler.SetLongStreamingLength(quint16(c.longLength));
            assembler.StartLongStreaming();
        }
        TSampleAssembler::TResult result{};
        std::vector<std::vector<quint8>> reports; // a one-report sample points into its report
        for (size_t i = 0; i < c.byte2.size(); ++i) {
            const auto& report = reports.emplace_back(Report(c.byte2[i], quint8(0x10 + i)));
            result = assembler.Add(report.data(), int(report.size()));
            EXPECT_EQ(result.Step, c.stepsAfter[i] ? TSampleAssembler::TStep::Sample
                                                   : TSampleAssembler::TStep::InProgress);
        }
        ASSERT_EQ(result.Size, c.sampleSize);
        // Every report's bytes land in order after the header.
        const int last = int(reports.size()) - 1;
        for (int k = 3; k < result.Size; ++k)
            ASSERT_EQ(result.Data[k], 0x10 + std::min((k - 3) / 32, last)) << "byte " << k;
    }
}

TEST(StreamingRegistry, CounterResynchronisationAfterAStop) {
    struct Case {
        const char* name;
        int expected; // the counter expected when the first packet comes
        bool stopped; // JustStopped
        int gapsOn37; // gaps reported for a first packet carrying 37
    };
    const Case cases[] = {
        {"fresh start, expected 0", 0, true, 0},
        {"fresh start, expected 1", 1, true, 0},
        {"expected 2 after a stop is a gap", 2, true, 1},
        {"no stop before: a gap", 0, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamingRegistry streams;
        streams.Register(nullptr, 3);
        streams.StreamingCounter.Counter[0] = c.expected;
        streams.JustStopped = c.stopped;
        EXPECT_EQ(int(streams.CheckCounter(3, 37)), c.gapsOn37);
        EXPECT_EQ(streams.StreamingCounter.Counter[0], 37);
    }
}

TEST(StreamingRegistry, SlotsFollowStartsStopsAndUnplugs) {
    int a = 0, b = 0; // stand-ins for two device objects
    auto* first = reinterpret_cast<THidDevice*>(&a);
    auto* second = reinterpret_cast<THidDevice*>(&b);
    TStreamingRegistry streams;
    streams.Register(first, 1);
    streams.Register(second, 2);
    streams.ReleaseSlots(first);
    streams.Unregister(1);
    EXPECT_TRUE(streams.IsStreaming); // the second goes on
    EXPECT_FALSE(streams.Streams(first));
    EXPECT_TRUE(streams.Streams(second));
    streams.Register(first, 1); // takes the first free slot again
    EXPECT_EQ(streams.Slots()[0].Device, first);
    streams.Forget(second);
    streams.Forget(first);
    EXPECT_FALSE(streams.IsStreaming);
    EXPECT_TRUE(streams.StreamingCounter.DevID.empty());
}

} // namespace
