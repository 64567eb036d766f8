#include "KelvraHIDTool.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int ChunkSize = 32;
constexpr int MaxBlockSize = 32768;
constexpr int LedBlinkMs = 100;
// At a stream's stop, how long the reader may take to read what its handle still holds.
constexpr int StopDrainMs = 300;

bool IsStreamingPacket(const TKvrByteArray& Report) {
    return (Report[1] & ReportKind::Mask) == ReportKind::Streaming;
}

quint32 BigEndian32(const quint8* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

quint16 BigEndian16(const quint8* p) {
    return quint16(p[0] << 8 | p[1]);
}

quint8 Hi(quint16 v) {
    return quint8(v >> 8);
}

quint8 Lo(quint16 v) {
    return quint8(v);
}

// Rounds to the nearest integer, a half to the even neighbour.
long RoundHalfEven(double Value) {
    return std::lrint(Value); // the default rounding mode is to nearest, ties to even
}

} // namespace

TKelvraHidTool::TKelvraHidTool(QObject* Parent) : QObject(Parent) {}

TKelvraHidTool::~TKelvraHidTool() = default;

void TKelvraHidTool::SetKelvraDevList(TKelvraDevList* List) {
    if (List == FDevList) return;
    RemoveForwarders();
    FDevList = List;
    InstallForwarders();
}

bool TKelvraHidTool::AssignDevListEvent() {
    if (!FDevList) return false;
    RemoveForwarders();
    InstallForwarders();
    return true;
}

void TKelvraHidTool::InstallForwarders() {
    if (!FDevList) return;
    FForwarders[0] =
        FDevList->OnStreaming.Subscribe([this](quint16 Size, quint8 ToolID, const quint8* Data) {
            OnStreaming(Size, ToolID, Data);
        });
    FForwarders[1] =
        FDevList->OnStreamingError.Subscribe([this](quint16 Code) { OnStreamingError(Code); });
    FForwarders[2] = FDevList->OnStreamingDataMissed.Subscribe(
        [this](quint8 ToolID) { OnStreamingDataMissed(ToolID); });
}

void TKelvraHidTool::RemoveForwarders() {
    for (TSubscription& forwarder : FForwarders)
        forwarder.Reset();
}

TKvrByteArray TKelvraHidTool::Request(quint8 Code, quint8 Byte3,
                                      std::initializer_list<quint8> Payload) {
    TKvrByteArray request{}; // nothing unset goes out, however long the device's reports are
    request[2] = Code;
    request[3] = Byte3;
    std::copy(Payload.begin(), Payload.end(), request.begin() + 4);
    return request;
}

quint16 TKelvraHidTool::Command(quint8 Code, quint8 Byte3, std::initializer_list<quint8> Payload,
                                TKvrByteArray& Reply) {
    return SendReceive(Request(Code, Byte3, Payload), Reply);
}

quint16 TKelvraHidTool::Command(quint8 Code, quint8 Byte3, std::initializer_list<quint8> Payload) {
    TKvrByteArray reply;
    return Command(Code, Byte3, Payload, reply);
}

quint16 TKelvraHidTool::SendReceive(const TKvrByteArray& Send, TKvrByteArray& Receive) {
    TKvrByteArray request = Send;
    FMessageID = FMessageID + 1 == 255 ? 1 : FMessageID + 1;
    request[1] = FMessageID;
    std::memset(Receive.data(), 0, ClearedBytes);

    if (!HasDongles()) return ResultNoHardware;
    const TCTData& dongles = FDevList->HidDevices();
    if (FCurrentDeviceIndex > dongles.Count - 1) FCurrentDeviceIndex = 0;
    if (!FSelectedSerial.isEmpty() && dongles.SerialNumber[FCurrentDeviceIndex] != FSelectedSerial)
        FCurrentDeviceIndex = std::max(0, int(dongles.SerialNumber.indexOf(FSelectedSerial)));

    THidDevice* device = dongles.Objects[FCurrentDeviceIndex];
    if (!device->FlushQueue()) return ResultQueueNotFlushed;
    const int outLength = std::clamp(device->OutputReportByteLength(), 0, int(request.size()));
    device->WriteReport(request.data(), outLength);
    OnSendCommands(request);

    // Read until the answer comes, the count of non-streaming reports runs out, the
    // device goes away or the time is up.
    const int inLength = std::clamp(device->InputReportByteLength(), 0, int(Receive.size()));
    QElapsedTimer clock;
    clock.start();
    auto readNext = [&] {
        std::memset(Receive.data(), 0, ClearedBytes);
        const qint64 left = TransactionTimeoutMs - clock.elapsed();
        return left > 0 && device->ReadReport(Receive.data(), inLength, int(left)) > 0;
    };
    if (!readNext()) return ResultTimeout;
    if (MatchMsgIDs) {
        int count = 1;
        while (Receive[2] != FMessageID || IsStreamingPacket(Receive)) {
            if (!readNext()) return ResultTimeout;
            if (!IsStreamingPacket(Receive) && ++count > MaxRepliesSearched) return ResultTimeout;
        }
    }
    if ((Receive[1] & ReportKind::Mask) == ReportKind::Error) return BigEndian16(&Receive[4]);
    return ResultOK;
}

bool TKelvraHidTool::SetCurrentDevice(int DeviceIndex) {
    if (!FDevList || DeviceIndex > FDevList->HidDevices().Count - 1 || DeviceIndex < 0)
        return false;
    FCurrentDeviceIndex = DeviceIndex;
    FSelectedObject = FDevList->HidDevices().Objects[DeviceIndex];
    FDeviceSelected = true;
    return true;
}

bool TKelvraHidTool::ReselectDevice() {
    FDeviceSelected = false;
    if (!FSelectedObject || !HasDongles()) return false;
    const int index = int(FDevList->HidDevices().Objects.indexOf(FSelectedObject));
    if (index < 0) return false;
    FCurrentDeviceIndex = index;
    FDeviceSelected = true;
    return true;
}

bool TKelvraHidTool::SetCurrentSerial(const QString& SerialNumber) {
    if (SerialNumber.isEmpty()) {
        FCurrentDeviceIndex = 0;
        FSelectedSerial.clear();
        return true;
    }
    if (!FDevList) return false;
    const int index = int(FDevList->HidDevices().SerialNumber.indexOf(SerialNumber));
    if (index < 0) return false;
    FCurrentDeviceIndex = index;
    FSelectedSerial = SerialNumber;
    return true;
}

THidDevice* TKelvraHidTool::CurrentDevice() const {
    if (!HasDongles() || FCurrentDeviceIndex < 0 ||
        FCurrentDeviceIndex >= FDevList->HidDevices().Count)
        return nullptr;
    return FDevList->HidDevices().Objects[FCurrentDeviceIndex];
}

void TKelvraHidTool::SetRawStream(bool Raw) {
    if (FDevList) FDevList->RawStream = Raw;
}

quint16 TKelvraHidTool::VendorID() const {
    if (!CurrentDevice()) return 0;
    return quint16(FDevList->HidDevices().VendorID[FCurrentDeviceIndex].toUInt());
}

quint16 TKelvraHidTool::ProductID() const {
    if (!CurrentDevice()) return 0;
    return quint16(FDevList->HidDevices().ProductID[FCurrentDeviceIndex].toUInt());
}

QString TKelvraHidTool::SerialNumber() const {
    if (!CurrentDevice()) return {};
    return FDevList->HidDevices().SerialNumber[FCurrentDeviceIndex];
}

// Single-transaction commands

quint16 TKelvraHidTool::SetICType(TICType ICType) {
    return Command(DongleCode::SetICType, 2, {0, WireCode(ICType)});
}

quint16 TKelvraHidTool::SetICType(quint16 ICType) {
    return Command(DongleCode::SetICType, 2, {Hi(ICType), Lo(ICType)});
}

quint16 TKelvraHidTool::LogicType(TLogicType NewType) {
    return Command(DongleCode::SetICType, 1, {NewType});
}

quint16 TKelvraHidTool::PowerOnDUT() {
    return Command(DongleCode::PowerOn, 0);
}

quint16 TKelvraHidTool::PowerOnPSU() {
    return Command(DongleCode::PowerOn, 1, {1});
}

quint16 TKelvraHidTool::GetStart(bool& Start) {
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::PowerOn, 0, {}, reply);
    Start = result == ResultOK && reply[4] == 1;
    return result;
}

quint16 TKelvraHidTool::PowerOffDUT() {
    return Command(DongleCode::PowerOff, 0);
}

quint16 TKelvraHidTool::PowerOffPSU() {
    return Command(DongleCode::PowerOff, 1, {1});
}

quint16 TKelvraHidTool::SendBins(quint8& Bin1, quint8& Bin2, quint8& Bin3, quint8& Bin4) {
    return Command(DongleCode::PowerOff, 4, {Bin1, Bin2, Bin3, Bin4});
}

quint16 TKelvraHidTool::EnterTM(quint8 StartupPulseTimeMSB, quint8 StartupPulseTimeLSB,
                                quint8 PulseWidthMSB, quint8 PulseWidthLSB, quint8 StartState,
                                quint8 PulseCount, quint8 MCLR_LowTime, quint8 RDY_WaitTime) {
    return Command(DongleCode::EnterTM, 8,
                   {StartupPulseTimeMSB, StartupPulseTimeLSB, PulseWidthMSB, PulseWidthLSB,
                    StartState, PulseCount, MCLR_LowTime, RDY_WaitTime});
}

quint16 TKelvraHidTool::EnterTM(quint8 Address, quint8 Data) {
    return Command(DongleCode::EnterTM, 2, {Address, Data});
}

quint16 TKelvraHidTool::SetupComms(TCommsType CommsType, TCommsSpeed CommsSpeed) {
    return Command(DongleCode::SetupComms, 2, {quint8(CommsType + 1), quint8(CommsSpeed + 1)});
}

quint16 TKelvraHidTool::Comms_I2C_Custom_Speed(quint16 Speed) {
    const quint32 hertz = quint32(Speed) * 1000;
    return Command(DongleCode::SetupComms, 5,
                   {quint8(ctI2C + 1), CustomI2CSpeedCode, quint8(hertz >> 16), quint8(hertz >> 8),
                    quint8(hertz)});
}

quint16 TKelvraHidTool::SetLSVoltage(TVoltageFollow VoltageFollow) {
    return Command(DongleCode::SetLSVoltage, 1, {quint8(VoltageFollow + 1)});
}

quint16 TKelvraHidTool::SetDUTVoltage(TDUTVoltage DUTVoltage) {
    return Command(DongleCode::SetDUTVoltage, 1, {quint8(DUTVoltage == dv3_3V ? 1 : 2)});
}

quint16 TKelvraHidTool::SetVoltage(double Volts, quint8 LowNibble) {
    // 12 bits of a 6.6 V full scale.
    const long n = RoundHalfEven(Volts / 6.6 * 4096);
    return Command(DongleCode::SetDUTVoltage, 2,
                   {quint8(n >> 4), quint8((n & 0x0F) << 4 | LowNibble)});
}

quint16 TKelvraHidTool::SetDUTVoltage(double DUTVoltage) {
    return SetVoltage(DUTVoltage, 0);
}

quint16 TKelvraHidTool::SetPSUVoltage(double DUTVoltage) {
    return SetVoltage(DUTVoltage, 1);
}

quint16 TKelvraHidTool::SetDUTVoltage(double DUTVoltage, double& SelectedVoltage) {
    const long n = RoundHalfEven(DUTVoltage * 128 / 3);
    SelectedVoltage = std::trunc(double(n) * 3 / 128 * 100) / 100;
    const quint16 result = Command(DongleCode::SetDUTVoltage, 1, {quint8(n)});
    if (result != ResultOK) SelectedVoltage = 0;
    return result;
}

quint16 TKelvraHidTool::SetCTID(quint8 CTID) {
    return Command(DongleCode::SetCTID, 1, {CTID});
}

quint16 TKelvraHidTool::GetCTFWVersion(quint32& CTFWVersion) {
    quint8 build = 0;
    return GetCTFWVersion(CTFWVersion, build);
}

quint16 TKelvraHidTool::GetCTFWVersion(quint32& CTFWVersion, quint8& Build) {
    quint8 alphaBeta = 0;
    quint16 productNumber = 0, testerNumber = 0;
    return GetTesterFWVersion(CTFWVersion, Build, alphaBeta, productNumber, testerNumber);
}

quint16 TKelvraHidTool::GetTesterFWVersion(quint32& CTFWVersion, quint8& Build, quint8& AlphaBeta,
                                           quint16& ProductNumber, quint16& TesterNumber) {
    CTFWVersion = 0;
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::GetCTFWVersion, 0, {}, reply);
    FLastDevID = reply[1] >> 4;
    if (result == ResultOK) {
        CTFWVersion = BigEndian32(&reply[4]);
        Build = reply[8];
        AlphaBeta = reply[9];
        ProductNumber = BigEndian16(&reply[10]);
        TesterNumber = BigEndian16(&reply[12]);
    }
    return result;
}

quint16 TKelvraHidTool::IsTesterInit(bool& Init) {
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::GetCTFWVersion, 0, {}, reply);
    if (result == ResultOK) Init = reply[14] != 0;
    return result;
}

quint16 TKelvraHidTool::CommsRead(quint8 Size, TKvrByteArray& ReturnData) {
    std::memset(ReturnData.data(), 0, ClearedBytes);
    TKvrByteArray reply{};
    const quint16 result = Command(DongleCode::CommsRead, 1, {Size}, reply);
    if (result == ResultOK) std::copy_n(reply.begin() + 4, Size, ReturnData.begin());
    return result;
}

quint16 TKelvraHidTool::FuseBurnConnect(quint8 Byte1, quint8 Byte2, quint8 Byte3, quint8 Byte4) {
    return Command(DongleCode::FuseBurnConnect, 4, {Byte1, Byte2, Byte3, Byte4});
}

quint16 TKelvraHidTool::ConfigI2C(TI2CType I2CType, TPullUpResistors PullUpResistors,
                                  quint8 I2CDeviceAddress, TReadyPin ReadyPin,
                                  TI2CStopCommand I2CStopCommand, TI2CPolling I2CPolling) {
    return Command(DongleCode::ConfigI2C, 6,
                   {quint8(I2CType + 1), quint8(PullUpResistors + 1), I2CDeviceAddress,
                    quint8(ReadyPin + 1), quint8(I2CStopCommand + 1), quint8(I2CPolling + 1)});
}

quint16 TKelvraHidTool::IORead(quint8 IONumber, quint8& IOState) {
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::IORead, 1, {IONumber}, reply);
    if (result == ResultOK && (reply[4] == 1 || reply[4] == 2)) IOState = reply[4];
    return result;
}

quint16 TKelvraHidTool::IOWrite(quint8 IONumber, quint8 IOState) {
    return Command(DongleCode::IOWrite, 2, {IONumber, IOState});
}

quint16 TKelvraHidTool::I2CReadRequest(TKvrByteArray& Request, TKvrByteArray& ReturnData,
                                       quint8 SizeToRead) {
    TKvrByteArray reply{};
    const quint16 result = SendReceive(Request, reply);
    if (result == ResultOK) {
        std::memset(ReturnData.data(), 0, ClearedBytes);
        std::copy_n(reply.begin() + 4, SizeToRead, ReturnData.begin());
    }
    return result;
}

quint16 TKelvraHidTool::I2CRead(quint16 Address, quint8 SizeToRead, TKvrByteArray& ReturnData) {
    TKvrByteArray request = Request(DongleCode::I2CRead, 2, {Hi(Address), Lo(Address), SizeToRead});
    return I2CReadRequest(request, ReturnData, SizeToRead);
}

quint16 TKelvraHidTool::I2CRead(quint8 Address, quint8 SizeToRead, TKvrByteArray& ReturnData) {
    TKvrByteArray request = Request(DongleCode::I2CRead, 1, {Address, SizeToRead});
    return I2CReadRequest(request, ReturnData, SizeToRead);
}

quint16 TKelvraHidTool::I2CRead(quint8 AddressSize, const TKvrByteArray& Address, quint8 SizeToRead,
                                TKvrByteArray& ReturnData) {
    TKvrByteArray request = Request(DongleCode::I2CRead, AddressSize);
    std::copy_n(Address.begin(), AddressSize, request.begin() + 4);
    request[4 + AddressSize] = SizeToRead;
    return I2CReadRequest(request, ReturnData, SizeToRead);
}

quint16 TKelvraHidTool::StopBitControl(TStopBitControl Control) {
    return Command(DongleCode::StopBitControl, 1, {Control});
}

quint16 TKelvraHidTool::DetectRFModule(bool& Detected) {
    Detected = true;
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::DetectRFModule, 0, {}, reply);
    // An RF module that cannot reach its partner still answers: with the RF timeout.
    Detected = result == ResultOK ? reply[4] == 1 : Lo(result) == 0xFD;
    return result;
}

quint16 TKelvraHidTool::EventMode(bool Enabled) {
    FEventMode = Enabled;
    return Command(DongleCode::EventMode, 1, {Enabled});
}

quint16 TKelvraHidTool::EventMode(bool Enabled, quint16 WaitTime) {
    FEventMode = Enabled;
    return Command(DongleCode::EventMode, 3, {Enabled, Hi(WaitTime), Lo(WaitTime)});
}

quint16 TKelvraHidTool::InStreamingWrite(quint8 DataLeng, quint8 ChanNum, quint8 ChanIndex,
                                         quint8 Address, const TKvrByteArray& Data) {
    TKvrByteArray request =
        Request(DongleCode::InStreamingWrite, quint8(DataLeng + 3), {ChanNum, ChanIndex, Address});
    std::copy_n(Data.begin(), DataLeng, request.begin() + 7);
    TKvrByteArray reply;
    return SendReceive(request, reply);
}

quint16 TKelvraHidTool::TesterStamp(quint16 Year, quint8 Month, quint8 Day, quint8 Hour,
                                    quint8 Minute, quint8 Second) {
    return Command(DongleCode::TesterStamp, 7,
                   {Hi(Year), Lo(Year), Month, Day, Hour, Minute, Second});
}

quint16 TKelvraHidTool::InitTester(quint32 Version, quint8 Build, quint8 AlphaBeta,
                                   quint16 ProductNumber) {
    return Command(DongleCode::InitTester, 8,
                   {quint8(Version >> 24), quint8(Version >> 16), quint8(Version >> 8),
                    quint8(Version), Build, AlphaBeta, Hi(ProductNumber), Lo(ProductNumber)});
}

quint16 TKelvraHidTool::DeInitTester() {
    return Command(DongleCode::InitTester, 0);
}

quint16 TKelvraHidTool::PassReply(bool Retest) {
    return Command(DongleCode::PassReply, 1, {Retest});
}

quint16 TKelvraHidTool::ChecksumCommand(quint8 Code, quint16& ProgramChecksum,
                                        quint16& EepromChecksum) {
    TKvrByteArray reply;
    const quint16 result = Command(Code, 0, {}, reply);
    if (result == ResultOK) {
        ProgramChecksum = BigEndian16(&reply[4]);
        EepromChecksum = BigEndian16(&reply[6]);
    }
    return result;
}

quint16 TKelvraHidTool::GetChecksums(quint16& ProgramChecksum, quint16& EepromChecksum) {
    return ChecksumCommand(DongleCode::GetChecksums, ProgramChecksum, EepromChecksum);
}

quint16 TKelvraHidTool::LoadBuffer(quint16 Address, quint8 DataLength, const TKvrByteArray& Data) {
    TKvrByteArray request =
        Request(DongleCode::LoadBuffer, quint8(DataLength + 2), {Hi(Address), Lo(Address)});
    std::copy_n(Data.begin(), DataLength, request.begin() + 6);
    TKvrByteArray reply;
    return SendReceive(request, reply);
}

quint16 TKelvraHidTool::SwimProgram(quint16 Address) {
    return Command(DongleCode::SwimProgram, 2, {Hi(Address), Lo(Address)});
}

quint16 TKelvraHidTool::SwimEnterTM() {
    return Command(DongleCode::SwimEnterTM, 0);
}

quint16 TKelvraHidTool::WOTF(quint8 DataLength, quint32 Address, const TKvrByteArray& Data) {
    TKvrByteArray request =
        Request(DongleCode::WOTF, 0,
                {DataLength, quint8(Address >> 16), quint8(Address >> 8), quint8(Address)});
    std::copy_n(Data.begin(), DataLength, request.begin() + 8);
    TKvrByteArray reply;
    return SendReceive(request, reply);
}

quint16 TKelvraHidTool::ROTF(quint8 DataLength, quint32 Address, TKvrByteArray& Data) {
    TKvrByteArray reply{};
    const quint16 result =
        Command(DongleCode::ROTF, 0,
                {DataLength, quint8(Address >> 16), quint8(Address >> 8), quint8(Address)}, reply);
    if (result == ResultOK) std::copy_n(reply.begin() + 4, DataLength, Data.begin());
    return result;
}

quint16 TKelvraHidTool::SwimEntry() {
    return Command(DongleCode::SwimEntry, 0);
}

quint16 TKelvraHidTool::SwimExit(quint16& ProgramChecksum, quint16& EepromChecksum) {
    return ChecksumCommand(DongleCode::SwimExit, ProgramChecksum, EepromChecksum);
}

quint16 TKelvraHidTool::ConnectDevice(quint8& Device) {
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::ConnectDevice, 0, {}, reply);
    Device = result == ResultOK ? reply[4] : 0;
    return result;
}

quint16 TKelvraHidTool::Swim_GetCRC(quint16& CRC) {
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::SwimGetCRC, 0, {}, reply);
    if (result == ResultOK) CRC = BigEndian16(&reply[4]);
    return result;
}

quint16 TKelvraHidTool::SelectDUT(quint8 DUTNumber) {
    return Command(DongleCode::SelectDUT, 1, {DUTNumber});
}

quint16 TKelvraHidTool::SetRelaySelection(quint8 RelayMSB, quint8 RelayLSB) {
    return Command(DongleCode::SetRelaySelection, 2, {RelayMSB, RelayLSB});
}

quint16 TKelvraHidTool::SetSelectedRelays(quint8 RelayBank, quint8 RelayMSB, quint8 RelayLSB) {
    return Command(DongleCode::SetSelectedRelays, 3, {RelayBank, RelayMSB, RelayLSB});
}

quint16 TKelvraHidTool::GetSelectedRelays(quint8 RelayBank, quint8& RelayMSB, quint8& RelayLSB) {
    RelayMSB = RelayLSB = 0;
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::GetSelectedRelays, 1, {RelayBank}, reply);
    if (result == ResultOK) {
        RelayMSB = reply[4];
        RelayLSB = reply[5];
    }
    return result;
}

quint16 TKelvraHidTool::SetLED(TLedColor LedColor) {
    return Command(DongleCode::SetLED, 1, {LedColor});
}

quint16 TKelvraHidTool::LK600HwCheck() {
    return Command(DongleCode::HwCheck, 0);
}

quint16 TKelvraHidTool::AddOnCheck(quint8& AddOnBoard) {
    AddOnBoard = 0;
    TKvrByteArray reply;
    const quint16 result = Command(DongleCode::AddOnCheck, 0, {}, reply);
    if (result == ResultOK) AddOnBoard = reply[4];
    return result;
}

quint16 TKelvraHidTool::SetDataTime(quint16 Year, quint8 Month, quint8 Day, quint8 Hour, quint8 Min,
                                    quint8 Sec) {
    return Command(DongleCode::SetDataTime, 13,
                   {Hi(Year), Lo(Year), Month, Day, Hour, Min, Sec, 1, 8, 1, 10, 0, 4});
}

quint16 TKelvraHidTool::SetHaltCharge(bool Enabled) {
    return Command(DongleCode::SetHaltCharge, 1, {Enabled});
}

quint16 TKelvraHidTool::SoftReset() {
    return Command(DongleCode::SoftReset, 0);
}

quint16 TKelvraHidTool::EnterDFU() {
    return Command(DongleCode::EnterDFU, 0);
}

// Commands of several transactions

quint16 TKelvraHidTool::CommsWrite(quint8 Size, TKvrByteArray& Data) {
    return CommsWrite(quint16(Size), Data);
}

quint16 TKelvraHidTool::CommsWrite(quint16 Size, TKvrByteArray& Data) {
    if (Size > MaxBlockSize) return ResultInvalidParameter;
    // The I2C stop condition is held back until the last chunk of a long write.
    std::vector<quint8> readBack(Size, 0);
    int remaining = Size;
    int offset = 0;
    bool stopSuppressed = false;
    for (bool last = false; !last;) {
        int count;
        if (remaining > ChunkSize) {
            if (!stopSuppressed) {
                StopBitControl(sbOff);
                stopSuppressed = true;
            }
            count = ChunkSize;
        } else {
            if (stopSuppressed) {
                StopBitControl(sbRestore);
                stopSuppressed = false;
            }
            count = remaining;
        }
        TKvrByteArray request = Request(DongleCode::CommsWrite, quint8(count));
        std::copy_n(Data.begin() + offset, count, request.begin() + 4);
        if (remaining > ChunkSize)
            remaining -= ChunkSize;
        else
            last = true;
        TKvrByteArray reply{};
        const quint16 result = SendReceive(request, reply);
        if (result != ResultOK) return result;
        std::copy_n(reply.begin() + 4, count, readBack.begin() + offset);
        offset += count;
    }
    std::copy(readBack.begin(), readBack.end(), Data.begin());
    return ResultOK;
}

quint16 TKelvraHidTool::SendChunks(quint8 Code, const quint8* Data, int Length,
                                   const std::function<quint8(int, int)>& ChunkByte3) {
    int chunk = 0;
    int offset = 0;
    do {
        const int remaining = Length - offset;
        const int count = std::min(remaining, ChunkSize);
        TKvrByteArray request = Request(Code, ChunkByte3(chunk, remaining));
        std::copy_n(Data + offset, count, request.begin() + 4);
        TKvrByteArray reply;
        const quint16 result = SendReceive(request, reply);
        if (result != ResultOK) return result;
        offset += count;
        ++chunk;
    } while (offset < Length);
    return ResultOK;
}

quint16 TKelvraHidTool::WriteLongBuffer(quint8 AddrSize, quint16 Address, quint16 WriteSize,
                                        const TKvrByteArray& BytesToWrite) {
    if (WriteSize < 1 || WriteSize > MaxBlockSize) return ResultInvalidParameter;
    const quint16 result = SendChunks(DongleCode::LongBufferChunk, BytesToWrite.data(), WriteSize,
                                      [](int Chunk, int) { return quint8(Chunk); });
    if (result != ResultOK) return result;
    return Command(DongleCode::LongBufferCommit, 5,
                   {AddrSize, Hi(Address), Lo(Address), Hi(WriteSize), Lo(WriteSize)});
}

void TKelvraHidTool::ShowSelectedDevice() {
    const TLedColor blinks[] = {lcRed, lcGreen, lcRed, lcGreen, lcRed, lcGreen};
    for (size_t i = 0; i < std::size(blinks); ++i) {
        if (i > 0) QThread::msleep(LedBlinkMs);
        SetLED(blinks[i]);
    }
}

// Streaming

bool TKelvraHidTool::CurrentDongleStreams() const {
    return FDevList && FDevList->Streams().Streams(CurrentDevice());
}

quint16 TKelvraHidTool::StartStreaming(quint8 NoBytesToStream, const TKvrByteArray& BytesToStream) {
    if (CurrentDongleStreams()) return ResultAlreadyStreaming;
    quint32 version = 0;
    GetCTFWVersion(version);
    // Byte 3 counts the set-up bytes not yet sent; above 32 more chunks follow.
    const quint16 result =
        SendChunks(DongleCode::StartStreaming, BytesToStream.data(), NoBytesToStream,
                   [](int, int Remaining) { return quint8(Remaining); });
    if (result != ResultOK) return result;
    FDevList->Streams().Register(CurrentDevice(), quint8(FLastDevID));
    return ResultOK;
}

quint16 TKelvraHidTool::SetLongStreamingLength(quint16 Size) {
    const quint16 result = Command(DongleCode::SetLongStreamingLength, 2, {Hi(Size), Lo(Size)});
    if (result == ResultOK && FDevList) FDevList->Assembler().SetLongStreamingLength(Size);
    return result;
}

quint16 TKelvraHidTool::StartLongStreaming(const TKvrByteArray& BytesToStream) {
    if (CurrentDongleStreams()) return ResultAlreadyStreaming;
    const int length = FDevList ? FDevList->Assembler().LongStreamingLength() : 0;
    if (length > MaxBlockSize)
        return ResultInvalidParameter; // the set-up cannot be longer than its block
    quint32 version = 0;
    GetCTFWVersion(version);
    const quint16 result = SendChunks(DongleCode::StartLongStreaming, BytesToStream.data(), length,
                                      [](int Chunk, int) { return quint8(Chunk); });
    if (result != ResultOK) return result;
    FDevList->Assembler().StartLongStreaming();
    FDevList->Streams().Register(CurrentDevice(), quint8(FLastDevID));
    return ResultOK;
}

quint16 TKelvraHidTool::StopStreaming() {
    const QPointer<THidDevice> device = FDevList ? CurrentDevice() : nullptr;
    quint32 version = 0;
    GetCTFWVersion(version);
    const quint16 result = Command(DongleCode::StopStreaming, 0);
    if (device) {
        // What the dongle sent before it stopped is still with the reader: it is handled while
        // the slot is the stream's. The slot is freed also when the stop failed.
        device->DeliverAllRead(StopDrainMs);
        if (device) FDevList->Streams().ReleaseSlots(device); // a handler may have closed it
    }
    if (result != ResultOK) return result;
    FDevList->Assembler().StopLongStreaming();
    FDevList->Streams().Unregister(quint8(FLastDevID));
    return ResultOK;
}
