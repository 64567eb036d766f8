#include "KelvraHIDTool.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A tool bound to one simulated dongle whose requests are checked byte by byte.
struct CommandTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle;
    std::unique_ptr<TKelvraDevList> list;
    TKelvraHidTool tool;
    TKvrByteArray data{};

    void SetUp() override { Plug(TVirtualDongleConfig()); }
    void Plug(const TVirtualDongleConfig& config) {
        dongle = std::make_shared<TVirtualDongle>(config);
        hid.Plug(dongle);
        list = std::make_unique<TKelvraDevList>(hid);
        list->Activate();
        ProcessPostedEvents();
        tool.SetKelvraDevList(list.get());
    }
    // Request bytes from byte 2 on (code, byte 3, payload), one hex string per transaction.
    QStringList Sent(int from = 0) {
        QStringList sent;
        const auto requests = dongle->Requests();
        for (size_t i = size_t(from); i < requests.size(); ++i) {
            QByteArray bytes = requests[i].mid(2, 78);
            while (bytes.endsWith('\0') && bytes.size() > 2)
                bytes.chop(1);
            sent << QString::fromLatin1(bytes.toHex());
        }
        return sent;
    }
    // Powers the IC over I2C so that transfers work.
    void PowerUpI2C() {
        ASSERT_EQ(tool.SetICType(it649), 0);
        ASSERT_EQ(tool.SetupComms(ctI2C, csFast), 0);
        ASSERT_EQ(tool.PowerOnDUT(), 0);
        dongle->ClearRequests();
    }
};

TEST_F(CommandTest, EveryCommandSendsItsRequestBytes) {
    quint8 b1 = 1, b2 = 2, b3 = 3, b4 = 4, byteOut = 0;
    quint16 w1 = 0, w2 = 0;
    quint32 version = 0;
    bool flag = false;
    double selected = 0;
    TKvrByteArray address{};
    address[0] = 0x12;
    address[1] = 0x34;
    TKvrByteArray block{};
    block[0] = 0xAA;
    block[1] = 0xBB;
    const std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[&] { tool.SetICType(it649); }, "01020004"},
        {[&] { tool.SetICType(it350); }, "01020001"},
        {[&] { tool.SetICType(it630); }, "01020003"},
        {[&] { tool.SetICType(it631); }, "01020002"},
        {[&] { tool.SetICType(it500); }, "01020005"},
        {[&] { tool.SetICType(quint16(0x1234)); }, "01021234"},
        {[&] { tool.LogicType(ltPositive); }, "010101"},
        {[&] { tool.PowerOnDUT(); }, "0200"},
        {[&] { tool.PowerOnPSU(); }, "020101"},
        {[&] { tool.GetStart(flag); }, "0200"},
        {[&] { tool.PowerOffDUT(); }, "0300"},
        {[&] { tool.PowerOffPSU(); }, "030101"},
        {[&] { tool.SendBins(b1, b2, b3, b4); }, "030401020304"},
        {[&] { tool.EnterTM(1, 2, 3, 4, 5, 6, 7, 8); }, "04080102030405060708"},
        {[&] { tool.EnterTM(0x36, 0x80); }, "04023680"},
        {[&] { tool.SetupComms(ctUART_1WIRE, csSlow); }, "05020603"},
        {[&] { tool.SetupComms(ctI2C, csFast); }, "05020401"},
        {[&] { tool.Comms_I2C_Custom_Speed(400); }, "050504"
                                                    "04061a80"},
        {[&] { tool.SetLSVoltage(vfVDDHI); }, "060102"},
        {[&] { tool.SetDUTVoltage(dv3_3V); }, "070101"},
        {[&] { tool.SetDUTVoltage(dv5V); }, "070102"},
        {[&] { tool.SetDUTVoltage(3.3); }, "07028000"},
        {[&] { tool.SetPSUVoltage(3.3); }, "07028001"},
        {[&] { tool.SetDUTVoltage(3.3, selected); }, "07018d"},
        // 2.5 V: 1551.5 and 106.7 go to the nearest integer, not down.
        {[&] { tool.SetDUTVoltage(2.5); }, "07026100"},
        {[&] { tool.SetDUTVoltage(2.5, selected); }, "07016b"},
        {[&] { tool.SetCTID(5); }, "080105"},
        {[&] { tool.GetCTFWVersion(version); }, "0900"},
        {[&] { tool.GetTesterFWVersion(version, b1, b2, w1, w2); }, "0900"},
        {[&] { tool.IsTesterInit(flag); }, "0900"},
        {[&] { tool.CommsRead(7, data); }, "0a0107"},
        {[&] { tool.FuseBurnConnect(9, 8, 7, 6); }, "0e0409080706"},
        {[&] {
             tool.ConfigI2C(RDY_ActiveLow, prConnected, 0x44, rpPin10, scUseStop,
                            ipPollingByAddress);
         },
         "0f0603024403020 2"},
        {[&] { tool.IORead(7, byteOut); }, "100107"},
        {[&] { tool.IOWrite(3, 2); }, "11020302"},
        {[&] { tool.I2CRead(quint16(0x1234), 2, data); }, "1202123402"},
        {[&] { tool.I2CRead(quint8(0x0F), 1, data); }, "12010f01"},
        {[&] { tool.I2CRead(2, address, 3, data); }, "1202123403"},
        {[&] { tool.StopBitControl(sbOff); }, "1301"},
        {[&] { tool.StopBitControl(sbRestore); }, "130101"},
        {[&] { tool.DetectRFModule(flag); }, "1600"},
        {[&] { tool.EventMode(true); }, "1a0101"},
        {[&] { tool.EventMode(true, 0x0102); }, "1a03010102"},
        {[&] { tool.InStreamingWrite(2, 1, 0, 0x42, block); }, "1b05010042aabb"},
        {[&] { tool.TesterStamp(2026, 12, 10, 5, 6, 7); }, "2e0707ea0c0a050607"},
        {[&] { tool.InitTester(0x01020304, 5, 6, 0x0708); }, "2f080102030405060708"},
        {[&] { tool.DeInitTester(); }, "2f"},
        {[&] { tool.PassReply(true); }, "300101"},
        {[&] { tool.GetChecksums(w1, w2); }, "40"},
        {[&] { tool.LoadBuffer(0x1234, 2, block); }, "41041234aabb"},
        {[&] { tool.SwimProgram(0x4000); }, "420240"},
        {[&] { tool.SwimEnterTM(); }, "43"},
        {[&] { tool.WOTF(2, 0x123456, block); }, "4400021234 56aabb"},
        {[&] { tool.ROTF(2, 0x123456, data); }, "450002123456"},
        {[&] { tool.SwimEntry(); }, "50"},
        {[&] { tool.SwimExit(w1, w2); }, "51"},
        {[&] { tool.ConnectDevice(byteOut); }, "53"},
        {[&] { tool.Swim_GetCRC(w1); }, "54"},
        {[&] { tool.SelectDUT(3); }, "810103"},
        {[&] { tool.SetRelaySelection(1, 2); }, "82020102"},
        {[&] { tool.SetSelectedRelays(1, 2, 3); }, "8303010203"},
        {[&] { tool.GetSelectedRelays(4, b1, b2); }, "840104"},
        {[&] { tool.SetLED(lcAmber); }, "c10103"},
        {[&] { tool.LK600HwCheck(); }, "c2"},
        {[&] { tool.AddOnCheck(byteOut); }, "c3"},
        {[&] { tool.SetDataTime(2026, 12, 10, 5, 6, 7); }, "cf0d07ea0c0a0506070108010a0004"},
        {[&] { tool.SetHaltCharge(true); }, "d10101"},
        {[&] { tool.SoftReset(); }, "fe"},
        {[&] { tool.EnterDFU(); }, "ff"},
    };
    for (const auto& [call, expected] : cases) {
        const size_t before = dongle->Requests().size();
        call();
        const auto requests = dongle->Requests();
        ASSERT_EQ(requests.size(), before + 1) << expected.toStdString();
        // The expected bytes from byte 2 on, then zeros to the end of the report.
        const QByteArray want = QByteArray::fromHex(QString(expected).remove(' ').toLatin1());
        const QByteArray got = requests.back().mid(2, 78);
        EXPECT_EQ(got.left(want.size()).toHex(), want.toHex());
        EXPECT_EQ(got.mid(want.size()), QByteArray(got.size() - want.size(), '\0'))
            << expected.toStdString();
    }
    EXPECT_EQ(dongle->Requests().back().size(), 65); // written as whole output reports
}

TEST_F(CommandTest, RepliesFillTheOutputArguments) {
    double selected = 9;
    EXPECT_EQ(tool.SetDUTVoltage(3.3, selected), 0);
    EXPECT_DOUBLE_EQ(selected, 3.30);
    EXPECT_EQ(tool.SetDUTVoltage(2.5, selected), 0);
    EXPECT_DOUBLE_EQ(selected, 2.50); // 107 * 3 / 128 = 2.5078, cut to two decimals
    ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand[0x07] = 0x0701; });
    EXPECT_EQ(tool.SetDUTVoltage(3.3, selected), 0x0701);
    EXPECT_EQ(selected, 0.0);

    bool start = true;
    ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand[0x02] = 0x0203; });
    EXPECT_EQ(tool.GetStart(start), 0x0203);
    EXPECT_FALSE(start); // set on failure too

    quint8 state = 9;
    EXPECT_EQ(tool.IORead(7, state), 0);
    EXPECT_EQ(state, 2); // the simulated lines idle high
    state = 9;
    EXPECT_EQ(tool.IORead(200, state), 0x1001);
    EXPECT_EQ(state, 9);

    quint8 msb = 7, lsb = 7, addOn = 7, device = 7;
    EXPECT_EQ(tool.GetSelectedRelays(0, msb, lsb), 0x84FF);
    EXPECT_EQ(msb, 0);
    EXPECT_EQ(lsb, 0);
    EXPECT_EQ(tool.AddOnCheck(addOn), 0xC3FF);
    EXPECT_EQ(addOn, 0);
    EXPECT_EQ(tool.ConnectDevice(device), 0x53FF);
    EXPECT_EQ(device, 0);
}

TEST_F(CommandTest, DetectRFModuleReadsTheAnswerOrTheRFTimeout) {
    bool detected = true;
    EXPECT_EQ(tool.DetectRFModule(detected), 0x16FF); // an ordinary dongle does not know it
    EXPECT_FALSE(detected);
    ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand[0x16] = 0x16FD; });
    EXPECT_EQ(tool.DetectRFModule(detected), 0x16FD);
    EXPECT_TRUE(detected);

    TVirtualDongleConfig rf;
    rf.RFModule = true;
    rf.Serial = "RF";
    Plug(rf);
    tool.SetCurrentSerial("RF");
    detected = false;
    EXPECT_EQ(tool.DetectRFModule(detected), 0);
    EXPECT_TRUE(detected);
}

TEST_F(CommandTest, TransfersReachTheIC) {
    PowerUpI2C();
    for (int i = 0; i < 70; ++i)
        data[size_t(i)] = quint8(i == 0 ? 0x40 : i); // register 0x40, then 69 values
    EXPECT_EQ(tool.CommsWrite(quint8(70), data), 0);
    EXPECT_EQ(
        Sent(),
        (QStringList{
            "1301",
            "0b20" + QString::fromLatin1(
                         QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), 32)
                             .toHex()),
            "0b20" + QString::fromLatin1(QByteArray::fromRawData(
                                             reinterpret_cast<const char*>(data.data()) + 32, 32)
                                             .toHex()),
            "130101",
            "0b06" + QString::fromLatin1(
                         QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()) + 64, 6)
                             .toHex())}));
    EXPECT_FALSE(dongle->State().StopSuppressed);
    EXPECT_EQ(data[0], 0x40); // the read-back replaced the data
    EXPECT_EQ(data[69], 69);

    // Each chunk is a transfer of its own: the second wrote 33..63 from register 32 on.
    TKvrByteArray read{};
    EXPECT_EQ(tool.I2CRead(quint8(33), 3, read), 0);
    EXPECT_EQ(read[0], 34);
    EXPECT_EQ(read[2], 36);
    EXPECT_EQ(tool.CommsRead(2, read), 0); // goes on from where the pointer stands
    EXPECT_EQ(read[0], 37);
    EXPECT_EQ(read[1], 38);
}

TEST_F(CommandTest, CommsWriteStopsAtTheFirstFailureAndChecksItsSize) {
    PowerUpI2C();
    // The second chunk fails: no restore, the error comes back, the data stays.
    data[0] = 0x40;
    int chunks = 0;
    TSubscription failSecond = tool.OnSendCommands.Subscribe([&](const TKvrByteArray& request) {
        if (request[2] == 0x0B && ++chunks == 1) // answered already: the next chunk fails
            ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand[0x0B] = 0x0B03; });
    });
    EXPECT_EQ(tool.CommsWrite(quint8(70), data), 0x0B03);
    failSecond.Reset();
    EXPECT_EQ(Sent().size(), 3); // sbOff, two chunks
    EXPECT_TRUE(dongle->State().StopSuppressed);
    EXPECT_EQ(data[0], 0x40);

    dongle->SetFaults({});
    dongle->ClearRequests();
    EXPECT_EQ(tool.CommsWrite(quint8(0), data), 0);
    EXPECT_EQ(Sent(), QStringList{"0b00"});
    EXPECT_EQ(tool.CommsWrite(quint16(32769), data), ResultInvalidParameter);
    EXPECT_EQ(Sent().size(), 1);

    // Exactly 32 bytes are one chunk: the stop condition is never touched.
    dongle->ClearRequests();
    data.fill(0x21);
    EXPECT_EQ(tool.CommsWrite(quint8(32), data), 0);
    EXPECT_EQ(Sent(), QStringList{"0b20" + QString("21").repeated(32)});
}

TEST_F(CommandTest, WriteLongBufferSendsChunksThenCommits) {
    PowerUpI2C();
    for (int i = 0; i < 64; ++i)
        data[size_t(i)] = quint8(i);
    EXPECT_EQ(tool.WriteLongBuffer(1, 0x0050, 64, data), 0);
    const QStringList sent = Sent();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_TRUE(sent[0].startsWith("1c00000102"));
    EXPECT_TRUE(sent[1].startsWith("1c01202122"));
    EXPECT_EQ(sent[2], "1d050100500040");
    EXPECT_EQ(tool.WriteLongBuffer(1, 0x0050, 0, data), ResultInvalidParameter);
    EXPECT_EQ(Sent().size(), 3);
}

TEST_F(CommandTest, ShowSelectedDeviceBlinksTheLed) {
    tool.ShowSelectedDevice();
    EXPECT_EQ(Sent(), (QStringList{"c10101", "c10102", "c10101", "c10102", "c10101", "c10102"}));
}

} // namespace
