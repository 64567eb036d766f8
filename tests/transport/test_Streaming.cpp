#include "KelvraHIDTool.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

namespace {

// One started dongle (tool ID 2) whose streaming reports the tests write by hand.
struct ReceptionTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle = MakeDongle("S1", 0x0102, "Kelvra LK600", 2);
    std::unique_ptr<TKelvraDevList> list;
    TKelvraHidTool tool;
    THidDevice* device = nullptr;
    std::vector<QByteArray> samples; // as delivered, header included
    std::vector<quint8> sampleTools;
    std::vector<quint8> missed;
    std::vector<quint16> errors;
    TKvrByteArray addresses{};
    std::vector<TSubscription> subscriptions;

    void SetUp() override {
        hid.Plug(dongle);
        list = std::make_unique<TKelvraDevList>(hid);
        list->Deactivate(); // reports come only from the tests
        ProcessPostedEvents();
        list->HidDeviceChange();
        device = list->HidDevices().Objects[0];
        tool.SetKelvraDevList(list.get());
        subscriptions.push_back(
            tool.OnStreaming.Subscribe([this](quint16 size, quint8 toolId, const quint8* data) {
                samples.emplace_back(reinterpret_cast<const char*>(data), size);
                sampleTools.push_back(toolId);
            }));
        subscriptions.push_back(tool.OnStreamingDataMissed.Subscribe(
            [this](quint8 toolId) { missed.push_back(toolId); }));
        subscriptions.push_back(
            tool.OnStreamingError.Subscribe([this](quint16 code) { errors.push_back(code); }));
        ASSERT_EQ(tool.SetICType(it649), 0);
        ASSERT_EQ(tool.SetupComms(ctI2C, csFast), 0);
        ASSERT_EQ(tool.PowerOnDUT(), 0);
    }
    void Start(quint8 length = 20) { ASSERT_EQ(tool.StartStreaming(length, addresses), 0); }
    void StartLong(quint16 length) {
        ASSERT_EQ(tool.SetLongStreamingLength(length), 0);
        ASSERT_EQ(tool.StartLongStreaming(addresses), 0);
    }
    // One report's data (report ID removed): tool 2, streaming, the counter, byte 2, fill.
    void Feed(quint8 counter, quint8 byte2, quint8 fill = 0x55, quint8 kind = 0x0F) {
        QByteArray report(64, char(fill));
        report[0] = char(2 << 4 | kind);
        report[1] = char(counter);
        report[2] = char(byte2);
        list->HandleDeviceData(device, 0, reinterpret_cast<const quint8*>(report.constData()), 64);
    }
    int Expected() const { return list->Streams().StreamingCounter.Counter.at(0); }
};

TEST_F(ReceptionTest, OneReportSampleIsTheReportItself) {
    Start();
    Feed(0, 20);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].size(), 64);
    EXPECT_EQ(quint8(samples[0][2]), 20);
    EXPECT_EQ(sampleTools[0], 2);
    EXPECT_EQ(Expected(), 1);
}

TEST_F(ReceptionTest, LongerSampleIsReassembledOnce) {
    Start(70);
    Feed(0, 70, 0x11);
    Feed(0, 38, 0x22);
    EXPECT_TRUE(samples.empty());
    Feed(0, 6, 0x33);
    ASSERT_EQ(samples.size(), 1u);
    const QByteArray& s = samples[0];
    ASSERT_EQ(s.size(), 73);
    EXPECT_EQ(quint8(s[2]), 70);
    EXPECT_EQ(s.mid(3, 32), QByteArray(32, 0x11));
    EXPECT_EQ(s.mid(35, 32), QByteArray(32, 0x22));
    EXPECT_EQ(s.mid(67, 6), QByteArray(6, 0x33));
    EXPECT_EQ(Expected(), 1); // once per sample
    EXPECT_TRUE(missed.empty());
}

TEST_F(ReceptionTest, SampleMissingAMiddleReportHoldsZerosNotOldBytes) {
    Start(70);
    Feed(0, 70, 0x11);
    Feed(0, 38, 0x22);
    Feed(0, 6, 0x33); // a whole sample: the buffer now holds its bytes
    Feed(1, 70, 0x44);
    Feed(1, 6, 0x55); // the middle report was lost
    ASSERT_EQ(samples.size(), 2u);
    const QByteArray& s = samples[1];
    ASSERT_EQ(s.size(), 73);
    EXPECT_EQ(s.mid(3, 32), QByteArray(32, 0x44));
    EXPECT_EQ(s.mid(35, 6), QByteArray(6, 0x55));
    EXPECT_EQ(s.mid(41), QByteArray(32, '\0'));
}

TEST_F(ReceptionTest, LongStreamingNumbersItsPacketsAndDropsOutOfOrderOnes) {
    StartLong(40);
    EXPECT_EQ(list->Assembler().LongStreamingPackets(), 1);
    Feed(0, 1); // packet 1 first: dropped
    EXPECT_TRUE(samples.empty());
    Feed(0, 0, 0x11);
    Feed(0, 1, 0x22);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].size(), 43);
    EXPECT_EQ(quint8(samples[0][2]), 0xFF);
    EXPECT_EQ(samples[0].mid(35, 8), QByteArray(8, 0x22));
}

TEST_F(ReceptionTest, CounterGapsAreReportedOnceAndResynchronise) {
    Start();
    list->Streams().StreamingCounter.Counter[0] = 5;
    Feed(5, 20);
    Feed(6, 20);
    Feed(8, 20);
    EXPECT_EQ(missed, std::vector<quint8>{2});
    EXPECT_EQ(Expected(), 9);

    list->Streams().StreamingCounter.Counter[0] = 255;
    Feed(255, 20);
    Feed(0, 20);
    EXPECT_EQ(missed.size(), 1u); // 255 -> 0 is no gap
    EXPECT_EQ(samples.size(), 5u);
}

TEST_F(ReceptionTest, HandlerThatStopsStreamingOnAGap) {
    Start();
    auto stopper = tool.OnStreamingDataMissed.Subscribe([this](quint8) { tool.StopStreaming(); });
    Feed(0, 20);
    Feed(5, 20); // the gap's handler removes the counter being updated
    EXPECT_TRUE(list->Streams().StreamingCounter.Counter.empty());
    EXPECT_FALSE(list->IsStreaming());
}

TEST_F(ReceptionTest, FreshStartAfterStopResynchronisesSilently) {
    Start();
    Feed(0, 20);
    ASSERT_EQ(tool.StopStreaming(), 0);
    EXPECT_TRUE(list->Streams().JustStopped);
    EXPECT_FALSE(list->IsStreaming());
    Start();
    Feed(37, 20);
    Feed(39, 20); // forgiven once more
    EXPECT_TRUE(missed.empty());
    Feed(41, 20);
    EXPECT_EQ(missed.size(), 1u);
}

TEST_F(ReceptionTest, RawModePassesEveryStreamingPacketUntouched) {
    Start();
    tool.SetRawStream(true);
    Feed(9, 20);
    Feed(3, 20);
    Feed(0, 20, 0, 0x0E); // not a streaming packet
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(sampleTools, (std::vector<quint8>{0, 0}));
    EXPECT_EQ(Expected(), 0);
    EXPECT_TRUE(missed.empty());
}

TEST_F(ReceptionTest, ErrorReportsOnlyWhileStreaming) {
    QByteArray report(64, '\0');
    report[0] = char(0x2E);
    report[4] = char(0xFD);
    auto feed = [&] {
        list->HandleDeviceData(device, 0, reinterpret_cast<const quint8*>(report.constData()), 64);
    };
    feed(); // not streaming yet
    Start();
    feed();
    report[3] = 0x0C;
    report[4] = 0x03;
    feed(); // a command's error, not the stream's
    EXPECT_EQ(errors, std::vector<quint16>{0x00FD});
}

TEST_F(ReceptionTest, StoppingOneOfTwoDonglesLeavesTheOtherStreaming) {
    auto second = MakeDongle("S2", 0x0102, "Kelvra LK600", 5);
    hid.Plug(second);
    ProcessPostedEvents();
    list->HidDeviceChange();
    Start(); // the first dongle, tool ID 2
    ASSERT_TRUE(tool.SetCurrentSerial("S2"));
    ASSERT_EQ(tool.SetICType(it649), 0);
    ASSERT_EQ(tool.SetupComms(ctI2C, csFast), 0);
    ASSERT_EQ(tool.PowerOnDUT(), 0);
    Start(); // tool ID 5
    ASSERT_TRUE(tool.SetCurrentSerial("S1"));
    ASSERT_EQ(tool.StopStreaming(), 0);

    EXPECT_TRUE(list->IsStreaming());
    EXPECT_EQ(list->Streams().NumberOfDevices(), 1);
    EXPECT_EQ(list->Streams().StreamingCounter.DevID, std::vector<int>{5});
    QByteArray report(64, '\0');
    report[0] = char(5 << 4 | 0x0F);
    report[2] = 20;
    list->HandleDeviceData(list->HidDevices().Objects[1], 0,
                           reinterpret_cast<const quint8*>(report.constData()), 64);
    Feed(0, 20); // the stopped dongle's late packet goes nowhere
    EXPECT_EQ(sampleTools, std::vector<quint8>{5});
    EXPECT_TRUE(missed.empty());
}

TEST_F(ReceptionTest, StartingTwiceGives8AndSendsNothing) {
    Start();
    const size_t sent = dongle->Requests().size();
    EXPECT_EQ(tool.StartStreaming(20, addresses), ResultAlreadyStreaming);
    EXPECT_EQ(tool.StartLongStreaming(addresses), ResultAlreadyStreaming);
    EXPECT_EQ(dongle->Requests().size(), sent);
}

TEST_F(ReceptionTest, StartSendsTheListInChunksAndRegistersTheDongle) {
    for (int i = 0; i < 70; ++i)
        addresses[size_t(i)] = quint8(0x40 + i);
    dongle->ClearRequests();
    Start(70);
    const auto requests = dongle->Requests();
    ASSERT_EQ(requests.size(), 4u); // version, then 3 chunks
    EXPECT_EQ(quint8(requests[1][2]), 0x0C);
    EXPECT_EQ(quint8(requests[1][3]), 70);
    EXPECT_EQ(quint8(requests[2][3]), 38);
    EXPECT_EQ(quint8(requests[3][3]), 6);
    EXPECT_EQ(quint8(requests[3][4]), 0x40 + 64);
    EXPECT_EQ(list->Streams().NumberOfDevices(), 1);
    EXPECT_EQ(list->Streams().Slots()[0].Device, device);
    EXPECT_EQ(list->Streams().Slots()[0].DeviceID, 2);
    EXPECT_EQ(list->Streams().StreamingCounter.DevID, std::vector<int>{2});
    EXPECT_EQ(dongle->State().StreamList.size(), 70);
}

TEST_F(ReceptionTest, LongStartLongerThanItsBlockIsRefused) {
    ASSERT_EQ(tool.SetLongStreamingLength(32769), 0);
    const size_t sent = dongle->Requests().size();
    EXPECT_EQ(tool.StartLongStreaming(addresses), ResultInvalidParameter);
    EXPECT_EQ(dongle->Requests().size(), sent);
}

TEST_F(ReceptionTest, SampleThatWouldOverrunTheBufferIsDiscarded) {
    StartLong(32766); // with its header one byte more than the buffer holds
    for (int packet = 0; packet <= list->Assembler().LongStreamingPackets(); ++packet)
        Feed(0, quint8(packet));
    EXPECT_TRUE(samples.empty());
    EXPECT_LE(list->Assembler().Packet().PacketPos, TSampleAssembler::PacketCapacity);
}

TEST_F(ReceptionTest, MalformedReportsOfEveryLengthAndHeader) {
    Start(70);
    QByteArray report(70, '\0');
    for (int header = 0; header < 256; ++header) {
        for (int length = 0; length <= 70; ++length) {
            report[0] = char(header);
            report[1] = char(length * 7);
            report[2] = char(length * 3 + header);
            list->HandleDeviceData(device, 0, reinterpret_cast<const quint8*>(report.constData()),
                                   length);
        }
    }
    EXPECT_LE(list->Assembler().Packet().PacketPos, TSampleAssembler::PacketCapacity);
}

// End to end: the simulated dongle streams the IC's memory, paced by a clock of the test.
struct EndToEndTest : ReceptionTest {
    TSimHidDevice::TClock::time_point now = TSimHidDevice::TClock::now();

    void SetUp() override {
        ReceptionTest::SetUp();
        dongle->SetAutoPump(false);
        dongle->SetClock([this] { return now; });
        dongle->WithIC([](TSimIC& ic) {
            auto& memory = static_cast<TRegisterIC&>(ic).Memory;
            for (int i = 0; i < 256; ++i)
                memory[size_t(i)] = quint8(i);
        });
        list->Activate();
    }
    void Advance(std::chrono::milliseconds by) {
        now += by;
        dongle->Pump();
    }
    bool Receive(size_t count) {
        return ProcessEventsUntil([&] { return samples.size() >= count; });
    }
};

TEST_F(EndToEndTest, SamplesOfOneAndSeveralReportsArrive) {
    dongle->SetSampleRate(1000);
    Start(20); // 20 zeros: the memory from 0x10 on
    Advance(std::chrono::milliseconds(999));
    ASSERT_TRUE(Receive(1000));
    EXPECT_EQ(samples.size(), 1000u);
    EXPECT_EQ(quint8(samples[0][3]), 0x10);
    EXPECT_EQ(quint8(samples[0][22]), 0x10 + 19);
    EXPECT_TRUE(missed.empty());
    ASSERT_EQ(tool.StopStreaming(), 0);

    samples.clear();
    addresses[0] = 0x40; // a run of 70 from 0x40
    Start(70);
    Advance(std::chrono::milliseconds(99));
    ASSERT_TRUE(Receive(100));
    EXPECT_EQ(samples[5].size(), 73);
    EXPECT_EQ(quint8(samples[5][3]), 0x40);
    EXPECT_EQ(quint8(samples[5][72]), 0x40 + 69);
    EXPECT_TRUE(missed.empty());
}

TEST_F(EndToEndTest, LostDuplicatedAndReorderedReportsShowAsGaps) {
    dongle->SetSampleRate(1000);
    Start(20);
    ChangeFaults(*dongle, [](TDongleFaults& f) { f.DuplicateOne = true; });
    Advance(std::chrono::milliseconds(10));
    ChangeFaults(*dongle, [](TDongleFaults& f) { f.ReorderOne = true; });
    Advance(std::chrono::milliseconds(10));
    ChangeFaults(*dongle, [](TDongleFaults& f) {
        f.DropShare = 0.2;
        f.StreamingError = 0x00FD;
    });
    Advance(std::chrono::milliseconds(100));
    ProcessEventsUntil([&] { return !errors.empty(); });
    ProcessPostedEvents();
    EXPECT_GE(missed.size(), 3u);
    EXPECT_EQ(errors, std::vector<quint16>{0x00FD});
}

TEST_F(EndToEndTest, StopHandsOnWhatTheDongleSentBeforeIt) {
    dongle->SetSampleRate(8000);
    Start(20);
    Advance(std::chrono::milliseconds(10)); // with the reader, not yet handed over
    ASSERT_EQ(tool.StopStreaming(), 0);
    EXPECT_EQ(samples.size(), dongle->SamplesSent());
    EXPECT_GT(samples.size(), 50u);
    EXPECT_TRUE(missed.empty());
}

TEST_F(EndToEndTest, UnplugWhileStreaming) {
    Start(20);
    Advance(std::chrono::milliseconds(100));
    ASSERT_TRUE(Receive(5));
    hid.Unplug(dongle);
    ProcessPostedEvents();
    EXPECT_FALSE(list->IsStreaming());
    EXPECT_EQ(list->Streams().NumberOfDevices(), 0);
    EXPECT_TRUE(list->Streams().StreamingCounter.DevID.empty());
    EXPECT_EQ(tool.StopStreaming(), ResultNoHardware);
}

} // namespace
