// Feeds arbitrary streaming reports to the sample reassembly and the counter bookkeeping, in
// ordinary and long streaming, as the dongle list does with them. Every delivered sample is
// read to its last byte, so a size that overstates the data shows up.
#include "SampleAssembler.h"
#include "StreamingRegistry.h"

#include <cstdint>
#include <vector>

namespace {
volatile unsigned Sink;

void ReadAll(quint16 Size, const quint8* Data) {
    unsigned sum = 0;
    for (int i = 0; i < Size; ++i)
        sum += Data[i];
    Sink = sum;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 4) return 0;
    TSampleAssembler assembler;
    TStreamingRegistry streams;
    assembler.SetLongStreamingLength(quint16(Data[1] << 8 | Data[2]));
    if (Data[0] & 2) assembler.StartLongStreaming();
    streams.JustStopped = Data[0] & 4;
    streams.JustFixed = Data[0] & 8;
    for (int id = 0; id < 16; id += 1 + (Data[3] & 3))
        streams.Register(nullptr, quint8(id));

    // The rest is a run of reports, each a length byte and that many bytes; a length byte
    // with its top bit set stops the tool ID it names first.
    for (size_t pos = 4; pos < Size;) {
        const quint8 lengthByte = Data[pos++];
        const size_t length = std::min<size_t>(lengthByte & 0x7F, Size - pos);
        std::vector<quint8> report(Data + pos, Data + pos + length); // exact size for ASan
        pos += length;
        const quint8 toolID = report.empty() ? 0 : report[0] >> 4;
        if (lengthByte & 0x80) streams.Unregister(toolID);
        if (streams.CheckCounter(toolID, report.size() > 1 ? report[1] : 0)) Sink = toolID;
        const TSampleAssembler::TResult result = assembler.Add(report.data(), int(report.size()));
        if (result.Step == TSampleAssembler::TStep::Sample) {
            streams.AdvanceCounter(toolID);
            ReadAll(result.Size, result.Data);
        }
    }
    return 0;
}
