#pragma once

#include "HidLayer.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

// The dongles among the claimed devices, as five parallel lists rebuilt together.
struct TCTData {
    QStringList Name;           // display names
    QList<THidDevice*> Objects; // the device object of each name
    QStringList Index;          // position in the list of claimed devices, decimal
    QStringList VendorID;       // decimal
    QStringList ProductID;      // decimal
    QStringList SerialNumber;
    int Count = 0;
};

constexpr int MaxStreamingDevices = 16;

// Device object and tool ID of each streaming dongle; an empty slot holds no device.
struct TStreamingDevices {
    std::array<THidDevice*, MaxStreamingDevices> Device{};
    std::array<quint8, MaxStreamingDevices> DeviceID{};
};

// Per streaming tool ID, the packet counter expected next (0..255).
struct TStreamingCounter {
    std::vector<int> DevID;
    std::vector<int> Counter;
};

// Every HID device present, the dongles among them, plug and unplug, and the streaming
// bookkeeping of the dongles.
class TKelvraDevList : public QObject {
    Q_OBJECT
public:
    using TCTChangeEvent = std::function<void(QObject* Sender, bool Arrived)>;
    using TMultipleCTsEvent = std::function<void(QObject* Sender, const QStringList& Devices)>;
    using TStreamingEvent = std::function<void(quint16 Size, quint8 HIDToolID, const quint8* Data)>;
    using TStreamingErrorEvent = std::function<void(quint16 StreamingErrorCode)>;
    using TStreamingDataMissedEvent = std::function<void(quint8 HidToolID)>;

    static inline const QString Version = QStringLiteral("2.1.2.265");

    explicit TKelvraDevList(THidAccess& Access, QObject* Parent = nullptr);
    ~TKelvraDevList() override;

    void Activate();
    void Deactivate();
    bool Activated() const { return FActivated; }
    // Re-enumerates now, as on a change notification.
    void HidDeviceChange();
    void ForceStreaming() { IsStreaming = true; }

    const TCTData& HidDevices() const { return FCTData; }
    bool Connected() const { return FConnected; }

    // The claimed devices in order of first appearance.
    int DeviceCount() const { return int(FDevices.size()); }
    THidDevice* Device(int Index) const { return FDevices[size_t(Index)].Object; }
    QString DeviceName(int Index) const { return FDevices[size_t(Index)].Name; }

    static bool IsDongle(quint16 VendorID, quint16 ProductID);
    static QString DisplayName(const THidDeviceInfo& Info);

    bool FreeDevices = true;
    TCTChangeEvent OnDeviceChange;
    TMultipleCTsEvent OnMultipleDevices;
    TStreamingEvent OnDeviceData;
    TStreamingEvent OnStreaming;
    TStreamingErrorEvent OnStreamingError;
    TStreamingDataMissedEvent OnStreamingDataMissed;

    // Streaming state.
    bool IsStreaming = false;
    bool RawStream = false;
    int StreamingNumberOfDevices = 0;
    TStreamingDevices StreamingDevices;
    TStreamingCounter StreamingCounter;
    bool JustStopped = false;
    bool JustFixed = false;
    quint16 LongStreamingLength = 0;
    int LongStreamingPackets = 0;
    bool DoLongStream = false;

    // Handles one input report of a claimed device: streaming packets, their counters and
    // reassembly, error reports. Data is the report without its ID byte.
    void HandleDeviceData(THidDevice* Device, quint8 ReportID, const quint8* Data, int Size);

    // The sample under assembly, shared by all streaming dongles.
    static constexpr int PacketCapacity = 32768;
    struct TStreamingPacket {
        std::array<quint8, PacketCapacity> Packet{};
        quint16 PacketSize = 0;
        int PacketPos = 0;
        bool InProgress = false;
        bool FireEvent = false;
    };
    const TStreamingPacket& StreamingPacket() const { return FPacket; }

private:
    struct TClaimedDevice {
        QString Name;
        THidDevice* Object;
    };

    void HandleDeviceChange();
    void HandleStreamingPacket(THidDevice* Device, quint8 ToolID, int Index, const quint8* Data,
                               int Size);
    void AppendToPacket(const quint8* Data, int Size, int From, int Count);
    void RestartAssembly();
    void ForgetStreamingDevice(THidDevice* Device);
    void RebuildCTData();

    std::unique_ptr<THidLayer> FHid;
    std::vector<TClaimedDevice> FDevices;
    QStringList FRemoveIndex;
    TCTData FCTData;
    bool FConnected = false;
    bool FActivated = false;
    bool FArrivalEvent = false;
    TStreamingPacket FPacket;
    int FNextLongPacket = 0;
};
