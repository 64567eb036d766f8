// Answers a transaction with arbitrary input reports: reply matching, the count of 20,
// streaming packets, error replies, short and empty reports.
#include "KelvraHIDTool.h"
#include "SimHidAccess.h"

#include <QCoreApplication>

#include <cstdint>

namespace {

// A device that answers every request with the reports of the current input. A report
// whose byte 2 is 0xAA gets the request's message ID there, so that answers can match.
// Twenty-one reports that match nothing follow, so every transaction ends at once.
class TScriptedDevice : public TSimHidDevice {
public:
    TScriptedDevice() : TSimHidDevice(Info()) {}
    std::vector<QByteArray> Script;

protected:
    void OutputReport(const quint8* Data, int Length) override {
        for (QByteArray report : Script) {
            if (report.size() > 2 && quint8(report[2]) == 0xAA && Length > 1)
                report[2] = char(Data[1]);
            SendInputReport(report);
        }
        for (int i = 0; i <= TKelvraHidTool::MaxRepliesSearched; ++i)
            SendInputReport(QByteArray(3, '\0'));
    }

private:
    static THidDeviceInfo Info() {
        THidDeviceInfo info;
        info.VendorID = 0x2150;
        info.ProductID = 0x0102;
        return info;
    }
};

TSimHidAccess* Hid;
std::shared_ptr<TScriptedDevice> Device;
TKelvraDevList* List;
TKelvraHidTool* Tool;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    Hid = new TSimHidAccess;
    Device = std::make_shared<TScriptedDevice>();
    Hid->Plug(Device);
    List = new TKelvraDevList(*Hid);
    QCoreApplication::processEvents();
    List->HidDeviceChange();
    Tool = new TKelvraHidTool;
    Tool->SetKelvraDevList(List);
    Tool->TransactionTimeoutMs = 100;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1) return 0;
    Tool->MatchMsgIDs = Data[0] & 1;
    Device->Script.clear();
    for (size_t pos = 1; pos < Size;) {
        const size_t length = std::min<size_t>(Data[pos++] % 70, Size - pos);
        Device->Script.emplace_back(reinterpret_cast<const char*>(Data + pos), int(length));
        pos += length;
    }
    TKvrByteArray request{};
    request[2] = 0x09;
    TKvrByteArray reply;
    Tool->SendReceive(request, reply);
    quint32 version = 0;
    Tool->GetCTFWVersion(version);
    return 0;
}
