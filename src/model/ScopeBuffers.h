#pragma once

#include <array>
#include <cstddef>
#include <vector>

// The scope window's trace buffers: 16 slots of the newest 5000 points each. A sample raises
// the shared point count once, then adds one point to each slot it feeds; once the count has
// passed the capacity, every point added drops the slot's oldest. Each slot is a ring, so a
// point costs the same however full the buffers are. The points added since the chart last
// took them are kept apart, so the chart is fed only what is new.
class TScopeBuffers {
public:
    static constexpr int SlotCount = 16;
    static constexpr int Capacity = 5000; // FMaxNrChartPoints

    struct TPoint {
        double X;
        double Y;
    };

    // The shared count of valid points, raised by one per sample before its points are added.
    int NrOfChartPoints() const { return FNrOfChartPoints; }
    void SetNrOfChartPoints(int Count) { FNrOfChartPoints = Count; }
    bool MaxPoints() const { return FMaxPoints; }
    bool Changed(int Slot) const { return FSlots[std::size_t(Slot)].Changed; }

    // Buffers a point of a slot (0..15); a slot outside that range is ignored.
    void AddXY(int Slot, double X, double Y);

    // The slot's point at Index (0 the oldest of the NrOfChartPoints valid ones).
    TPoint At(int Slot, int Index) const;
    // Hands over the points added to a slot since the last call, oldest first.
    std::vector<TPoint> TakeNew(int Slot);

private:
    struct TSlot {
        std::array<TPoint, Capacity> Points{};
        int Head = 0; // where index 0 lies in Points
        bool Changed = false;
        std::vector<TPoint> New;
    };

    std::array<TSlot, SlotCount> FSlots;
    int FNrOfChartPoints = 0;
    bool FMaxPoints = false;
};
