#include "KelvraDevList.h"

#include "KelvraHIDTypes.h"

#include <algorithm>

namespace {

struct TDongleIDs {
    quint16 VendorID;
    quint16 FirstProduct;
    quint16 LastProduct;
};

constexpr TDongleIDs DongleFilter[] = {
    {0x2150, 0x0100, 0x01FF}, {0x2150, 0x0201, 0x0201}, {0x2150, 0x0301, 0x0304},
    {0x2150, 0x0306, 0x0306}, {0x2150, 0x0400, 0x04FF}, {0x0483, 0x5751, 0x5751},
    {0x04D8, 0xFE04, 0xFE04},
};

} // namespace

TKelvraDevList::TKelvraDevList(THidAccess& Access, QObject* Parent)
    : QObject(Parent), FHid(std::make_unique<THidLayer>(Access)) {
    FHid->OnChange = [this] { HandleDeviceChange(); };
    FHid->OnArrival = [this](THidDevice*) { FArrivalEvent = true; };
}

TKelvraDevList::~TKelvraDevList() {
    FHid->SetDataHandler(nullptr);
    if (FreeDevices)
        for (const TClaimedDevice& d : FDevices)
            FHid->Release(d.Object);
}

void TKelvraDevList::Activate() {
    FActivated = true;
    FHid->SetDataHandler([this](THidDevice* Device, quint8 ReportID, const quint8* Data, int Size) {
        HandleDeviceData(Device, ReportID, Data, Size);
    });
}

void TKelvraDevList::Deactivate() {
    FActivated = false;
    FHid->SetDataHandler(nullptr);
}

void TKelvraDevList::HidDeviceChange() {
    FHid->DeviceChange();
}

bool TKelvraDevList::IsDongle(quint16 VendorID, quint16 ProductID) {
    return std::any_of(std::begin(DongleFilter), std::end(DongleFilter), [&](const TDongleIDs& f) {
        return f.VendorID == VendorID && ProductID >= f.FirstProduct && ProductID <= f.LastProduct;
    });
}

QString TKelvraDevList::DisplayName(const THidDeviceInfo& Info) {
    if (!Info.ProductString.isEmpty()) return Info.ProductString;
    auto hex4 = [](quint16 v) { return QString::number(v, 16).toUpper().rightJustified(4, '0'); };
    return QStringLiteral("Device VID=%1 PID=%2").arg(hex4(Info.VendorID), hex4(Info.ProductID));
}

void TKelvraDevList::HandleDeviceChange() {
    FRemoveIndex.clear();
    for (size_t i = 0; i < FDevices.size(); ++i)
        FRemoveIndex << QStringLiteral("Remove");

    FHid->Enumerate([this](THidDevice* Device, int Index) {
        const auto known =
            std::find_if(FDevices.begin(), FDevices.end(),
                         [Device](const TClaimedDevice& d) { return d.Object == Device; });
        if (known != FDevices.end()) {
            FRemoveIndex[int(known - FDevices.begin())] = QStringLiteral("Stay");
        } else {
            const QString name = DisplayName(Device->Info());
            FDevices.push_back({name, FHid->Claim(Index)});
            FRemoveIndex << QStringLiteral("Stay");
        }
        return true;
    });

    // Drop the devices that are gone, keeping the order of the others.
    for (int i = int(FDevices.size()) - 1; i >= 0; --i) {
        if (FRemoveIndex[i] != QStringLiteral("Remove")) continue;
        ForgetStreamingDevice(FDevices[size_t(i)].Object);
        FHid->Release(FDevices[size_t(i)].Object);
        FDevices.erase(FDevices.begin() + i);
        FRemoveIndex.removeAt(i);
    }

    RebuildCTData();
    FConnected = FCTData.Count > 0;

    if (!FActivated) return;
    if (OnDeviceChange) {
        OnDeviceChange(this, FArrivalEvent);
        FArrivalEvent = false;
    }
    if (FCTData.Count >= 2 && OnMultipleDevices) OnMultipleDevices(this, FCTData.Name);
}

void TKelvraDevList::ForgetStreamingDevice(THidDevice* Device) {
    for (int slot = 0; slot < MaxStreamingDevices; ++slot) {
        if (StreamingDevices.Device[slot] != Device) continue;
        --StreamingNumberOfDevices;
        StreamingDevices.Device[slot] = nullptr;
        auto& ids = StreamingCounter.DevID;
        const auto id = std::find(ids.begin(), ids.end(), StreamingDevices.DeviceID[slot]);
        if (id != ids.end()) {
            StreamingCounter.Counter.erase(StreamingCounter.Counter.begin() + (id - ids.begin()));
            ids.erase(id);
            JustStopped = true;
        }
        StreamingDevices.DeviceID[slot] = 0;
    }
    if (IsStreaming && StreamingNumberOfDevices <= 0) IsStreaming = false;
}

void TKelvraDevList::RebuildCTData() {
    FCTData = TCTData();
    for (size_t i = 0; i < FDevices.size(); ++i) {
        const THidDeviceInfo& info = FDevices[i].Object->Info();
        if (!IsDongle(info.VendorID, info.ProductID)) continue;
        FCTData.Name << FDevices[i].Name;
        FCTData.Objects << FDevices[i].Object;
        FCTData.Index << QString::number(i);
        FCTData.VendorID << QString::number(info.VendorID);
        FCTData.ProductID << QString::number(info.ProductID);
        FCTData.SerialNumber << info.SerialNumber;
        ++FCTData.Count;
    }
}

void TKelvraDevList::HandleDeviceData(THidDevice* Device, quint8 /*ReportID*/, const quint8* Data,
                                      int Size) {
    // Bytes past the end of a short report read as 0.
    auto byteAt = [Data, Size](int k) -> quint8 { return k < Size ? Data[k] : 0; };
    const quint8 kind = byteAt(0) & ReportKind::Mask;
    quint8 toolID = 0;

    if (RawStream) {
        if (OnStreaming && kind == ReportKind::Streaming && Size > 0)
            OnStreaming(quint16(Size), 0, Data);
    } else if (OnStreaming && FCTData.Count > 0 && IsStreaming) {
        toolID = byteAt(0) >> 4;
        const auto& ids = StreamingCounter.DevID;
        const auto id = std::find(ids.begin(), ids.end(), int(toolID));
        if (kind == ReportKind::Streaming && id != ids.end()) {
            HandleStreamingPacket(Device, toolID, int(id - ids.begin()), Data, Size);
            return; // it raised OnDeviceData itself, or dropped the report
        }
        if (kind == ReportKind::Error && byteAt(3) == 0 && OnStreamingError)
            OnStreamingError(quint16(byteAt(3) << 8 | byteAt(4)));
    }
    if (OnDeviceData) OnDeviceData(quint16(std::min(Size, 0xFFFF)), toolID, Data);
}

void TKelvraDevList::HandleStreamingPacket(THidDevice* Device, quint8 ToolID, int Index,
                                           const quint8* Data, int Size) {
    auto byteAt = [Data, Size](int k) -> quint8 { return k < Size ? Data[k] : 0; };
    const bool known = FCTData.Objects.contains(Device);
    // An event handler may stop streaming and so remove this counter: write it back only
    // while it is still there.
    int counter = StreamingCounter.Counter[size_t(Index)];
    auto storeCounter = [this, Index, &counter] {
        if (size_t(Index) < StreamingCounter.Counter.size())
            StreamingCounter.Counter[size_t(Index)] = counter;
    };

    if (known && counter != byteAt(1)) {
        const bool freshStart = JustStopped && (counter == 0 || counter == 1);
        counter = byteAt(1);
        storeCounter();
        if (freshStart) {
            JustStopped = false;
            JustFixed = true; // a freshly started dongle: resynchronise silently
        } else if (JustFixed) {
            JustFixed = false;
        } else if (OnStreamingDataMissed) {
            OnStreamingDataMissed(ToolID);
        }
    }

    int length;
    if (!DoLongStream) {
        length = byteAt(2);
    } else if (byteAt(2) != FNextLongPacket) {
        RestartAssembly(); // out of sequence: the sample in progress is lost
        return;
    } else if (FNextLongPacket < LongStreamingPackets) {
        length = LongStreamingLength;
        ++FNextLongPacket;
    } else {
        length = LongStreamingLength % 32 == 0 ? 32 : LongStreamingLength % 32;
    }

    if (FPacket.InProgress) {
        const int count = length > 32 ? 32 : length;
        if (FPacket.PacketPos + count > PacketCapacity) {
            RestartAssembly(); // never grow past the buffer
            return;
        }
        AppendToPacket(Data, Size, 3, count);
        if (length <= 32) {
            FPacket.InProgress = false;
            FNextLongPacket = 0;
            FPacket.FireEvent = true;
            // Reports lost on the way leave a hole: zeros, not bytes of an earlier sample.
            if (FPacket.PacketPos < FPacket.PacketSize)
                std::fill(FPacket.Packet.begin() + FPacket.PacketPos,
                          FPacket.Packet.begin() + FPacket.PacketSize, 0);
        }
    } else if (length > 32) {
        if (length + 3 > PacketCapacity) {
            RestartAssembly(); // a sample longer than the buffer is never assembled
            return;
        }
        FPacket.InProgress = true;
        FPacket.PacketSize = quint16(length + 3);
        FPacket.PacketPos = 0;
        AppendToPacket(Data, Size, 0, 35);
        if (DoLongStream) FPacket.Packet[2] = 0xFF;
    }

    if (!known) {
        FPacket.FireEvent = false; // a sample of a device that is no dongle goes nowhere
    } else if (!FPacket.InProgress) {
        counter = counter + 1 > 255 ? 0 : counter + 1;
        storeCounter();
        if (FPacket.FireEvent) {
            FPacket.FireEvent = false;
            if (OnStreaming) OnStreaming(FPacket.PacketSize, ToolID, FPacket.Packet.data());
        } else if (OnStreaming) {
            OnStreaming(quint16(std::min(Size, 0xFFFF)), ToolID, Data);
        }
    }
    if (OnDeviceData) OnDeviceData(quint16(std::min(Size, 0xFFFF)), ToolID, Data);
}

void TKelvraDevList::AppendToPacket(const quint8* Data, int Size, int From, int Count) {
    const int available = std::clamp(Size - From, 0, Count);
    std::copy_n(Data + From, available, FPacket.Packet.begin() + FPacket.PacketPos);
    std::fill_n(FPacket.Packet.begin() + FPacket.PacketPos + available, Count - available, 0);
    FPacket.PacketPos += Count;
}

void TKelvraDevList::RestartAssembly() {
    FPacket.InProgress = false;
    FPacket.FireEvent = false;
    FPacket.PacketPos = 0;
    FNextLongPacket = 0;
}
