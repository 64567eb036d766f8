#pragma once

#include "Event.h"
#include "HidLayer.h"
#include "SampleAssembler.h"
#include "StreamingRegistry.h"

#include <QObject>
#include <QStringList>

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

// Every HID device present, the dongles among them, plug and unplug, and the streaming
// bookkeeping of the dongles.
class TKelvraDevList : public QObject {
    Q_OBJECT
public:
    // (Sender, Arrived)
    using TCTChangeEvent = TEvent<QObject*, bool>;
    // (Sender, Devices)
    using TMultipleCTsEvent = TEvent<QObject*, const QStringList&>;
    // (Size, HIDToolID, Data): a sample or a report, header bytes 0..2 included
    using TStreamingEvent = TEvent<quint16, quint8, const quint8*>;
    // (StreamingErrorCode)
    using TStreamingErrorEvent = TEvent<quint16>;
    // (HidToolID)
    using TStreamingDataMissedEvent = TEvent<quint8>;

    static inline const QString Version = QStringLiteral("2.1.2.265");

    explicit TKelvraDevList(THidAccess& Access, QObject* Parent = nullptr);
    ~TKelvraDevList() override;

    void Activate();
    void Deactivate();
    bool Activated() const { return FActivated; }
    // Re-enumerates now, as on a change notification.
    void HidDeviceChange();
    void ForceStreaming() { FStreams.IsStreaming = true; }

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

    // Streaming state: the streaming dongles and their counters, and the reassembly of
    // their samples. The dongle tool registers and unregisters the dongles it starts.
    bool IsStreaming() const { return FStreams.IsStreaming; }
    TStreamingRegistry& Streams() { return FStreams; }
    TSampleAssembler& Assembler() { return FAssembler; }
    bool RawStream = false;

    // Handles one input report of a claimed device: streaming packets, their counters and
    // reassembly, error reports. Data is the report without its ID byte.
    void HandleDeviceData(THidDevice* Device, quint8 ReportID, const quint8* Data, int Size);

private:
    struct TClaimedDevice {
        QString Name;
        THidDevice* Object;
    };

    void HandleDeviceChange();
    void HandleStreamingPacket(THidDevice* Device, quint8 ToolID, const quint8* Data, int Size);
    void RebuildCTData();

    std::unique_ptr<THidLayer> FHid;
    std::vector<TClaimedDevice> FDevices;
    QStringList FRemoveIndex;
    TCTData FCTData;
    bool FConnected = false;
    bool FActivated = false;
    bool FArrivalEvent = false;
    TStreamingRegistry FStreams;
    TSampleAssembler FAssembler;
};
