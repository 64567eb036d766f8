#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

class THidDevice;

constexpr int MaxStreamingDevices = 16;

// Per streaming tool ID, the packet counter expected next (0..255).
struct TStreamingCounter {
    std::vector<int> DevID;
    std::vector<int> Counter;
};

// The bookkeeping of the streaming dongles: a slot per started dongle, the packet counter
// expected next per tool ID, and the resynchronisation of counters after a stop.
class TStreamingRegistry {
public:
    struct TSlot {
        THidDevice* Device = nullptr; // an empty slot holds no device
        quint8 DeviceID = 0;
    };

    // A started dongle takes the first free slot and a counter expecting 0.
    void Register(THidDevice* Device, quint8 ToolID);
    // Empties the slots of a dongle that is being stopped (before the stop is sent).
    void ReleaseSlots(const THidDevice* Device);
    // The stop went through: the tool ID's counter goes and the streaming flag follows the
    // occupied slots.
    void Unregister(quint8 ToolID);
    // A streaming dongle is gone: its slots and their counters go.
    void Forget(const THidDevice* Device);

    bool Streams(const THidDevice* Device) const;
    int NumberOfDevices() const;
    const std::array<TSlot, MaxStreamingDevices>& Slots() const { return FSlots; }
    bool Started(quint8 ToolID) const { return CounterIndex(ToolID) >= 0; }

    // Compares a packet's counter with the one expected of its tool ID and takes it over;
    // true when the difference is a gap to report rather than a fresh start to forgive.
    bool CheckCounter(quint8 ToolID, quint8 Received);
    // A sample was delivered: the expected counter moves on, 255 wrapping to 0.
    void AdvanceCounter(quint8 ToolID);

    bool IsStreaming = false;
    TStreamingCounter StreamingCounter;
    bool JustStopped = false;
    bool JustFixed = false;

private:
    int CounterIndex(quint8 ToolID) const {
        const auto& ids = StreamingCounter.DevID;
        for (size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == ToolID) return int(i);
        return -1;
    }
    void RemoveCounter(quint8 ToolID);

    std::array<TSlot, MaxStreamingDevices> FSlots{};
};
