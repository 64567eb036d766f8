#include "ScopeBuffers.h"

void TScopeBuffers::AddXY(int Slot, double X, double Y) {
    if (Slot < 0 || Slot >= SlotCount) return;
    TSlot& slot = FSlots[std::size_t(Slot)];
    if (FNrOfChartPoints > Capacity || FMaxPoints) {
        FMaxPoints = true;
        FNrOfChartPoints = Capacity;
        slot.Head = (slot.Head + 1) % Capacity; // the oldest point goes
    }
    if (FNrOfChartPoints <= 0) return;
    slot.Points[std::size_t((slot.Head + FNrOfChartPoints - 1) % Capacity)] = {X, Y};
    slot.Changed = true;
    // Points nobody took for a whole buffer's worth are dropped in halves, at no cost per point.
    if (slot.New.size() >= std::size_t(2 * Capacity))
        slot.New.erase(slot.New.begin(), slot.New.begin() + Capacity);
    slot.New.push_back({X, Y});
}

TScopeBuffers::TPoint TScopeBuffers::At(int Slot, int Index) const {
    const TSlot& slot = FSlots[std::size_t(Slot)];
    return slot.Points[std::size_t((slot.Head + Index) % Capacity)];
}

std::vector<TScopeBuffers::TPoint> TScopeBuffers::TakeNew(int Slot) {
    std::vector<TPoint> taken;
    taken.reserve(64);
    taken.swap(FSlots[std::size_t(Slot)].New);
    return taken;
}
