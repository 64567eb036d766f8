#include "ScopeBuffers.h"
#include "ScopeExport.h"

#include <gtest/gtest.h>

namespace {

// Feeds samples first..last as the main window does: count raised, then slots 0 and 8.
void Feed(TScopeBuffers& Buffers, int First, int Last, bool FeedLTA = true) {
    for (int x = First; x <= Last; ++x) {
        Buffers.SetNrOfChartPoints(Buffers.NrOfChartPoints() + 1);
        Buffers.AddXY(0, x, 1000 + x);
        if (FeedLTA) Buffers.AddXY(8, x, 2000 + x);
    }
}

TEST(ScopeBuffers, TheNewestFiveThousandStayInOrderAndAligned) {
    TScopeBuffers buffers;
    Feed(buffers, 0, 4999);
    EXPECT_FALSE(buffers.MaxPoints());
    EXPECT_EQ(buffers.NrOfChartPoints(), 5000);
    EXPECT_EQ(buffers.At(0, 4999).X, 4999);

    Feed(buffers, 5000, 5000); // the 5001st sample drops the oldest
    EXPECT_TRUE(buffers.MaxPoints());
    EXPECT_EQ(buffers.NrOfChartPoints(), 5000);
    EXPECT_EQ(buffers.At(0, 0).X, 1);
    EXPECT_EQ(buffers.At(0, 4999).X, 5000);
    EXPECT_EQ(buffers.At(8, 0).X, 1); // slots stay aligned index by index
    EXPECT_EQ(buffers.At(8, 4999).Y, 7000);

    Feed(buffers, 5001, 17345); // far past one turn of the rings
    for (int i : {0, 1, 2500, 4999}) {
        EXPECT_EQ(buffers.At(0, i).X, 12346 + i);
        EXPECT_EQ(buffers.At(8, i).X, 12346 + i);
    }
}

TEST(ScopeBuffers, ASlotNotFedKeepsItsOlderPoints) {
    TScopeBuffers buffers;
    Feed(buffers, 0, 5004);
    Feed(buffers, 5005, 5009, false); // LTA unticked for five samples
    EXPECT_EQ(buffers.At(0, 4999).X, 5009);
    EXPECT_EQ(buffers.At(8, 4999).X, 5004); // not shifted while not fed
    EXPECT_FALSE(buffers.Changed(1));
    EXPECT_TRUE(buffers.Changed(8));
    buffers.AddXY(16, 1, 1); // no such slot
    buffers.AddXY(-1, 1, 1);
}

TEST(ScopeBuffers, NewPointsAreHandedOverOnce) {
    TScopeBuffers buffers;
    buffers.AddXY(0, 5, 5); // before any sample raised the count: nothing is stored
    EXPECT_TRUE(buffers.TakeNew(0).empty());
    Feed(buffers, 0, 2);
    const auto taken = buffers.TakeNew(0);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].X, 0);
    EXPECT_EQ(taken[2].Y, 1002);
    EXPECT_TRUE(buffers.TakeNew(0).empty());
    Feed(buffers, 3, 3 + 3 * TScopeBuffers::Capacity); // nobody took them
    EXPECT_LE(buffers.TakeNew(0).size(), size_t(2 * TScopeBuffers::Capacity));
}

TEST(ScopeExport, OneRowPerSampleWithItsPointsAndMarks) {
    const std::vector<ScopeExport::TTrace> traces = {{"CS0", {{0, 1000}, {1, 1001.5}}},
                                                     {"LTA0", {{1, 990}, {2, 991}}}};
    EXPECT_EQ(ScopeExport::Csv(traces),
              "sample,CS0,LTA0,marker\n0,1000,,\n1,1001.5,990,\n2,,991,\n");
    EXPECT_EQ(ScopeExport::Csv({}), "sample,marker\n");
    // Two marks at one sample share its row; a mark where no trace has a point gets a row.
    const std::vector<TScopeMarker> marks = {{1, TMarkKind::Write, "Bank 2 = 0x5A"},
                                             {1, TMarkKind::User, "a, b"},
                                             {5, TMarkKind::Flag, "Touch on"}};
    EXPECT_EQ(ScopeExport::Csv(traces, marks),
              "sample,CS0,LTA0,marker\n0,1000,,\n1,1001.5,990,[write] Bank 2 = 0x5A | [user] a; b\n"
              "2,,991,\n5,,,[flag] Touch on\n");
    // A long run's sample numbers and the counts' extremes are written out in full.
    EXPECT_EQ(ScopeExport::Csv({{"CS0", {{999999, 0}, {1000000, 65535}, {2147483647, -65535}}}}),
              "sample,CS0,marker\n999999,0,\n1000000,65535,\n2147483647,-65535,\n");
}

} // namespace
