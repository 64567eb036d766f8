#pragma once

#include <QtGlobal>

// Settings of the dongle and of its link to the sensor IC. Most go on the wire as their
// ordinal plus one; TICType has a table of its own.
enum TICType : quint8 { it350, it630, it631, it649, it500 };
enum TCommsType : quint8 { ct350, ct631, ctSPI, ctI2C, ct650, ctUART_1WIRE, ct662 };
enum TCommsSpeed : quint8 { csFast, csMedium, csSlow };
enum TVoltageFollow : quint8 { vfVDD, vfVDDHI };
enum TDUTVoltage : quint8 { dv3_3V, dv5V };
enum TI2CType : quint8 { noRDY, RDY_ActiveHigh, RDY_ActiveLow, SDA_Sync };
enum TPullUpResistors : quint8 { prNotConnected, prConnected };
enum TReadyPin : quint8 { rpPin6, rpPin8, rpPin10 };
enum TI2CStopCommand : quint8 { scNoStop, scUseStop };
enum TI2CPolling : quint8 { ipNoPolling, ipPollingByAddress };
enum TLedColor : quint8 { lcOff, lcRed, lcGreen, lcAmber };
enum TStopBitControl : quint8 { sbOff, sbRestore };
enum TLogicType : quint8 { ltNegative, ltPositive };
// The device layer's supply choice; never sent as such.
enum TPXSDUTVoltage : quint8 { v3_3V, v5V, vAdjustable };

// Wire code of an IC type.
constexpr quint8 WireCode(TICType Type) {
    constexpr quint8 codes[] = {1, 3, 2, 4, 5};
    return codes[Type];
}

// Speed code of the custom I2C speed, sent with the I2C comms type.
constexpr quint8 CustomI2CSpeedCode = 4;

// Dongle command codes.
namespace DongleCode {
enum : quint8 {
    SetICType = 0x01,
    PowerOn = 0x02,
    PowerOff = 0x03,
    EnterTM = 0x04,
    SetupComms = 0x05,
    SetLSVoltage = 0x06,
    SetDUTVoltage = 0x07,
    SetCTID = 0x08,
    GetCTFWVersion = 0x09,
    CommsRead = 0x0A,
    CommsWrite = 0x0B,
    StartStreaming = 0x0C,
    StopStreaming = 0x0D,
    FuseBurnConnect = 0x0E,
    ConfigI2C = 0x0F,
    IORead = 0x10,
    IOWrite = 0x11,
    I2CRead = 0x12,
    StopBitControl = 0x13,
    SetLongStreamingLength = 0x14,
    StartLongStreaming = 0x15,
    DetectRFModule = 0x16,
    EventMode = 0x1A,
    InStreamingWrite = 0x1B,
    LongBufferChunk = 0x1C,
    LongBufferCommit = 0x1D,
    TesterStamp = 0x2E,
    InitTester = 0x2F,
    PassReply = 0x30,
    GetChecksums = 0x40,
    LoadBuffer = 0x41,
    SwimProgram = 0x42,
    SwimEnterTM = 0x43,
    WOTF = 0x44,
    ROTF = 0x45,
    SwimEntry = 0x50,
    SwimExit = 0x51,
    ConnectDevice = 0x53,
    SwimGetCRC = 0x54,
    SelectDUT = 0x81,
    SetRelaySelection = 0x82,
    SetSelectedRelays = 0x83,
    GetSelectedRelays = 0x84,
    SetLED = 0xC1,
    HwCheck = 0xC2,
    AddOnCheck = 0xC3,
    SetDataTime = 0xCF,
    SetHaltCharge = 0xD1,
    SoftReset = 0xFE,
    EnterDFU = 0xFF,
};
} // namespace DongleCode

// Report byte 1: tool ID in the high nibble, the kind in the low nibble.
namespace ReportKind {
enum : quint8 { Mask = 0x0F, Error = 0x0E, Streaming = 0x0F };
} // namespace ReportKind
