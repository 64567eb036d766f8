#pragma once

#include "KelvraHIDTool.h"

#include <QtGlobal>

#include <array>
#include <optional>

// One byte of the IC's memory map that can be streamed.
struct TStreamItem {
    quint8 Address = 0;
    bool Enabled = false; // the byte is part of the stream
    int Position = 0;     // its offset in a streaming packet (bytes 0..2 are the header)
};

// Groups of stream items the user chooses, as bits of the selection code.
enum TStreamGroup : quint8 {
    sgCountSamples = 1,
    sgLTA = 2,
    sgProxTouch = 4, // never shown, always ticked; selects no item
    sgThresholds = 8,
};

// The choice of the streaming set-up dialog's check boxes.
struct TStreamChoice {
    bool CountSamples = true;
    bool LTA = true;
    bool ProxTouch = true;
    bool Thresholds = true;

    quint8 Code() const;
    static TStreamChoice FromCode(quint8 Code);
    // "Thresholds" stays ticked only while both Count Samples and LTA are.
    TStreamChoice WithThresholdsRule() const;
};

// The values a sample carries for the display.
enum class TStreamValue { SystemFlags, Count0, Count1, LTA0, LTA1, Multipliers0, Compensation0 };

// Where a value lies in a packet: one byte, or a high and a low byte.
struct TValuePlace {
    int High;
    int Low = -1; // -1: a one-byte value
};

// The table of stream items, the address list that starts streaming, and where each value
// lands in a streamed packet. Over 1-Wire the IC streams a fixed set of 20 bytes; over I2C
// the stream is built from the chosen groups on top of a fixed set of items.
class TStreamLayout {
public:
    static constexpr int ItemCount = 24;

    TStreamLayout();

    // Rebuilds the Enabled flags, the positions and the address list.
    void SetupStreaming(bool Comms1Wire, const TStreamChoice& Choice);

    // The place of a value in a packet, or nothing when its gating item is not streamed or
    // its group is not ticked in Choice (the check boxes as they are when decoding).
    std::optional<TValuePlace> Find(TStreamValue Value, bool Comms1Wire,
                                    const TStreamChoice& Choice) const;
    // The position of an item, or nothing when it is not streamed (or there is no such item).
    std::optional<int> PositionOf(int Item) const;

    const std::array<TStreamItem, ItemCount + 1>& ActiveStream() const { return FActiveStream; }
    const TKvrByteArray& StreamBytes() const { return FStreamBytes; }
    int StreamLength() const { return FStreamLength; }
    quint8 BytesDec() const { return FBytesDec; }

private:
    std::array<TStreamItem, ItemCount + 1> FActiveStream{};
    std::array<int, ItemCount + 1> FStreamBreaks{};
    quint8 FBytesDec = 5;
    TKvrByteArray FStreamBytes{};
    int FStreamLength = 0;
};
