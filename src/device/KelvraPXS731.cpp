#include "KelvraPXS731.h"

#include "Kelvra.h"

namespace {
constexpr quint8 HighestI2CAddress = 0x7F;
constexpr quint8 PowerHandshakeIO = 2;
constexpr quint8 IOLow = 1;
constexpr quint8 IOHigh = 2;
constexpr quint8 StreamRequestLength = 32;

QString TwoHexDigits(quint8 Value) {
    return QString::number(Value, 16).toUpper().rightJustified(2, '0');
}
} // namespace

TPXS731Device::TPXS731Device(QObject* Owner) : TKVR500Class(Owner) {}

void TPXS731Device::MapSettings() {
    SetCommsType(F731CommsType);
    SetICType(F731ICType);
    SetCommsSpeed(F731CommsSpeed);
    SetLSVoltage(F731LSVoltage);
    SetAdjustableDUTVoltage(F731AdjustableVoltage);
    SetDUTVoltage(F731DUTVoltage);
    SetI2CType(F731I2CType);
    SetI2CPullUpResistors(F731PullUpResistors);
    SetI2CReadyPin(F731ReadyPin);
    SetI2CStopCommand(F731StopCommand);
    SetI2CPolling(F731Polling);
    FI2CAddress = F731I2CAddress;
}

void TPXS731Device::SetDUTVoltage(TPXSDUTVoltage Value) {
    F731DUTVoltage = Value;
    switch (Value) {
    case v3_3V:
        FDUTVoltage = dv3_3V;
        FUseAdjust = false;
        break;
    case v5V:
        FDUTVoltage = dv5V;
        FUseAdjust = false;
        break;
    case vAdjustable:
        FAdjustableVoltage = F731AdjustableVoltage;
        FUseAdjust = true;
        break;
    }
}

void TPXS731Device::SetAdjustableDUTVoltage(double Value) {
    F731AdjustableVoltage = std::min(Value, MaxAdjustableVoltage);
    FAdjustableVoltage = F731AdjustableVoltage;
}

void TPXS731Device::SetLSVoltage(TVoltageFollow Value) {
    F731LSVoltage = FLSVoltage = Value;
}

void TPXS731Device::SetCommsSpeed(TCommsSpeed Value) {
    F731CommsSpeed = FCommsSpeed = Value;
}

void TPXS731Device::SetICType(TPXS731ICType Value) {
    F731ICType = Value;
    FICType = Value == i731_it649 ? it649 : it500;
}

void TPXS731Device::SetCommsType(TPXS731CommsType Value) {
    F731CommsType = Value;
    FCommsType = Value == c731_1wire ? ct631 : ctI2C;
}

void TPXS731Device::SetI2CType(TI2CType Value) {
    F731I2CType = FI2CType = Value;
}

void TPXS731Device::SetI2CPullUpResistors(TPullUpResistors Value) {
    F731PullUpResistors = FPullUpResistors = Value;
}

void TPXS731Device::SetI2CReadyPin(TReadyPin Value) {
    F731ReadyPin = FReadyPin = Value;
}

void TPXS731Device::SetI2CStopCommand(TI2CStopCommand Value) {
    F731StopCommand = FStopCommand = Value;
}

void TPXS731Device::SetI2CPolling(TI2CPolling Value) {
    F731Polling = FPolling = Value;
}

QString TPXS731Device::I2CAddress() const {
    return TwoHexDigits(F731I2CAddress);
}

void TPXS731Device::SetI2CAddress(const QString& Value) {
    try {
        QString text = Value;
        int address = HexToInt(text);
        if (address < 0 || address > HighestI2CAddress) {
            text = TwoHexDigits(HighestI2CAddress);
            address = HighestI2CAddress;
        }
        if (text != TwoHexDigits(F731I2CAddress)) F731I2CAddress = quint8(address);
    } catch (const EConvertError&) {
        F731I2CAddress = 0; // unreadable text gives address 0, without an error
    }
    FI2CAddress = F731I2CAddress;
}

quint16 TPXS731Device::EnterTestMode() {
    return EnterTestMode(StartupPulse);
}

quint16 TPXS731Device::EnterTestMode(quint8 Time) {
    if (FICType != it649) return 0;
    return EnterTestModeIt649(Time);
}

quint16 TPXS731Device::PowerOn() {
    // The supply is switched with I/O line 2 held low around it.
    quint16 result = Tool().IOWrite(PowerHandshakeIO, IOLow);
    if (result == 0) result = Tool().PowerOnDUT();
    if (result == 0) result = Tool().IOWrite(PowerHandshakeIO, IOHigh);
    return result;
}

quint16 TPXS731Device::SetupCT(double& SelectedAdjustableVoltage) {
    MapSettings();
    return TKVR500Class::SetupCT(SelectedAdjustableVoltage);
}

quint16 TPXS731Device::SetupCT() {
    MapSettings();
    return TKVR500Class::SetupCT();
}

quint16 TPXS731Device::StartStreaming() {
    return TKVR500Class::StartStreaming(StreamRequestLength, TKvrByteArray{});
}

quint16 TPXS731Device::GetVersion(quint16& ICVersion) {
    quint8 high = 0, low = 0;
    quint16 result = ReadReg(0x34, high);
    if (result == 0) result = ReadReg(0x35, low);
    if (result == 0) ICVersion = quint16(high << 8 | low);
    return result;
}
