#pragma once

#include "KelvraKVR500.h"

enum TPXS731ICType : quint8 { i731_it649, i731_it500 };
enum TPXS731CommsType : quint8 { c731_1wire, c731_I2C };

// The PXS733's device component: its connection settings in the IC's own terms, mapped
// onto the base fields, and the operations whose sequence differs for this IC.
class TPXS731Device : public TKVR500Class {
    Q_OBJECT
public:
    explicit TPXS731Device(QObject* Owner = nullptr);

    static inline const QString Version = QStringLiteral("2.1.2.265");
    // The highest adjustable supply the IC takes, in volts.
    static constexpr double MaxAdjustableVoltage = 5.5;

    TPXSDUTVoltage DUTVoltage() const { return F731DUTVoltage; }
    void SetDUTVoltage(TPXSDUTVoltage Value);
    double AdjustableDUTVoltage() const { return F731AdjustableVoltage; }
    void SetAdjustableDUTVoltage(double Value);
    TVoltageFollow LSVoltage() const { return F731LSVoltage; }
    void SetLSVoltage(TVoltageFollow Value);
    TCommsSpeed CommsSpeed() const { return F731CommsSpeed; }
    void SetCommsSpeed(TCommsSpeed Value);
    TPXS731ICType ICType() const { return F731ICType; }
    void SetICType(TPXS731ICType Value);
    TPXS731CommsType CommsType() const { return F731CommsType; }
    void SetCommsType(TPXS731CommsType Value);
    TI2CType I2CType() const { return F731I2CType; }
    void SetI2CType(TI2CType Value);
    TPullUpResistors I2CPullUpResistors() const { return F731PullUpResistors; }
    void SetI2CPullUpResistors(TPullUpResistors Value);
    TReadyPin I2CReadyPin() const { return F731ReadyPin; }
    void SetI2CReadyPin(TReadyPin Value);
    TI2CStopCommand I2CStopCommand() const { return F731StopCommand; }
    void SetI2CStopCommand(TI2CStopCommand Value);
    TI2CPolling I2CPolling() const { return F731Polling; }
    void SetI2CPolling(TI2CPolling Value);
    // The I2C address as two upper-case hexadecimal digits.
    QString I2CAddress() const;
    void SetI2CAddress(const QString& Value);

    // This IC's own sequences; they hide the base operations of the same name.
    quint16 EnterTestMode();
    quint16 EnterTestMode(quint8 Time);
    quint16 PowerOn();
    quint16 SetupCT(double& SelectedAdjustableVoltage);
    quint16 SetupCT();
    using TKVR500Class::StartStreaming;
    quint16 StartStreaming();
    quint16 GetVersion(quint16& ICVersion);

    // The start-up pulse of this IC's test-mode entry.
    static constexpr quint8 StartupPulse = 43;

private:
    // Copies every setting onto the base fields.
    void MapSettings();

    TPXSDUTVoltage F731DUTVoltage = v3_3V;
    double F731AdjustableVoltage = 3.3;
    TPXS731CommsType F731CommsType = c731_I2C;
    TPXS731ICType F731ICType = i731_it649;
    TCommsSpeed F731CommsSpeed = csFast;
    TVoltageFollow F731LSVoltage = vfVDDHI;
    TReadyPin F731ReadyPin = rpPin10;
    TI2CType F731I2CType = noRDY;
    TI2CStopCommand F731StopCommand = scUseStop;
    TI2CPolling F731Polling = ipPollingByAddress;
    quint8 F731I2CAddress = 0x44;
    TPullUpResistors F731PullUpResistors = prConnected;
};
