#include "KelvraDevList.h"
#include "SimFixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <algorithm>
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

// A display that takes the reports at each frame is their only hand-over: the reader posts
// only once the frames have stopped for a while, and then hands over again on its own.
TEST_F(ReaderTest, FramesTakingTheReportsLeaveTheReaderQuietUntilTheyStop) {
    THidDevice* device = list->HidDevices().Objects[0];
    QElapsedTimer sinceFrame;
    bool inFrame = false;
    std::vector<qint64> handedOverAfter; // ms since the last frame, for reports the reader posted
    auto watch = list->OnDeviceData.Subscribe([&](quint16, quint8, const quint8*) {
        if (!inFrame) handedOverAfter.push_back(sinceFrame.elapsed());
    });
    auto frame = [&] {
        sinceFrame.start();
        inFrame = true;
        device->DeliverArrived();
        inFrame = false;
    };
    QElapsedTimer clock;
    clock.start();
    quint8 sent = 0;
    for (frame(); clock.elapsed() < 300; frame()) {
        dongle->SendInputReport(Packet(sent++));
        ProcessEventsUntil([] { return false; }, 10);
    }
    if (!handedOverAfter.empty()) { // a starved frame may let the reader post
        EXPECT_GE(*std::min_element(handedOverAfter.begin(), handedOverAfter.end()),
                  THidDevice::PulledBatchInterval.count());
    }

    for (int i = 0; i < 5; ++i)
        dongle->SendInputReport(Packet(sent++));
    ASSERT_TRUE(ProcessEventsUntil([&] { return counters.size() == sent; }));
    for (size_t i = 0; i < counters.size(); ++i)
        ASSERT_EQ(counters[i], int(i));
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
