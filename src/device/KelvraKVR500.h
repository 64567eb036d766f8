#pragma once

#include "KelvraHIDTool.h"

#include <QObject>

// The sensor-IC component between the application and the dongle tool: it holds the IC's
// connection settings and turns every operation on the IC into a fixed sequence of dongle
// commands that stops at the first failure and returns its code. FRes keeps the code of the
// last failed step of the operations that record one.
//
// Operations are deliberately not virtual: a derived device declares its own operation of
// the same name, and a caller holding the derived type gets the derived sequence.
class TKVR500Class : public QObject {
    Q_OBJECT
public:
    explicit TKVR500Class(QObject* Owner = nullptr);

    TKelvraHidTool* HIDTool() const { return FKVR500HidTool; }
    void SetHIDTool(TKelvraHidTool* Value);

    TKelvraDevList::TStreamingEvent OnStreaming;
    TKelvraDevList::TStreamingErrorEvent OnStreamingError;
    TKelvraDevList::TStreamingDataMissedEvent OnStreamingDataMissed;

    quint16 EnterTestMode();
    quint16 EnterTestMode(quint8 WaitTime);
    quint16 FirstCommsWrite(quint8 Address, quint8 DataByte);
    quint16 ExitTestMode();
    quint16 PowerOn();
    quint16 PowerOff();
    quint16 ReadReg(quint8 Address, quint8& Data);
    quint16 WriteReg(quint8 Address, quint8 Data);
    quint16 IndirectRead(quint8 Address, quint8& Data);
    quint16 IndirectWrite(quint8 Address, quint8 Data);
    quint16 GetVersion(quint16& ICVersion);
    quint16 ReadFuses(quint8& FuseBank0, quint8& FuseBank1, quint8& FuseBank2, quint8& FuseBank3,
                      quint8& FuseBank4, quint8& FuseBank5);
    quint16 VerifyFuses(quint8& FuseBank0, quint8& FuseBank1, quint8& FuseBank2, quint8& FuseBank3,
                        quint8& FuseBank4, quint8& FuseBank5);
    quint16 WriteFuses(quint8 FuseBank0, quint8 FuseBank1, quint8 FuseBank2, quint8 FuseBank3,
                       quint8 FuseBank4, quint8 FuseBank5, quint8 BurnByte1, quint8 BurnByte3,
                       quint8 BurnByte4, quint8 BurnByte2);
    quint16 LTAWrite(quint8 ChanNum, quint16 LTAValue, quint8 ChanNumIndex);
    quint16 ATIChannel(quint8 ChanNum, quint8 ChanNumIndex);
    quint16 SetupCT(double& SelectedAdjustableVoltage);
    quint16 SetupCT();
    quint16 StartStreaming(quint8 NoBytesToStream, const TKvrByteArray& BytesToStream);
    quint16 StopStreaming();
    quint16 UseStopCommand();

    quint16 Res() const { return FRes; }

    // The IC answers 0xA5 from register 0x0F while it is in test mode.
    static constexpr quint8 TestModeRegister = 0x0F;
    static constexpr quint8 TestModeMarker = 0xA5;
    // Result of a test-mode entry that the IC did not confirm.
    static constexpr quint16 ResultNoTestMode = 4;

protected:
    // The tool every command passes through; an unbound component talks to a tool bound to
    // no dongle list, so its commands fail with "USB Hardware not found".
    TKelvraHidTool& Tool() { return FKVR500HidTool ? *FKVR500HidTool : FUnboundTool; }
    // Test-mode entry of an it649 with the given start-up pulse.
    quint16 EnterTestModeIt649(quint8 StartupPulse);
    // Reads register 0x0F after an entry: 0, 4 when it is not the marker, or the read's code.
    quint16 CheckTestModeMarker();
    quint16 SetupCTSequence(double* SelectedAdjustableVoltage);

    TDUTVoltage FDUTVoltage = dv3_3V;
    double FAdjustableVoltage = 5.0;
    TVoltageFollow FLSVoltage = vfVDDHI;
    TCommsSpeed FCommsSpeed = csFast;
    TCommsType FCommsType = ctI2C;
    TICType FICType = it649;
    bool FUseAdjust = false;
    TI2CType FI2CType = noRDY;
    TPullUpResistors FPullUpResistors = prConnected;
    TReadyPin FReadyPin = rpPin10;
    TI2CStopCommand FStopCommand = scUseStop;
    TI2CPolling FPolling = ipPollingByAddress;
    quint8 FI2CAddress = 0x20;
    quint16 FRes = 0;

private:
    // The first byte of a one-byte read that succeeded; a failure goes to FRes.
    quint16 TakeByte(quint16 Result, const TKvrByteArray& Read, quint8& Data);
    quint16 ConfigI2CWith(TI2CType Type, TI2CStopCommand Stop);
    quint16 WriteBytes(std::initializer_list<quint8> Bytes);
    quint16 ReadFuseBanks(quint8 CommandBase, std::array<quint8*, 6> Banks);

    TKelvraHidTool* FKVR500HidTool = nullptr;
    TKelvraHidTool FUnboundTool;
    std::array<TSubscription, 3> FForwarders; // the tool's streaming events, passed on
};
