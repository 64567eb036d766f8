#include "KelvraPXS731.h"
#include "SimFixture.h"
#include "VirtualPXS733.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <set>

#include <thread>

namespace {

// The device component on a simulated dongle with a virtual PXS733 behind it.
struct DeviceTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualPXS733> ic = std::make_shared<TVirtualPXS733>();
    std::shared_ptr<TVirtualDongle> dongle;
    std::unique_ptr<TKelvraDevList> list;
    TKelvraHidTool tool;
    TPXS731Device device;
    TSimHidDevice::TClock::time_point now = TSimHidDevice::TClock::now();

    void SetUp() override { Plug(ic); }
    void Plug(std::shared_ptr<TSimIC> chip) {
        dongle = std::make_shared<TVirtualDongle>(TVirtualDongleConfig(), chip);
        dongle->SetAutoPump(false);
        dongle->SetClock([this] { return now; });
        hid.Plug(dongle);
        list = std::make_unique<TKelvraDevList>(hid);
        list->Activate();
        ProcessPostedEvents();
        tool.SetKelvraDevList(list.get());
        tool.SetCurrentSerial(QString());
        device.SetHIDTool(&tool);
    }
    // Command codes sent since the last call.
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const QByteArray& r : dongle->Requests())
            codes.push_back(quint8(r[2]));
        dongle->ClearRequests();
        return codes;
    }
    // Bytes 2 on of the request with the given code sent last, as hex, trailing zeros cut.
    QString Request(int code) {
        const auto requests = dongle->Requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (quint8((*it)[2]) != code) continue;
            QByteArray bytes = it->mid(2, 20);
            while (bytes.size() > 2 && bytes.endsWith('\0'))
                bytes.chop(1);
            return QString::fromLatin1(bytes.toHex());
        }
        return "none";
    }
    void UseI2C() {
        device.SetCommsType(c731_I2C);
        ASSERT_EQ(device.SetupCT(), 0);
    }
    void PowerUp() {
        ASSERT_EQ(device.PowerOn(), 0);
        dongle->ClearRequests();
    }
};

TEST_F(DeviceTest, FullRunOverOneWire) {
    device.SetCommsType(c731_1wire);
    EXPECT_EQ(device.SetupCT(), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{0x01, 0x07, 0x06, 0x05})); // no I2C configuration
    EXPECT_EQ(device.PowerOn(), 0);
    EXPECT_EQ(Request(0x11), "11020202"); // line 2 low, supply on, line 2 high
    EXPECT_EQ(Codes(), (std::vector<int>{0x11, 0x02, 0x11}));

    std::vector<int> counts;
    auto sampled = device.OnStreaming.Subscribe([&](quint16, quint8, const quint8* data) {
        counts.push_back(data[5] << 8 | data[6]); // count, channel 0, in the 1-Wire layout
    });
    dongle->SetSampleRate(100);
    TKvrByteArray list20{};
    ASSERT_EQ(device.StartStreaming(20, list20), 0);
    now += std::chrono::seconds(2);
    dongle->Pump();
    ASSERT_TRUE(ProcessEventsUntil([&] { return counts.size() >= 200; }));
    EXPECT_EQ(std::set<int>(counts.begin(), counts.end()).size() > 3, true); // they change
    for (int count : counts)
        EXPECT_NEAR(count, 1000, 200);
    EXPECT_EQ(device.StopStreaming(), 0);
    EXPECT_EQ(device.PowerOff(), 0);
    EXPECT_FALSE(ic->Powered());
}

TEST_F(DeviceTest, SettingsReachTheDongleAtSetup) {
    struct Case {
        const char* name;
        std::function<void(TPXS731Device&)> set;
        int code;
        QString request;
    };
    const Case cases[] = {
        {"the stored design", [](TPXS731Device&) {}, 0x05, "05020201"},
        {"1-Wire is ct631", [](TPXS731Device&) {}, 0x01, "01020004"},
        {"it500", [](TPXS731Device& d) { d.SetICType(i731_it500); }, 0x01, "01020005"},
        {"fixed 3.3 V", [](TPXS731Device&) {}, 0x07, "070101"},
        {"fixed 5 V", [](TPXS731Device& d) { d.SetDUTVoltage(v5V); }, 0x07, "070102"},
        {"adjustable 1.8 V",
         [](TPXS731Device& d) {
             d.SetAdjustableDUTVoltage(1.8);
             d.SetDUTVoltage(vAdjustable);
         },
         0x07, "070245d0"},
        {"level shifter", [](TPXS731Device& d) { d.SetLSVoltage(vfVDD); }, 0x06, "060101"},
        {"speed", [](TPXS731Device& d) { d.SetCommsSpeed(csSlow); }, 0x05, "05020203"},
        {"I2C", [](TPXS731Device& d) { d.SetCommsType(c731_I2C); }, 0x0F, "0f06010244030202"},
        {"I2C options",
         [](TPXS731Device& d) {
             d.SetCommsType(c731_I2C);
             d.SetI2CType(RDY_ActiveHigh);
             d.SetI2CPullUpResistors(prNotConnected);
             d.SetI2CReadyPin(rpPin6);
             d.SetI2CStopCommand(scNoStop);
             d.SetI2CPolling(ipNoPolling);
             d.SetI2CAddress("2c");
         },
         0x0F, "0f0602012c010101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPXS731Device d;
        d.SetCommsType(c731_1wire);
        d.SetHIDTool(&tool);
        c.set(d);
        dongle->ClearRequests();
        EXPECT_EQ(d.SetupCT(), 0);
        EXPECT_EQ(Request(c.code), c.request);
    }
}

TEST_F(DeviceTest, I2CAddressAndSupplyRules) {
    const std::pair<const char*, const char*> addresses[] = {
        {"80", "7F"}, {"G1", "00"}, {"2c", "2C"}, {"", "00"}, {"7f", "7F"}, {"5", "05"},
    };
    for (const auto& [text, stored] : addresses) {
        device.SetI2CAddress(text);
        EXPECT_EQ(device.I2CAddress(), stored) << text;
    }
    for (const auto& [set, stored] : {std::pair{6.0, 5.5}, {1.8, 1.8}, {0.5, 0.5}}) {
        device.SetAdjustableDUTVoltage(set);
        EXPECT_DOUBLE_EQ(device.AdjustableDUTVoltage(), stored);
    }
}

TEST_F(DeviceTest, SetupReportsTheSelectedSupply) {
    device.SetAdjustableDUTVoltage(1.8);
    device.SetDUTVoltage(vAdjustable);
    double selected = -1;
    EXPECT_EQ(device.SetupCT(selected), 0);
    EXPECT_DOUBLE_EQ(selected, 1.8);

    ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand[0x07] = 0x0701; });
    dongle->ClearRequests();
    EXPECT_EQ(device.SetupCT(selected), 0x0701);
    EXPECT_EQ(selected, 0.0);
    EXPECT_EQ(Codes(), (std::vector<int>{0x01, 0x07}));
    EXPECT_EQ(device.Res(), 0x0701);
}

TEST_F(DeviceTest, TestModeEntryAndExit) {
    UseI2C();
    EXPECT_EQ(device.EnterTestMode(), 0);
    EXPECT_EQ(Request(0x13), "1301");     // stop bit off
    EXPECT_EQ(Request(0x04), "0408002b"); // eight-byte form, start-up pulse 43
    EXPECT_EQ(Codes(), (std::vector<int>{0x01, 0x07, 0x06, 0x05, 0x0F, 0x13, 0x04, 0x12}));
    EXPECT_TRUE(ic->InTestMode());
    EXPECT_EQ(device.Res(), 0);

    // Entering again while the IC is powered: the dongle refuses, it needs a cold start.
    EXPECT_EQ(device.EnterTestMode(), 0x0403);
    EXPECT_EQ(device.Res(), 0x0403);

    EXPECT_EQ(device.ExitTestMode(), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{0x13, 0x04, 0x13, 0x12, 0x10}));
    EXPECT_FALSE(ic->InTestMode());

    TPXS731Device other;
    other.SetHIDTool(&tool);
    other.SetICType(i731_it500);
    EXPECT_EQ(other.EnterTestMode(), 0);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(DeviceTest, MarkerOtherThanA5GivesResult4) {
    auto plain = std::make_shared<TRegisterIC>(); // register 0x0F holds 0
    hid.Unplug(dongle);
    Plug(plain);
    UseI2C();
    EXPECT_EQ(device.EnterTestMode(), TKVR500Class::ResultNoTestMode);
    EXPECT_EQ(device.Res(), 4);
    plain->Memory[0x0F] = 0xA5;
    EXPECT_EQ(device.PowerOff(), 0);
    EXPECT_EQ(device.EnterTestMode(), 0);
    EXPECT_EQ(device.Res(), 0);
}

// The base component with its IC type chosen by the test.
struct TestBase : TKVR500Class {
    void SetIC(TICType Type) { FICType = Type; }
};

TEST_F(DeviceTest, BaseSequencesForOtherICTypes) {
    UseI2C();
    TestBase base;
    base.SetHIDTool(&tool);
    base.SetIC(it500);
    dongle->ClearRequests();
    EXPECT_EQ(base.EnterTestMode(), 0);
    EXPECT_EQ(Request(0x04), "04023680");
    EXPECT_EQ(Codes(), (std::vector<int>{0x0F, 0x04, 0x0F, 0x13, 0x12}));
    EXPECT_EQ(base.ExitTestMode(), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{0x13, 0x0B, 0x0F, 0x1A}));
    EXPECT_EQ(base.FirstCommsWrite(0x36, 0x80), 0x0403); // the IC is powered now
    EXPECT_EQ(Codes(), (std::vector<int>{0x0F, 0x04}));

    base.SetIC(it631);
    EXPECT_EQ(base.EnterTestMode(), 0);
    EXPECT_EQ(base.ExitTestMode(), 0);
    EXPECT_EQ(base.FirstCommsWrite(1, 2), 0);
    EXPECT_TRUE(Codes().empty());

    quint16 version = 0;
    EXPECT_EQ(base.GetVersion(version), 0);
    EXPECT_EQ(version, 0x030B); // registers 0x01 (software), 0x00 (product)
    EXPECT_EQ(device.GetVersion(version), 0);
    EXPECT_EQ(version, 0x0B03); // registers 0x34, 0x35
}

TEST_F(DeviceTest, RegistersIndirectRegistersAndFuses) {
    UseI2C();
    PowerUp();
    quint8 value = 0;
    EXPECT_EQ(device.IndirectRead(0x53, value), 0);
    EXPECT_EQ(value, 0x0A);
    EXPECT_EQ(Codes(), (std::vector<int>{0x13, 0x0B, 0x13, 0x0A}));
    EXPECT_EQ(device.IndirectWrite(0x53, 0x22), 0);
    EXPECT_EQ(device.IndirectRead(0x53, value), 0);
    EXPECT_EQ(value, 0x22);
    EXPECT_EQ(device.UseStopCommand(), 0);

    std::array<quint8, 6> banks{};
    EXPECT_EQ(device.ReadFuses(banks[0], banks[1], banks[2], banks[3], banks[4], banks[5]), 0);
    EXPECT_EQ(banks, TVirtualPXS733::DefaultFuses);
    Codes();
    EXPECT_EQ(device.WriteFuses(0x01, 0x04, 0, 0, 0, 0x80, 1, 3, 4, 2), 0);
    EXPECT_EQ(Request(0x0E), "0e0401020304"); // burn bytes in the order 1, 2, 3, 4
    EXPECT_EQ(Codes().size(), 33u);
    EXPECT_EQ(ic->BurnPulses(), 18);
    EXPECT_EQ(device.VerifyFuses(banks[0], banks[1], banks[2], banks[3], banks[4], banks[5]), 0);
    EXPECT_EQ(banks[0], 0x49);
    EXPECT_EQ(banks[1], 0x05);
    EXPECT_EQ(banks[5], 0x80);

    // A read that fails at the third bank leaves the first two read and the others alone.
    std::array<quint8, 6> partial{7, 7, 7, 7, 7, 7};
    ChangeFaults(*dongle, [](TDongleFaults& f) {
        f.FailAfter = 6;
        f.FailCode = 0x0B03;
    });
    EXPECT_EQ(
        device.ReadFuses(partial[0], partial[1], partial[2], partial[3], partial[4], partial[5]),
        0x0B03);
    EXPECT_EQ(partial, (std::array<quint8, 6>{0x49, 0x05, 7, 7, 7, 7}));
}

TEST_F(DeviceTest, EveryStepOfEveryOperationCanFail) {
    constexpr quint16 Failure = 0x0B03;
    quint8 byte = 0;
    quint16 word = 0;
    std::array<quint8, 6> b{};
    struct Op {
        const char* name;
        std::function<void()> prepare;
        std::function<quint16()> run;
        int steps;             // commands sent when every step succeeds
        bool recordsFRes;      // FRes takes the failing code
        std::set<int> ignored; // steps whose failure does not end the operation
    };
    const std::vector<Op> ops = {
        {"SetupCT", [&] { device.PowerOff(); }, [&] { return device.SetupCT(); }, 5, true, {}},
        {"PowerOn", [&] { device.PowerOff(); }, [&] { return device.PowerOn(); }, 3, false, {}},
        {"EnterTestMode",
         [&] { device.PowerOff(); },
         [&] { return device.EnterTestMode(); },
         3,
         true,
         {}},
        {"ExitTestMode",
         [&] {
             device.PowerOff();
             device.EnterTestMode();
         },
         [&] { return device.ExitTestMode(); },
         3,
         true,
         {2}},
        {"ReadReg", [] {}, [&] { return device.ReadReg(0x10, byte); }, 1, true, {}},
        {"WriteReg", [] {}, [&] { return device.WriteReg(0x60, 1); }, 1, false, {}},
        {"IndirectRead", [] {}, [&] { return device.IndirectRead(0x53, byte); }, 4, true, {2}},
        {"IndirectWrite", [] {}, [&] { return device.IndirectWrite(0x53, 1); }, 1, false, {}},
        {"GetVersion", [] {}, [&] { return device.GetVersion(word); }, 2, true, {}},
        {"ReadFuses",
         [] {},
         [&] { return device.ReadFuses(b[0], b[1], b[2], b[3], b[4], b[5]); },
         18,
         false,
         {}},
        {"WriteFuses",
         [] {},
         [&] { return device.WriteFuses(0, 0, 0, 0, 0, 0, 1, 2, 3, 4); },
         33,
         false,
         {}},
        {"UseStopCommand", [] {}, [&] { return device.UseStopCommand(); }, 2, false, {}},
        {"LTAWrite", [] {}, [&] { return device.LTAWrite(0, 0x1234, 1); }, 1, false, {}},
    };
    UseI2C();
    for (const Op& op : ops) {
        for (int step = 0; step < op.steps; ++step) {
            SCOPED_TRACE(std::string(op.name) + " step " + std::to_string(step));
            dongle->SetFaults({});
            device.PowerOff();
            device.SetupCT();
            device.PowerOn();
            op.prepare();
            const quint16 resBefore = device.Res();
            dongle->ClearRequests();
            ChangeFaults(*dongle, [&](TDongleFaults& f) {
                f.FailAfter = step;
                f.FailCode = Failure;
            });
            const quint16 result = op.run();
            const int sent = int(dongle->Requests().size());
            if (op.ignored.count(step)) {
                EXPECT_EQ(result, 0);
                continue;
            }
            EXPECT_EQ(result, Failure);
            // IndirectRead gives the stop condition back even after a failure.
            const int expectedSent =
                std::string(op.name) == "IndirectRead" && step < 2 ? step + 2 : step + 1;
            EXPECT_EQ(sent, expectedSent);
            EXPECT_EQ(device.Res(), op.recordsFRes ? Failure : resBefore);
        }
    }
}

TEST_F(DeviceTest, LTAAndATIRequests) {
    EXPECT_EQ(device.LTAWrite(2, 0x1234, 5), 0xD3FF); // the simulated dongle does not know it
    EXPECT_EQ(Request(0xD3), "d30402123405");
    device.ATIChannel(3, 4);
    EXPECT_EQ(Request(0xD4), "d4020304");
}

TEST_F(DeviceTest, ToolEventsReachEveryBoundDeviceUntilItIsGone) {
    int first = 0, second = 0;
    auto counted = device.OnStreaming.Subscribe([&](quint16, quint8, const quint8*) { ++first; });
    device.SetHIDTool(&tool); // the same tool again: still one forwarder
    const quint8 data[3] = {};
    {
        TPXS731Device other;
        other.SetHIDTool(&tool);
        auto alsoCounted =
            other.OnStreaming.Subscribe([&](quint16, quint8, const quint8*) { ++second; });
        tool.OnStreaming(3, 0, data);
    }
    tool.OnStreaming(3, 0, data); // the device that is gone is not called
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
}

TEST_F(DeviceTest, UnboundDeviceAnswersNoHardware) {
    TPXS731Device unbound;
    EXPECT_EQ(unbound.SetupCT(), ResultNoHardware);
    EXPECT_EQ(unbound.PowerOn(), ResultNoHardware);
}

TEST_F(DeviceTest, I2CStreamsOnlyWithTheStreamBit) {
    int samples = 0;
    std::vector<int> flags;
    auto sampled = device.OnStreaming.Subscribe([&](quint16, quint8, const quint8* data) {
        ++samples;
        flags.push_back(data[3]);
    });
    UseI2C();
    PowerUp();
    ASSERT_EQ(device.StartStreaming(), 0);
    now += std::chrono::seconds(1);
    dongle->Pump();
    ProcessPostedEvents();
    EXPECT_EQ(samples, 0); // the STREAM bit is not fused
    ASSERT_EQ(device.StopStreaming(), 0);

    // What "Start (Debug)" does: set the bit in test mode, leave it, stream.
    ASSERT_EQ(device.PowerOff(), 0);
    ASSERT_EQ(device.SetupCT(), 0);
    ASSERT_EQ(device.EnterTestMode(), 0);
    quint8 bank1 = 0;
    ASSERT_EQ(device.ReadReg(0x11, bank1), 0);
    ASSERT_EQ(device.WriteReg(0x11, bank1 | TVirtualPXS733::StreamBit), 0);
    ASSERT_EQ(device.ExitTestMode(), 0);
    TKvrByteArray list24{};
    ASSERT_EQ(device.StartStreaming(24, list24), 0);
    ic->Touch(0.5, 200);
    now += std::chrono::seconds(2);
    dongle->Pump();
    ASSERT_TRUE(ProcessEventsUntil([&] { return samples >= 150; }));
    EXPECT_TRUE(std::any_of(flags.begin(), flags.end(), [](int f) { return f & 0x80; }));
    EXPECT_TRUE(std::any_of(flags.begin(), flags.end(), [](int f) { return f & 0x40; }));
}

TEST_F(DeviceTest, UnplugInTheMiddleOfASequenceGivesAResult) {
    UseI2C();
    PowerUp();
    tool.TransactionTimeoutMs = 300;
    int sent = 0;
    auto unplugOnFifth = tool.OnSendCommands.Subscribe([&](const TKvrByteArray&) {
        if (++sent == 5) hid.Unplug(dongle); // after the request went out, before its answer
    });
    // Gone while a transaction waits for its answer: it ends at once with a timeout.
    EXPECT_EQ(device.WriteFuses(0, 0, 0, 0, 0, 0, 1, 2, 3, 4), ResultTimeout);
    EXPECT_EQ(sent, 5); // the sequence stopped there
    // Gone before the next one starts: the flush fails.
    EXPECT_EQ(device.WriteFuses(0, 0, 0, 0, 0, 0, 1, 2, 3, 4), ResultQueueNotFlushed);
}

} // namespace
