#include "SampleAssembler.h"

#include <algorithm>

namespace {
constexpr int BytesPerReport = 32;
constexpr int HeaderBytes = 3;
} // namespace

void TSampleAssembler::StartLongStreaming() {
    FDoLongStream = true;
    // Packets are numbered from 0; the last one carries what is left.
    FLongStreamingPackets =
        FLongStreamingLength > 0 ? (FLongStreamingLength - 1) / BytesPerReport : 0;
}

inline void TSampleAssembler::Append(const quint8* Data, int Size, int From, int Count) {
    const int available = std::clamp(Size - From, 0, Count);
    if (available > 0)
        std::copy_n(Data + From, available, FPacket.Packet.begin() + FPacket.PacketPos);
    std::fill_n(FPacket.Packet.begin() + FPacket.PacketPos + available, Count - available, 0);
    FPacket.PacketPos += Count;
}

TSampleAssembler::TResult TSampleAssembler::Add(const quint8* Data, int Size) {
    auto byteAt = [Data, Size](int k) -> quint8 { return k < Size ? Data[k] : 0; };

    int length; // sample bytes still to come, this report's included
    if (!FDoLongStream) {
        length = byteAt(2);
    } else if (byteAt(2) != FNextLongPacket) {
        Restart(); // out of sequence: the sample in progress is lost
        return {TStep::Dropped};
    } else if (FNextLongPacket < FLongStreamingPackets) {
        length = FLongStreamingLength;
        ++FNextLongPacket;
    } else {
        length = FLongStreamingLength % BytesPerReport == 0 ? BytesPerReport
                                                            : FLongStreamingLength % BytesPerReport;
    }

    if (FPacket.InProgress) {
        const int count = std::min(length, BytesPerReport);
        if (FPacket.PacketPos + count > PacketCapacity) {
            Restart(); // never grow past the buffer
            return {TStep::Dropped};
        }
        Append(Data, Size, HeaderBytes, count);
        if (length > BytesPerReport) return {TStep::InProgress};
        FPacket.InProgress = false;
        FNextLongPacket = 0;
        // Reports lost on the way leave a hole: zeros, not bytes of an earlier sample.
        if (FPacket.PacketPos < FPacket.PacketSize)
            std::fill(FPacket.Packet.begin() + FPacket.PacketPos,
                      FPacket.Packet.begin() + FPacket.PacketSize, 0);
        return {TStep::Sample, FPacket.Packet.data(), FPacket.PacketSize};
    }
    if (length > BytesPerReport) {
        if (length + HeaderBytes > PacketCapacity) {
            Restart(); // a sample longer than the buffer is never assembled
            return {TStep::Dropped};
        }
        FPacket.InProgress = true;
        FPacket.PacketSize = quint16(length + HeaderBytes);
        FPacket.PacketPos = 0;
        Append(Data, Size, 0, HeaderBytes + BytesPerReport);
        if (FDoLongStream) FPacket.Packet[2] = 0xFF;
        return {TStep::InProgress};
    }
    return {TStep::Sample, Data, quint16(std::min(Size, 0xFFFF))};
}

void TSampleAssembler::Restart() {
    FPacket.InProgress = false;
    FPacket.PacketPos = 0;
    FNextLongPacket = 0;
}
