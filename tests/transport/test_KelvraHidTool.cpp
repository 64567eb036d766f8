#include "HIDToolsErrorCodes.h"
#include "KelvraHIDTool.h"
#include "SimFixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

struct HidToolTest : ::testing::Test {
    TSimHidAccess hid;
    std::unique_ptr<TKelvraDevList> list;
    TKelvraHidTool tool;
    TKvrByteArray request{};
    TKvrByteArray reply{};

    void Start() {
        list = std::make_unique<TKelvraDevList>(hid);
        list->Activate();
        ProcessPostedEvents();
        tool.SetKelvraDevList(list.get());
        tool.TransactionTimeoutMs = 300;
        request[2] = 0x09;
    }
    std::shared_ptr<TVirtualDongle> PlugDongle(const QString& serial, quint8 toolId = 0) {
        auto dongle = MakeDongle(serial, 0x0102, "Kelvra LK600", toolId);
        hid.Plug(dongle);
        ProcessPostedEvents();
        return dongle;
    }
};

TEST_F(HidToolTest, EmptyListSendsNothingButAdvancesTheMessageId) {
    Start();
    int traced = 0;
    auto trace = tool.OnSendCommands.Subscribe([&](const TKvrByteArray&) { ++traced; });
    EXPECT_EQ(tool.SendReceive(request, reply), ResultNoHardware);
    EXPECT_EQ(tool.MessageID(), 2);
    EXPECT_EQ(traced, 0);
    EXPECT_EQ(GetErrorText(ResultNoHardware), "USB Hardware not found");
}

TEST_F(HidToolTest, MessageIdsRunFrom2To254ThenWrapTo1) {
    Start();
    auto dongle = PlugDongle("S1");
    for (int i = 0; i < 253; ++i)
        ASSERT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(tool.MessageID(), 254);
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(tool.MessageID(), 1);
    EXPECT_EQ(quint8(dongle->Requests().back()[1]), 1);
    EXPECT_EQ(quint8(dongle->Requests().front()[1]), 2);
}

TEST_F(HidToolTest, FirmwareVersionTraceAndToolId) {
    Start();
    auto dongle = PlugDongle("S1", 5);
    QByteArray traced;
    auto trace = tool.OnSendCommands.Subscribe([&](const TKvrByteArray& command) {
        traced = QByteArray(reinterpret_cast<const char*>(command.data()), 4);
    });
    quint32 version = 0;
    quint8 build = 0;
    EXPECT_EQ(tool.GetCTFWVersion(version, build), ResultOK);
    EXPECT_EQ(version, 0x0105u);
    EXPECT_EQ(build, 1);
    EXPECT_EQ(tool.LastDevID(), 5);
    EXPECT_EQ(traced, QByteArray::fromHex("00020900"));
    ASSERT_EQ(dongle->Requests().size(), 1u);
    EXPECT_EQ(dongle->Requests()[0].size(), 65);
    EXPECT_EQ(dongle->Requests()[0].left(4), QByteArray::fromHex("00020900"));
}

TEST_F(HidToolTest, ReplyMatching) {
    struct Case {
        const char* name;
        int streamingBefore, extraNonMatching;
        bool match;
        quint16 result;
    };
    const Case cases[] = {
        {"answer first", 0, 0, true, ResultOK},
        {"streaming packets do not count", 30, 18, true, ResultOK},
        {"19 non-matching then the answer", 0, 19, true, ResultOK},
        {"20 non-matching: the answer is not examined", 0, 20, true, ResultTimeout},
        {"no matching: a streaming packet is the answer", 1, 0, false, ResultOK},
    };
    Start();
    auto dongle = PlugDongle("S1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChangeFaults(*dongle, [&](TDongleFaults& f) { f.StreamingBefore = c.streamingBefore; });
        ChangeFaults(*dongle, [&](TDongleFaults& f) { f.ExtraNonMatching = c.extraNonMatching; });
        tool.MatchMsgIDs = c.match;
        EXPECT_EQ(tool.SendReceive(request, reply), c.result);
        if (!c.match) {
            EXPECT_EQ(reply[1] & 0x0F, 0x0F);
        }
    }
}

TEST_F(HidToolTest, DongleErrorsAndBadRepliesGiveResultWords) {
    Start();
    auto other = PlugDongle("S5", 5); // errors carry the tool ID in their high nibble
    ASSERT_TRUE(tool.SetCurrentSerial("S5"));
    ChangeFaults(*other, [&](TDongleFaults& f) { f.ErrorForCommand[0x07] = 0x0702; });
    request[2] = 0x07;
    EXPECT_EQ(tool.SendReceive(request, reply), 0x0702);
    EXPECT_EQ(reply[1], 0x5E);

    auto dongle = PlugDongle("S1");
    ASSERT_TRUE(tool.SetCurrentSerial("S1"));
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.ErrorForCommand[0x07] = 0x0701; });
    EXPECT_EQ(tool.SendReceive(request, reply), 0x0701);
    EXPECT_EQ(GetErrorText(0x0701), "Not a valid DUT voltage");

    request[2] = 0x55; // a command this dongle does not know
    EXPECT_EQ(tool.SendReceive(request, reply), 0x55FF);
    EXPECT_EQ(GetErrorText(0x55FF), "Invalid Command");

    request[2] = 0x09;
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.GarbageReply = true; });
    EXPECT_EQ(tool.SendReceive(request, reply), ResultTimeout);
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.GarbageReply = false; });
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.ShortReply = true; });
    EXPECT_EQ(tool.SendReceive(request, reply), ResultTimeout);
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.ShortReply = false; });
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK); // late replies do not confuse it
}

TEST_F(HidToolTest, SilentOrVanishingDongleEndsWithinTheTimeLimit) {
    Start();
    auto dongle = PlugDongle("S1");
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.NoAnswer = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultTimeout);
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 3000);

    // Unplugged while the transaction waits for its answer.
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        hid.Unplug(dongle);
    });
    tool.TransactionTimeoutMs = 10000;
    clock.restart();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultTimeout);
    EXPECT_LT(clock.elapsed(), 3000);
    unplug.join();

    ProcessPostedEvents();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultNoHardware);
}

TEST_F(HidToolTest, StreamingChatterCannotHoldATransactionForever) {
    Start();
    auto dongle = PlugDongle("S1");
    ChangeFaults(*dongle, [&](TDongleFaults& f) { f.NoAnswer = true; });
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        QByteArray packet(65, '\0');
        packet[1] = char(0x0F);
        while (!stop) {
            dongle->SendInputReport(packet);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultTimeout);
    EXPECT_LT(clock.elapsed(), 3000);
    stop = true;
    chatter.join();
}

TEST_F(HidToolTest, UnopenableDongleFailsTheFlush) {
    auto dongle = MakeDongle("S1");
    dongle->SetOpenError("device busy");
    hid.Plug(dongle);
    Start();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultQueueNotFlushed);
    EXPECT_TRUE(dongle->Requests().empty());
}

TEST_F(HidToolTest, PinnedSerialFollowsItsDongle) {
    Start();
    auto first = PlugDongle("S1");
    auto second = PlugDongle("S2");
    EXPECT_FALSE(tool.SetCurrentSerial("nope"));
    EXPECT_EQ(tool.CurrentDeviceIndex(), 0);
    EXPECT_TRUE(tool.SetCurrentSerial("S2"));
    EXPECT_EQ(tool.CurrentDeviceIndex(), 1);
    EXPECT_EQ(tool.SerialNumber(), "S2");

    hid.Unplug(first); // S2 moves from index 1 to index 0
    ProcessPostedEvents();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(tool.CurrentDeviceIndex(), 0);
    EXPECT_EQ(second->Requests().size(), 1u);

    auto third = PlugDongle("S3");
    hid.Unplug(second); // the pinned serial is gone: index 0
    ProcessPostedEvents();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(third->Requests().size(), 1u);

    // Pinned at index 1, gone, and index 1 now holds another dongle: still index 0.
    auto fourth = PlugDongle("S4");
    ASSERT_TRUE(tool.SetCurrentSerial("S4"));
    auto fifth = PlugDongle("S5");
    hid.Unplug(fourth);
    ProcessPostedEvents();
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(tool.CurrentDeviceIndex(), 0);
    EXPECT_EQ(third->Requests().size(), 2u);
    EXPECT_TRUE(fifth->Requests().empty());
}

TEST_F(HidToolTest, SelectionSurvivesOrFailsAfterAChangePass) {
    Start();
    auto first = PlugDongle("S1");
    auto second = PlugDongle("S2");
    auto third = PlugDongle("S3");
    EXPECT_FALSE(tool.SetCurrentDevice(3));
    EXPECT_TRUE(tool.SetCurrentDevice(2));
    EXPECT_EQ(tool.ProductID(), 0x0102);
    EXPECT_EQ(tool.VendorID(), 0x2150);

    hid.Unplug(first);
    ProcessPostedEvents();
    EXPECT_TRUE(tool.ReselectDevice());
    EXPECT_EQ(tool.CurrentDeviceIndex(), 1);

    hid.Unplug(third); // the selected one
    ProcessPostedEvents();
    EXPECT_FALSE(tool.ReselectDevice());
    EXPECT_FALSE(tool.DeviceSelected());
    // Index 1 of a one-dongle list: the transaction goes to index 0.
    EXPECT_EQ(tool.SendReceive(request, reply), ResultOK);
    EXPECT_EQ(second->Requests().size(), 1u);

    // A dongle plugged after the selected one went is never taken for it, even where its
    // device object reuses the old one's memory.
    for (int i = 0; i < 4; ++i) {
        auto newcomer = PlugDongle(QStringLiteral("N%1").arg(i));
        EXPECT_FALSE(tool.ReselectDevice());
        hid.Unplug(newcomer);
        ProcessPostedEvents();
    }
}

TEST(HidToolLifetime, TheListMayGoBeforeTheTool) {
    TSimHidAccess hid;
    auto tool = std::make_unique<TKelvraHidTool>();
    {
        TKelvraDevList list(hid);
        tool->SetKelvraDevList(&list);
    }
    TKvrByteArray request{}, reply{};
    EXPECT_EQ(tool->SendReceive(request, reply), ResultNoHardware);
    tool.reset(); // must not touch the list that is gone
}

} // namespace
