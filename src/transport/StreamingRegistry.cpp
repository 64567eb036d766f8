#include "StreamingRegistry.h"

#include <algorithm>

void TStreamingRegistry::Register(THidDevice* Device, quint8 ToolID) {
    IsStreaming = true;
    const auto free = std::find_if(FSlots.begin(), FSlots.end(),
                                   [](const TSlot& s) { return s.Device == nullptr; });
    if (free != FSlots.end()) *free = {Device, ToolID};
    StreamingCounter.DevID.push_back(ToolID);
    StreamingCounter.Counter.push_back(0);
}

void TStreamingRegistry::ReleaseSlots(const THidDevice* Device) {
    for (TSlot& slot : FSlots)
        if (slot.Device == Device) slot = {};
}

void TStreamingRegistry::Unregister(quint8 ToolID) {
    if (NumberOfDevices() == 0) IsStreaming = false;
    if (CounterIndex(ToolID) >= 0) {
        RemoveCounter(ToolID);
        JustStopped = true;
    }
}

void TStreamingRegistry::Forget(const THidDevice* Device) {
    for (TSlot& slot : FSlots) {
        if (slot.Device != Device) continue;
        if (CounterIndex(slot.DeviceID) >= 0) {
            RemoveCounter(slot.DeviceID);
            JustStopped = true;
        }
        slot = {};
    }
    if (IsStreaming && NumberOfDevices() == 0) IsStreaming = false;
}

bool TStreamingRegistry::Streams(const THidDevice* Device) const {
    return Device && std::any_of(FSlots.begin(), FSlots.end(),
                                 [Device](const TSlot& s) { return s.Device == Device; });
}

int TStreamingRegistry::NumberOfDevices() const {
    return int(std::count_if(FSlots.begin(), FSlots.end(),
                             [](const TSlot& s) { return s.Device != nullptr; }));
}

bool TStreamingRegistry::CheckCounter(quint8 ToolID, quint8 Received) {
    const int index = CounterIndex(ToolID);
    if (index < 0) return false;
    int& expected = StreamingCounter.Counter[size_t(index)];
    if (expected == Received) return false;
    const bool freshStart = JustStopped && (expected == 0 || expected == 1);
    expected = Received;
    if (freshStart) {
        JustStopped = false;
        JustFixed = true; // a freshly started dongle: resynchronise silently
        return false;
    }
    if (JustFixed) {
        JustFixed = false;
        return false;
    }
    return true;
}

void TStreamingRegistry::AdvanceCounter(quint8 ToolID) {
    const int index = CounterIndex(ToolID);
    if (index < 0) return;
    int& counter = StreamingCounter.Counter[size_t(index)];
    counter = counter + 1 > 255 ? 0 : counter + 1;
}

void TStreamingRegistry::RemoveCounter(quint8 ToolID) {
    const int index = CounterIndex(ToolID);
    StreamingCounter.DevID.erase(StreamingCounter.DevID.begin() + index);
    StreamingCounter.Counter.erase(StreamingCounter.Counter.begin() + index);
}
