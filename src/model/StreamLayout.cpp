#include "StreamLayout.h"

#include <algorithm>

namespace {

constexpr std::array<quint8, TStreamLayout::ItemCount> Addresses = {
    0x10, 0x42, 0x43, 0x83, 0x84, 0x44, 0x45, 0x85, 0x86, 0x46, 0x47, 0x60,
    0x61, 0x62, 0x63, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC};

constexpr int CountItems[] = {1, 2, 5, 6};
constexpr int LTAItems[] = {3, 4, 7, 8};
constexpr int ThresholdItems[] = {11, 12, 13, 14};
constexpr int FirstPosition = 3; // after the packet header
constexpr int ClearedBytes = 34;

} // namespace

quint8 TStreamChoice::Code() const {
    return quint8((CountSamples ? sgCountSamples : 0) | (LTA ? sgLTA : 0) |
                  (ProxTouch ? sgProxTouch : 0) | (Thresholds ? sgThresholds : 0));
}

TStreamChoice TStreamChoice::FromCode(quint8 Code) {
    return {bool(Code & sgCountSamples), bool(Code & sgLTA), bool(Code & sgProxTouch),
            bool(Code & sgThresholds)};
}

TStreamChoice TStreamChoice::WithThresholdsRule() const {
    TStreamChoice choice = *this;
    choice.Thresholds = Thresholds && CountSamples && LTA;
    return choice;
}

TStreamLayout::TStreamLayout() {
    for (int i = 0; i < ItemCount; ++i) {
        FActiveStream[size_t(i)].Address = Addresses[size_t(i)];
        FStreamBreaks[size_t(i)] = i;
    }
}

void TStreamLayout::SetupStreaming(bool Comms1Wire, const TStreamChoice& Choice) {
    std::fill_n(FStreamBytes.begin(), ClearedBytes, 0);
    FStreamLength = 0;

    auto enable = [this](const auto& Items, bool On) {
        for (int i : Items)
            FActiveStream[size_t(i)].Enabled = On;
    };
    if (Comms1Wire) {
        FBytesDec = 5;
        for (int i = 0; i < 20; ++i)
            FActiveStream[size_t(i)].Enabled = true; // 20..23 keep their flags: never walked
    } else {
        FBytesDec = 1;
        enable(std::array{0, 9, 10, 15, 16, 17, 18, 19, 20, 21, 22, 23}, true);
        enable(CountItems, Choice.CountSamples);
        enable(LTAItems, Choice.LTA);
        enable(ThresholdItems, Choice.Thresholds);
    }

    // One byte per streamed byte: the start address of each run of adjacent items, 0 for the
    // following bytes of a run, and 0 for a leading system-flags item.
    int position = FirstPosition;
    int previousBreak = 0;
    bool first = true;
    for (int i = 0; i <= ItemCount - FBytesDec; ++i) {
        TStreamItem& item = FActiveStream[size_t(i)];
        if (!item.Enabled) continue;
        item.Position = position++;
        quint8 address = 0;
        if (first)
            address = item.Address == 0x10 ? 0 : item.Address;
        else if (FStreamBreaks[size_t(i)] != previousBreak + 1)
            address = item.Address;
        FStreamBytes[size_t(FStreamLength++)] = address;
        previousBreak = FStreamBreaks[size_t(i)];
        first = false;
    }
}

std::optional<int> TStreamLayout::PositionOf(int Item) const {
    if (Item < 0 || Item >= ItemCount || !FActiveStream[size_t(Item)].Enabled) return std::nullopt;
    return FActiveStream[size_t(Item)].Position;
}

std::optional<TValuePlace> TStreamLayout::Find(TStreamValue Value, bool Comms1Wire,
                                               const TStreamChoice& Choice) const {
    // Over 1-Wire every value sits one item further on than its I2C item.
    const int w = Comms1Wire ? 1 : 0;
    auto enabled = [this](int Item) { return FActiveStream[size_t(Item)].Enabled; };
    auto place = [this, w](int High, int Low) -> TValuePlace {
        return {FActiveStream[size_t(High + w)].Position,
                Low < 0 ? -1 : FActiveStream[size_t(Low + w)].Position};
    };
    switch (Value) {
    case TStreamValue::SystemFlags:
        if (!enabled(0)) return std::nullopt;
        return place(0, -1);
    case TStreamValue::Count0:
    case TStreamValue::Count1:
        if (!enabled(1) || !Choice.CountSamples) return std::nullopt;
        return Value == TStreamValue::Count0 ? place(1, 2) : place(5, 6);
    case TStreamValue::LTA0:
    case TStreamValue::LTA1:
        if (!enabled(3) || !Choice.LTA) return std::nullopt;
        return Value == TStreamValue::LTA0 ? place(3, 4) : place(7, 8);
    case TStreamValue::Multipliers0:
        if (!enabled(16 + w)) return std::nullopt;
        return place(16, -1);
    case TStreamValue::Compensation0:
        if (!enabled(18 + w)) return std::nullopt;
        return place(18, -1);
    }
    return std::nullopt;
}
