// Feeds arbitrary input reports to the dongle list's data handler in every streaming mode:
// ordinary and long reassembly, counters, raw mode and error reports. Every delivered
// sample is read to its last byte, so a size that overstates the data shows up.
#include "KelvraDevList.h"
#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
TSimHidAccess* Hid;
volatile unsigned Sink;

void ReadAll(quint16 Size, const quint8* Data) {
    unsigned sum = 0;
    for (int i = 0; i < Size; ++i)
        sum += Data[i];
    Sink = sum;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    Hid = new TSimHidAccess;
    Hid->Plug(std::make_shared<TVirtualDongle>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 4) return 0;
    TKelvraDevList list(*Hid);
    QCoreApplication::processEvents();
    list.HidDeviceChange();
    THidDevice* dongle = list.HidDevices().Objects.value(0);

    list.RawStream = Data[0] & 1;
    list.DoLongStream = Data[0] & 2;
    list.JustStopped = Data[0] & 4;
    list.JustFixed = Data[0] & 8;
    list.IsStreaming = !(Data[0] & 16);
    list.LongStreamingLength = quint16(Data[1] << 8 | Data[2]);
    list.LongStreamingPackets = Data[3];
    for (int id = 0; id < 16; ++id) {
        list.StreamingCounter.DevID.push_back(id);
        list.StreamingCounter.Counter.push_back(id * 17);
    }
    list.OnStreaming = [](quint16 S, quint8, const quint8* D) { ReadAll(S, D); };
    list.OnDeviceData = [](quint16 S, quint8, const quint8* D) { ReadAll(S, D); };
    list.OnStreamingError = [](quint16 Code) { Sink = Code; };
    list.OnStreamingDataMissed = [](quint8 Id) { Sink = Id; };

    // The rest is a run of reports, each a length byte and that many bytes.
    for (size_t pos = 4; pos < Size;) {
        const size_t length = std::min<size_t>(Data[pos++] & 0x7F, Size - pos);
        std::vector<quint8> report(Data + pos, Data + pos + length); // exact size for ASan
        pos += length;
        THidDevice* from = (length & 1) ? dongle : nullptr; // known and unknown devices
        list.HandleDeviceData(from, 0, report.data(), int(report.size()));
    }
    return 0;
}
