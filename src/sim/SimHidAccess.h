#pragma once

#include "HidAccess.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// One virtual HID interface. Every open handle has its own input queue and receives every
// input report, as real HID handles do.
class TSimHidDevice {
public:
    using TClock = std::chrono::steady_clock;

    explicit TSimHidDevice(THidDeviceInfo Info);
    virtual ~TSimHidDevice() = default;

    const THidDeviceInfo& Info() const { return FInfo; }
    bool PluggedIn() const { return FPluggedIn; }

    // Puts a report (byte 0 = report ID) into every open handle's queue, readable after Delay.
    void SendInputReport(const QByteArray& Report, TClock::duration Delay = {});
    int OpenHandleCount() const;

    // Reports a handle holds before new ones are dropped, as a kernel's report ring does.
    static constexpr size_t QueueCapacity = 4096;

    // Makes opening fail with this reason (empty: opening works).
    void SetOpenError(const QString& Error) { FOpenError = Error; }
    // Makes the next Count reads, on any handle, fail as a passing I/O error does.
    void FailReads(int Count) { FFailingReads = Count; }

protected:
    // An output report written to any handle, on the writer's thread.
    virtual void OutputReport(const quint8* /*Data*/, int /*Length*/) {}
    // The device has just been unplugged.
    virtual void Unplugged() {}

private:
    friend class TSimHidAccess;
    friend class TSimHidHandle;

    struct TQueue {
        std::mutex Lock;
        std::condition_variable Arrived;
        std::deque<std::pair<TClock::time_point, QByteArray>> Reports;
        bool Gone = false;
        bool Interrupted = false;
    };

    std::shared_ptr<TQueue> AddQueue();
    void RemoveQueue(const std::shared_ptr<TQueue>& Queue);
    void SetGone();

    THidDeviceInfo FInfo;
    QString FOpenError;
    std::atomic<bool> FPluggedIn{false};
    std::atomic<int> FFailingReads{0};
    mutable std::mutex FQueuesLock;
    std::vector<std::shared_ptr<TQueue>> FQueues;
};

// Simulated HID access: virtual devices plugged and unplugged at run time.
class TSimHidAccess : public QObject, public THidAccess {
    Q_OBJECT
public:
    explicit TSimHidAccess(QObject* Parent = nullptr);
    ~TSimHidAccess() override;

    // Plugging and unplugging report a device change once the event loop runs.
    void Plug(const std::shared_ptr<TSimHidDevice>& Device);
    void Unplug(const std::shared_ptr<TSimHidDevice>& Device);

    QList<THidDeviceInfo> Enumerate() override;
    std::unique_ptr<THidHandle> Open(const QString& Path, QString& Error) override;

private:
    void NotifyChanged();

    std::vector<std::shared_ptr<TSimHidDevice>> FDevices;
    int FNextPath = 0;
};
