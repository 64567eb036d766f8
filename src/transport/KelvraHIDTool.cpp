#include "KelvraHIDTool.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint8 KindMask = 0x0F;
constexpr quint8 KindStreaming = 0x0F;
constexpr quint8 KindError = 0x0E;

constexpr quint8 CodeGetCTFWVersion = 0x09;

bool IsStreamingPacket(const TKvrByteArray& Report) {
    return (Report[1] & KindMask) == KindStreaming;
}

quint32 BigEndian32(const quint8* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

} // namespace

TKelvraHidTool::TKelvraHidTool(QObject* Parent) : QObject(Parent) {}

TKvrByteArray TKelvraHidTool::Request(quint8 Code, quint8 Byte3) {
    TKvrByteArray request;
    std::memset(request.data(), 0, ClearedBytes);
    request[2] = Code;
    request[3] = Byte3;
    return request;
}

quint16 TKelvraHidTool::SendReceive(const TKvrByteArray& Send, TKvrByteArray& Receive) {
    TKvrByteArray request = Send;
    FMessageID = FMessageID + 1 == 255 ? 1 : FMessageID + 1;
    request[1] = FMessageID;
    std::memset(Receive.data(), 0, ClearedBytes);

    if (!HasDongles())
        return ResultNoHardware;
    const TCTData& dongles = FDevList->HidDevices();
    if (FCurrentDeviceIndex > dongles.Count - 1)
        FCurrentDeviceIndex = 0;
    if (!FSelectedSerial.isEmpty() && dongles.SerialNumber[FCurrentDeviceIndex] != FSelectedSerial)
        FCurrentDeviceIndex = std::max(0, int(dongles.SerialNumber.indexOf(FSelectedSerial)));

    THidDevice* device = dongles.Objects[FCurrentDeviceIndex];
    if (!device->FlushQueue())
        return ResultQueueNotFlushed;
    const int outLength = std::clamp(device->OutputReportByteLength(), 0, int(request.size()));
    device->WriteReport(request.data(), outLength);
    if (OnSendCommands)
        OnSendCommands(request);

    // Read until the answer comes, the count of non-streaming reports runs out, the
    // device goes away or the time is up.
    const int inLength = std::clamp(device->InputReportByteLength(), 0, int(Receive.size()));
    QElapsedTimer clock;
    clock.start();
    auto readNext = [&] {
        std::memset(Receive.data(), 0, ClearedBytes);
        const qint64 left = TransactionTimeoutMs - clock.elapsed();
        return left > 0 && device->ReadReport(Receive.data(), inLength, int(left)) > 0;
    };
    if (!readNext())
        return ResultTimeout;
    if (MatchMsgIDs) {
        int count = 1;
        while (Receive[2] != FMessageID || IsStreamingPacket(Receive)) {
            if (!readNext())
                return ResultTimeout;
            if (!IsStreamingPacket(Receive) && ++count > MaxRepliesSearched)
                return ResultTimeout;
        }
    }
    if ((Receive[1] & KindMask) == KindError)
        return quint16(Receive[4] << 8 | Receive[5]);
    return ResultOK;
}

bool TKelvraHidTool::SetCurrentDevice(int DeviceIndex) {
    if (!FDevList || DeviceIndex > FDevList->HidDevices().Count - 1 || DeviceIndex < 0)
        return false;
    FCurrentDeviceIndex = DeviceIndex;
    FSelectedObject = FDevList->HidDevices().Objects[DeviceIndex];
    FDeviceSelected = true;
    return true;
}

bool TKelvraHidTool::ReselectDevice() {
    FDeviceSelected = false;
    if (!FSelectedObject || !HasDongles())
        return false;
    const int index = int(FDevList->HidDevices().Objects.indexOf(FSelectedObject));
    if (index < 0)
        return false;
    FCurrentDeviceIndex = index;
    FDeviceSelected = true;
    return true;
}

bool TKelvraHidTool::SetCurrentSerial(const QString& SerialNumber) {
    if (SerialNumber.isEmpty()) {
        FCurrentDeviceIndex = 0;
        FSelectedSerial.clear();
        return true;
    }
    if (!FDevList)
        return false;
    const int index = int(FDevList->HidDevices().SerialNumber.indexOf(SerialNumber));
    if (index < 0)
        return false;
    FCurrentDeviceIndex = index;
    FSelectedSerial = SerialNumber;
    return true;
}

THidDevice* TKelvraHidTool::CurrentDevice() const {
    if (!HasDongles() || FCurrentDeviceIndex < 0 ||
        FCurrentDeviceIndex >= FDevList->HidDevices().Count)
        return nullptr;
    return FDevList->HidDevices().Objects[FCurrentDeviceIndex];
}

void TKelvraHidTool::SetRawStream(bool Raw) {
    if (FDevList)
        FDevList->RawStream = Raw;
}

quint16 TKelvraHidTool::VendorID() const {
    if (!CurrentDevice())
        return 0;
    return quint16(FDevList->HidDevices().VendorID[FCurrentDeviceIndex].toUInt());
}

quint16 TKelvraHidTool::ProductID() const {
    if (!CurrentDevice())
        return 0;
    return quint16(FDevList->HidDevices().ProductID[FCurrentDeviceIndex].toUInt());
}

QString TKelvraHidTool::SerialNumber() const {
    if (!CurrentDevice())
        return {};
    return FDevList->HidDevices().SerialNumber[FCurrentDeviceIndex];
}

quint16 TKelvraHidTool::GetCTFWVersion(quint32& CTFWVersion) {
    quint8 build = 0;
    return GetCTFWVersion(CTFWVersion, build);
}

quint16 TKelvraHidTool::GetCTFWVersion(quint32& CTFWVersion, quint8& Build) {
    CTFWVersion = 0;
    const TKvrByteArray request = Request(CodeGetCTFWVersion, 0);
    TKvrByteArray reply;
    const quint16 result = SendReceive(request, reply);
    FLastDevID = reply[1] >> 4;
    if (result == ResultOK) {
        CTFWVersion = BigEndian32(&reply[4]);
        Build = reply[8];
    }
    return result;
}
