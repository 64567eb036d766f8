#pragma once

#include "KelvraDevList.h"
#include "KelvraHIDTypes.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>

// Every request, reply and data block of the transport.
using TKvrByteArray = std::array<quint8, 32768>;

// Result words produced by the transport itself.
enum : quint16 {
    ResultOK = 0,
    ResultQueueNotFlushed = 1,
    ResultNoHardware = 2,
    ResultTimeout = 3,
    ResultAlreadyStreaming = 8,
    ResultInvalidParameter = 0x00FE,
};

// The command component: request/reply transactions with the selected dongle of the bound
// dongle list, and the dongle's commands built on them.
class TKelvraHidTool : public QObject {
    Q_OBJECT
public:
    // (Command): every request as it is sent
    using TSendCommandsEvent = TEvent<const TKvrByteArray&>;

    static inline const QString Version = QStringLiteral("2.1.2.265");
    // Bytes of a request and of a reply zeroed by every command before filling them.
    static constexpr int ClearedBytes = 80;
    // A transaction reads at most this many non-streaming reports looking for its answer.
    static constexpr int MaxRepliesSearched = 20;

    explicit TKelvraHidTool(QObject* Parent = nullptr);
    ~TKelvraHidTool() override;

    // Binding to the dongle list.
    TKelvraDevList* KelvraDevList() const { return FDevList; }
    void SetKelvraDevList(TKelvraDevList* List);

    // One transaction: 0, a transport failure (1, 2, 3) or the dongle's error code.
    quint16 SendReceive(const TKvrByteArray& Send, TKvrByteArray& Receive);

    // Target selection.
    bool SetCurrentDevice(int DeviceIndex);
    bool ReselectDevice();
    bool SetCurrentSerial(const QString& SerialNumber);
    int CurrentDeviceIndex() const { return FCurrentDeviceIndex; }
    bool DeviceSelected() const { return FDeviceSelected; }
    THidDevice* CurrentDevice() const;
    QString SelectedSerialNumber() const { return SerialNumber(); }
    void SetSelectedSerialNumber(const QString& Serial) { FSelectedSerial = Serial; }

    // Read from the bound list.
    bool Connected() const { return FDevList && FDevList->Connected(); }
    bool IsStreaming() const { return FDevList && FDevList->IsStreaming(); }
    bool RawStream() const { return FDevList && FDevList->RawStream; }
    void SetRawStream(bool Raw);
    quint16 VendorID() const;
    quint16 ProductID() const;
    QString SerialNumber() const;

    quint8 MessageID() const { return FMessageID; }
    int LastDevID() const { return FLastDevID; }

    // Dongle commands: one transaction each.
    quint16 SetICType(TICType ICType);
    quint16 SetICType(quint16 ICType);
    quint16 LogicType(TLogicType NewType);
    quint16 PowerOnDUT();
    quint16 PowerOnPSU();
    quint16 GetStart(bool& Start);
    quint16 PowerOffDUT();
    quint16 PowerOffPSU();
    quint16 SendBins(quint8& Bin1, quint8& Bin2, quint8& Bin3, quint8& Bin4);
    quint16 EnterTM(quint8 StartupPulseTimeMSB, quint8 StartupPulseTimeLSB, quint8 PulseWidthMSB,
                    quint8 PulseWidthLSB, quint8 StartState, quint8 PulseCount, quint8 MCLR_LowTime,
                    quint8 RDY_WaitTime);
    quint16 EnterTM(quint8 Address, quint8 Data);
    quint16 SetupComms(TCommsType CommsType, TCommsSpeed CommsSpeed);
    quint16 Comms_I2C_Custom_Speed(quint16 Speed);
    quint16 SetLSVoltage(TVoltageFollow VoltageFollow);
    quint16 SetDUTVoltage(TDUTVoltage DUTVoltage);
    quint16 SetDUTVoltage(double DUTVoltage);
    quint16 SetPSUVoltage(double DUTVoltage);
    quint16 SetDUTVoltage(double DUTVoltage, double& SelectedVoltage);
    quint16 SetCTID(quint8 CTID);
    // The dongle's firmware version, high byte first in the reply, and its build number.
    quint16 GetCTFWVersion(quint32& CTFWVersion);
    quint16 GetCTFWVersion(quint32& CTFWVersion, quint8& Build);
    quint16 GetTesterFWVersion(quint32& CTFWVersion, quint8& Build, quint8& AlphaBeta,
                               quint16& ProductNumber, quint16& TesterNumber);
    quint16 IsTesterInit(bool& Init);
    quint16 CommsRead(quint8 Size, TKvrByteArray& ReturnData);
    quint16 FuseBurnConnect(quint8 Byte1, quint8 Byte2, quint8 Byte3, quint8 Byte4);
    quint16 ConfigI2C(TI2CType I2CType, TPullUpResistors PullUpResistors, quint8 I2CDeviceAddress,
                      TReadyPin ReadyPin, TI2CStopCommand I2CStopCommand, TI2CPolling I2CPolling);
    quint16 IORead(quint8 IONumber, quint8& IOState);
    quint16 IOWrite(quint8 IONumber, quint8 IOState);
    quint16 I2CRead(quint16 Address, quint8 SizeToRead, TKvrByteArray& ReturnData);
    quint16 I2CRead(quint8 Address, quint8 SizeToRead, TKvrByteArray& ReturnData);
    quint16 I2CRead(quint8 AddressSize, const TKvrByteArray& Address, quint8 SizeToRead,
                    TKvrByteArray& ReturnData);
    quint16 StopBitControl(TStopBitControl Control);
    quint16 DetectRFModule(bool& Detected);
    quint16 EventMode(bool Enabled);
    quint16 EventMode(bool Enabled, quint16 WaitTime);
    quint16 InStreamingWrite(quint8 DataLeng, quint8 ChanNum, quint8 ChanIndex, quint8 Address,
                             const TKvrByteArray& Data);
    quint16 TesterStamp(quint16 Year, quint8 Month, quint8 Day, quint8 Hour, quint8 Minute,
                        quint8 Second);
    quint16 InitTester(quint32 Version, quint8 Build, quint8 AlphaBeta, quint16 ProductNumber);
    quint16 DeInitTester();
    quint16 PassReply(bool Retest);
    quint16 GetChecksums(quint16& ProgramChecksum, quint16& EepromChecksum);
    quint16 LoadBuffer(quint16 Address, quint8 DataLength, const TKvrByteArray& Data);
    quint16 SwimProgram(quint16 Address);
    quint16 SwimEnterTM();
    quint16 WOTF(quint8 DataLength, quint32 Address, const TKvrByteArray& Data);
    quint16 ROTF(quint8 DataLength, quint32 Address, TKvrByteArray& Data);
    quint16 SwimEntry();
    quint16 SwimExit(quint16& ProgramChecksum, quint16& EepromChecksum);
    quint16 ConnectDevice(quint8& Device);
    quint16 Swim_GetCRC(quint16& CRC);
    quint16 SelectDUT(quint8 DUTNumber);
    quint16 SetRelaySelection(quint8 RelayMSB, quint8 RelayLSB);
    quint16 SetSelectedRelays(quint8 RelayBank, quint8 RelayMSB, quint8 RelayLSB);
    quint16 GetSelectedRelays(quint8 RelayBank, quint8& RelayMSB, quint8& RelayLSB);
    quint16 SetLED(TLedColor LedColor);
    quint16 LK600HwCheck();
    quint16 AddOnCheck(quint8& AddOnBoard);
    quint16 SetDataTime(quint16 Year, quint8 Month, quint8 Day, quint8 Hour, quint8 Min,
                        quint8 Sec);
    quint16 SetHaltCharge(bool Enabled);
    quint16 SoftReset();
    quint16 EnterDFU();

    // Commands of several transactions.
    quint16 CommsWrite(quint8 Size, TKvrByteArray& Data);
    quint16 CommsWrite(quint16 Size, TKvrByteArray& Data);
    quint16 WriteLongBuffer(quint8 AddrSize, quint16 Address, quint16 WriteSize,
                            const TKvrByteArray& BytesToWrite);
    void ShowSelectedDevice();

    // Streaming.
    quint16 StartStreaming(quint8 NoBytesToStream, const TKvrByteArray& BytesToStream);
    quint16 SetLongStreamingLength(quint16 Size);
    quint16 StartLongStreaming(const TKvrByteArray& BytesToStream);
    quint16 StopStreaming();
    bool AssignDevListEvent();
    TKelvraDevList::TStreamingEvent OnStreaming;
    TKelvraDevList::TStreamingErrorEvent OnStreamingError;
    TKelvraDevList::TStreamingDataMissedEvent OnStreamingDataMissed;

    bool EventModeEnabled() const { return FEventMode; }

    bool MatchMsgIDs = true;
    // A transaction that has no answer after this long gives up with result 3.
    int TransactionTimeoutMs = 1000;
    TSendCommandsEvent OnSendCommands;

private:
    // A request with the command code, byte 3 and the payload from byte 4 set and every
    // other byte zero.
    static TKvrByteArray Request(quint8 Code, quint8 Byte3,
                                 std::initializer_list<quint8> Payload = {});
    // One transaction of such a request; Reply receives the answer.
    quint16 Command(quint8 Code, quint8 Byte3, std::initializer_list<quint8> Payload,
                    TKvrByteArray& Reply);
    quint16 Command(quint8 Code, quint8 Byte3, std::initializer_list<quint8> Payload = {});
    quint16 I2CReadRequest(TKvrByteArray& Request, TKvrByteArray& ReturnData, quint8 SizeToRead);
    quint16 SetVoltage(double Volts, quint8 LowNibble);
    quint16 ChecksumCommand(quint8 Code, quint16& ProgramChecksum, quint16& EepromChecksum);
    // Sends a block in chunks of 32 with the given code; ChunkByte3 gives byte 3 of each.
    quint16 SendChunks(quint8 Code, const quint8* Data, int Length,
                       const std::function<quint8(int Chunk, int Remaining)>& ChunkByte3);
    void InstallForwarders();
    void RemoveForwarders();
    bool CurrentDongleStreams() const;
    bool HasDongles() const { return FDevList && FDevList->HidDevices().Count > 0; }

    QPointer<TKelvraDevList> FDevList;        // the list may go first: its owner decides the order
    std::array<TSubscription, 3> FForwarders; // the list's streaming events, passed on
    quint8 FMessageID = 1;
    int FCurrentDeviceIndex = 0;
    QPointer<THidDevice> FSelectedObject; // reads as null once the device is released
    bool FDeviceSelected = false;
    QString FSelectedSerial;
    int FLastDevID = 0;
    bool FEventMode = false;
};
