#pragma once

#include <QtGlobal>

#include <array>

// Turns the streaming reports of the dongles into samples. A sample that fits one report
// is that report; a longer one (ordinary streaming: byte 2 counts the bytes still to come;
// long streaming: byte 2 numbers the packets) is put together in one 32768-byte buffer.
// Bytes in, samples and dropped reports out: it knows nothing of devices or counters.
class TSampleAssembler {
public:
    static constexpr int PacketCapacity = 32768;

    struct TStreamingPacket {
        std::array<quint8, PacketCapacity> Packet{};
        quint16 PacketSize = 0;
        int PacketPos = 0;
        bool InProgress = false;
    };

    enum class TStep {
        Sample,     // Data and Size hold a complete sample, header bytes 0..2 included
        InProgress, // the report went into a sample that is not complete yet
        Dropped,    // the report was out of sequence or would overflow the buffer
    };
    struct TResult {
        TStep Step;
        const quint8* Data = nullptr;
        quint16 Size = 0;
    };

    // Takes one streaming report: data bytes without the report ID.
    TResult Add(const quint8* Data, int Size);
    // Drops the sample in progress.
    void Restart();

    // Long streaming: every sample has LongStreamingLength bytes, sent as numbered packets.
    void SetLongStreamingLength(quint16 Length) { FLongStreamingLength = Length; }
    quint16 LongStreamingLength() const { return FLongStreamingLength; }
    void StartLongStreaming();
    void StopLongStreaming() { FDoLongStream = false; }
    bool DoLongStream() const { return FDoLongStream; }
    // Number of the last packet of a long-streaming sample.
    int LongStreamingPackets() const { return FLongStreamingPackets; }

    const TStreamingPacket& Packet() const { return FPacket; }

private:
    void Append(const quint8* Data, int Size, int From, int Count);

    TStreamingPacket FPacket;
    quint16 FLongStreamingLength = 0;
    int FLongStreamingPackets = 0;
    bool FDoLongStream = false;
    int FNextLongPacket = 0;
};
