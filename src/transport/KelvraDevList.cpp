#include "KelvraDevList.h"

#include "KelvraHIDTypes.h"

#include <algorithm>
#include <utility>

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
        FStreams.Forget(FDevices[size_t(i)].Object);
        FHid->Release(FDevices[size_t(i)].Object);
        FDevices.erase(FDevices.begin() + i);
        FRemoveIndex.removeAt(i);
    }

    RebuildCTData();
    FConnected = FCTData.Count > 0;

    if (!FActivated) return;
    const bool arrived = std::exchange(FArrivalEvent, false);
    OnDeviceChange(this, arrived);
    if (FCTData.Count >= 2) OnMultipleDevices(this, FCTData.Name);
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
        if (kind == ReportKind::Streaming && Size > 0) OnStreaming(quint16(Size), 0, Data);
    } else if (OnStreaming.HasListeners() && FCTData.Count > 0 && FStreams.IsStreaming) {
        toolID = byteAt(0) >> 4;
        if (kind == ReportKind::Streaming && FStreams.Started(toolID)) {
            HandleStreamingPacket(Device, toolID, Data, Size);
            return; // it raised OnDeviceData itself, or dropped the report
        }
        if (kind == ReportKind::Error && byteAt(3) == 0)
            OnStreamingError(quint16(byteAt(3) << 8 | byteAt(4)));
    }
    OnDeviceData(quint16(std::min(Size, 0xFFFF)), toolID, Data);
}

void TKelvraDevList::HandleStreamingPacket(THidDevice* Device, quint8 ToolID, const quint8* Data,
                                           int Size) {
    const bool known = FCTData.Objects.contains(Device);
    if (known && FStreams.CheckCounter(ToolID, Size > 1 ? Data[1] : 0))
        OnStreamingDataMissed(ToolID);

    const TSampleAssembler::TResult result = FAssembler.Add(Data, Size);
    if (result.Step == TSampleAssembler::TStep::Dropped) return;
    // A sample of a device that is no dongle goes nowhere.
    if (known && result.Step == TSampleAssembler::TStep::Sample) {
        FStreams.AdvanceCounter(ToolID);
        OnStreaming(result.Size, ToolID, result.Data);
    }
    OnDeviceData(quint16(std::min(Size, 0xFFFF)), ToolID, Data);
}
