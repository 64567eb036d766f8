#pragma once

#include "KelvraDevList.h"

#include <QObject>

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
};

// The command component: request/reply transactions with the selected dongle of the bound
// dongle list, and the dongle's commands built on them.
class TKelvraHidTool : public QObject {
    Q_OBJECT
public:
    using TSendCommandsEvent = std::function<void(const TKvrByteArray& Command)>;

    static inline const QString Version = QStringLiteral("2.1.2.265");
    // Bytes of a request and of a reply zeroed by every command before filling them.
    static constexpr int ClearedBytes = 80;
    // A transaction reads at most this many non-streaming reports looking for its answer.
    static constexpr int MaxRepliesSearched = 20;

    explicit TKelvraHidTool(QObject* Parent = nullptr);

    // Binding to the dongle list.
    TKelvraDevList* KelvraDevList() const { return FDevList; }
    void SetKelvraDevList(TKelvraDevList* List) { FDevList = List; }

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
    bool IsStreaming() const { return FDevList && FDevList->IsStreaming; }
    bool RawStream() const { return FDevList && FDevList->RawStream; }
    void SetRawStream(bool Raw);
    quint16 VendorID() const;
    quint16 ProductID() const;
    QString SerialNumber() const;

    quint8 MessageID() const { return FMessageID; }
    int LastDevID() const { return FLastDevID; }

    // The dongle's firmware version, high byte first in the reply, and its build number.
    quint16 GetCTFWVersion(quint32& CTFWVersion);
    quint16 GetCTFWVersion(quint32& CTFWVersion, quint8& Build);

    bool MatchMsgIDs = true;
    // A transaction that has no answer after this long gives up with result 3.
    int TransactionTimeoutMs = 1000;
    TSendCommandsEvent OnSendCommands;

private:
    // A request with the command code and byte 3 set and everything else zero.
    static TKvrByteArray Request(quint8 Code, quint8 Byte3);
    bool HasDongles() const { return FDevList && FDevList->HidDevices().Count > 0; }

    TKelvraDevList* FDevList = nullptr;
    quint8 FMessageID = 1;
    int FCurrentDeviceIndex = 0;
    THidDevice* FSelectedObject = nullptr;
    bool FDeviceSelected = false;
    QString FSelectedSerial;
    int FLastDevID = 0;
};
