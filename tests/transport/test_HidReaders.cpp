#include "KelvraDevList.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

QByteArray Packet(quint8 counter) {
    QByteArray report(65, '\0');
    report[1] = char(0x3F); // tool 3, streaming
    report[2] = char(counter);
    return report;
}

struct ReaderTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle = MakeDongle();
    std::unique_ptr<TKelvraDevList> list;
    std::vector<int> counters;
    TSubscription data;

    void SetUp() override {
        hid.Plug(dongle);
        list = std::make_unique<TKelvraDevList>(hid);
        data = list->OnDeviceData.Subscribe([this](quint16 size, quint8, const quint8* bytes) {
            EXPECT_EQ(size, 64);
            counters.push_back(bytes[1]);
        });
        list->Activate();
        ProcessPostedEvents();
        ASSERT_EQ(dongle->OpenHandleCount(), 2); // transactions and the reader
    }
};

TEST_F(ReaderTest, HandsEveryReportToTheUserInterfaceThreadInOrder) {
    for (int i = 0; i < 1000; ++i)
        dongle->SendInputReport(Packet(quint8(i)));
    ASSERT_TRUE(ProcessEventsUntil([&] { return counters.size() == 1000; }));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(counters[size_t(i)], i % 256);
}

TEST_F(ReaderTest, DeactivateStopsReadingAndActivateResumes) {
    list->Deactivate();
    dongle->SendInputReport(Packet(1));
    ProcessPostedEvents();
    EXPECT_TRUE(counters.empty());
    list->Activate();
    dongle->SendInputReport(Packet(2));
    ASSERT_TRUE(ProcessEventsUntil([&] { return counters.size() == 1; }));
    EXPECT_EQ(counters[0], 2);
}

TEST_F(ReaderTest, ReaderSurvivesPassingReadErrors) {
    dongle->FailReads(20);
    dongle->SendInputReport(Packet(7));
    ASSERT_TRUE(ProcessEventsUntil([&] { return counters.size() == 1; }));
    EXPECT_EQ(counters[0], 7);
    EXPECT_EQ(list->DeviceCount(), 1);
}

TEST_F(ReaderTest, StopsUnderLoadWithoutDeadlockOrLateDelivery) {
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        for (quint8 i = 0; !stop; ++i)
            dongle->SendInputReport(Packet(i));
    });
    for (int round = 0; round < 20; ++round) {
        ProcessEventsUntil([&] { return counters.size() > size_t(round) * 10; }, 1000);
        list->Deactivate();
        list->Activate();
    }
    ASSERT_FALSE(counters.empty());

    hid.Unplug(dongle);
    ProcessPostedEvents();
    EXPECT_EQ(list->DeviceCount(), 0);
    const size_t seen = counters.size();
    ProcessPostedEvents();
    EXPECT_EQ(counters.size(), seen); // nothing from a device that is gone
    stop = true;
    flood.join();
}

} // namespace
