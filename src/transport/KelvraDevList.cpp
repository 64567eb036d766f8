#include "KelvraDevList.h"

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
    if (!Info.ProductString.isEmpty())
        return Info.ProductString;
    auto hex4 = [](quint16 v) { return QString::number(v, 16).toUpper().rightJustified(4, '0'); };
    return QStringLiteral("Device VID=%1 PID=%2").arg(hex4(Info.VendorID), hex4(Info.ProductID));
}

void TKelvraDevList::HandleDeviceChange() {
    FRemoveIndex.clear();
    for (size_t i = 0; i < FDevices.size(); ++i)
        FRemoveIndex << QStringLiteral("Remove");

    FHid->Enumerate([this](THidDevice* Device, int Index) {
        const auto known = std::find_if(FDevices.begin(), FDevices.end(),
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
        if (FRemoveIndex[i] != QStringLiteral("Remove"))
            continue;
        ForgetStreamingDevice(FDevices[size_t(i)].Object);
        FHid->Release(FDevices[size_t(i)].Object);
        FDevices.erase(FDevices.begin() + i);
        FRemoveIndex.removeAt(i);
    }

    RebuildCTData();
    FConnected = FCTData.Count > 0;

    if (!FActivated)
        return;
    if (OnDeviceChange) {
        OnDeviceChange(this, FArrivalEvent);
        FArrivalEvent = false;
    }
    if (FCTData.Count >= 2 && OnMultipleDevices)
        OnMultipleDevices(this, FCTData.Name);
}

void TKelvraDevList::ForgetStreamingDevice(THidDevice* Device) {
    for (int slot = 0; slot < MaxStreamingDevices; ++slot) {
        if (StreamingDevices.Device[slot] != Device)
            continue;
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
    if (IsStreaming && StreamingNumberOfDevices <= 0)
        IsStreaming = false;
}

void TKelvraDevList::RebuildCTData() {
    FCTData = TCTData();
    for (size_t i = 0; i < FDevices.size(); ++i) {
        const THidDeviceInfo& info = FDevices[i].Object->Info();
        if (!IsDongle(info.VendorID, info.ProductID))
            continue;
        FCTData.Name << FDevices[i].Name;
        FCTData.Objects << FDevices[i].Object;
        FCTData.Index << QString::number(i);
        FCTData.VendorID << QString::number(info.VendorID);
        FCTData.ProductID << QString::number(info.ProductID);
        FCTData.SerialNumber << info.SerialNumber;
        ++FCTData.Count;
    }
}

void TKelvraDevList::HandleDeviceData(THidDevice* /*Device*/, quint8 /*ReportID*/,
                                      const quint8* Data, int Size) {
    if (OnDeviceData && Size > 0)
        OnDeviceData(quint16(std::min(Size, 0xFFFF)), quint8(Data[0] >> 4), Data);
}
