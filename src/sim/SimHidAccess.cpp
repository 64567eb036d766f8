#include "SimHidAccess.h"

#include <algorithm>
#include <cstring>

// A handle on a virtual device, with its own input queue.
class TSimHidHandle : public THidHandle {
public:
    explicit TSimHidHandle(std::shared_ptr<TSimHidDevice> Device)
        : FDevice(std::move(Device)), FQueue(FDevice->AddQueue()) {}
    ~TSimHidHandle() override { FDevice->RemoveQueue(FQueue); }

    bool Flush() override {
        std::lock_guard lock(FQueue->Lock);
        if (FQueue->Gone) return false;
        // Reports still on their way (not yet due) are not in the queue yet.
        const auto now = TSimHidDevice::TClock::now();
        while (!FQueue->Reports.empty() && FQueue->Reports.front().first <= now)
            FQueue->Reports.pop_front();
        return true;
    }

    bool Write(const quint8* Data, int Length) override {
        if (!FDevice->PluggedIn()) return false;
        FDevice->OutputReport(Data, Length);
        return true;
    }

    int Read(quint8* Data, int Length, int TimeoutMs) override {
        using namespace std::chrono;
        int failing = FDevice->FFailingReads;
        while (failing > 0 && !FDevice->FFailingReads.compare_exchange_weak(failing, failing - 1)) {
        }
        if (failing > 0) return -1;
        const auto deadline = TSimHidDevice::TClock::now() + milliseconds(std::max(TimeoutMs, 0));
        std::unique_lock lock(FQueue->Lock);
        for (;;) {
            if (FQueue->Gone) return -1;
            if (FQueue->Interrupted) {
                FQueue->Interrupted = false;
                return 0;
            }
            const auto now = TSimHidDevice::TClock::now();
            if (!FQueue->Reports.empty() && FQueue->Reports.front().first <= now) {
                const QByteArray report = std::move(FQueue->Reports.front().second);
                FQueue->Reports.pop_front();
                const int n = std::min(int(report.size()), Length);
                std::memcpy(Data, report.constData(), size_t(n));
                return n;
            }
            if (now >= deadline) return 0;
            auto wakeAt = deadline;
            if (!FQueue->Reports.empty()) wakeAt = std::min(wakeAt, FQueue->Reports.front().first);
            FQueue->Arrived.wait_until(lock, wakeAt);
        }
    }

    void Interrupt() override {
        std::lock_guard lock(FQueue->Lock);
        FQueue->Interrupted = true;
        FQueue->Arrived.notify_all();
    }

private:
    std::shared_ptr<TSimHidDevice> FDevice;
    std::shared_ptr<TSimHidDevice::TQueue> FQueue;
};

TSimHidDevice::TSimHidDevice(THidDeviceInfo Info) : FInfo(std::move(Info)) {}

void TSimHidDevice::SendInputReport(const QByteArray& Report, TClock::duration Delay) {
    const auto due = TClock::now() + Delay;
    std::lock_guard lock(FQueuesLock);
    for (const auto& queue : FQueues) {
        std::lock_guard queueLock(queue->Lock);
        if (queue->Reports.size() >= QueueCapacity)
            continue; // nobody reads this handle fast enough: the report is lost for it
        // Reports keep their order even when a later one has a shorter delay.
        const auto at = queue->Reports.empty() ? due : std::max(due, queue->Reports.back().first);
        queue->Reports.emplace_back(at, Report);
        queue->Arrived.notify_all();
    }
}

int TSimHidDevice::OpenHandleCount() const {
    std::lock_guard lock(FQueuesLock);
    return int(FQueues.size());
}

std::shared_ptr<TSimHidDevice::TQueue> TSimHidDevice::AddQueue() {
    auto queue = std::make_shared<TQueue>();
    queue->Gone = !FPluggedIn;
    std::lock_guard lock(FQueuesLock);
    FQueues.push_back(queue);
    return queue;
}

void TSimHidDevice::RemoveQueue(const std::shared_ptr<TQueue>& Queue) {
    std::lock_guard lock(FQueuesLock);
    FQueues.erase(std::remove(FQueues.begin(), FQueues.end(), Queue), FQueues.end());
}

void TSimHidDevice::SetGone() {
    FPluggedIn = false;
    {
        std::lock_guard lock(FQueuesLock);
        for (const auto& queue : FQueues) {
            std::lock_guard queueLock(queue->Lock);
            queue->Gone = true;
            queue->Arrived.notify_all();
        }
    }
    Unplugged();
}

TSimHidAccess::TSimHidAccess(QObject* Parent) : QObject(Parent) {}

TSimHidAccess::~TSimHidAccess() {
    for (const auto& device : FDevices)
        device->SetGone();
}

void TSimHidAccess::Plug(const std::shared_ptr<TSimHidDevice>& Device) {
    Device->FInfo.Path = QStringLiteral("sim:%1").arg(FNextPath++);
    Device->FPluggedIn = true;
    FDevices.push_back(Device);
    NotifyChanged();
}

void TSimHidAccess::Unplug(const std::shared_ptr<TSimHidDevice>& Device) {
    const auto it = std::find(FDevices.begin(), FDevices.end(), Device);
    if (it == FDevices.end()) return;
    FDevices.erase(it);
    Device->SetGone();
    NotifyChanged();
}

QList<THidDeviceInfo> TSimHidAccess::Enumerate() {
    QList<THidDeviceInfo> infos;
    for (const auto& device : FDevices)
        infos.append(device->Info());
    return infos;
}

std::unique_ptr<THidHandle> TSimHidAccess::Open(const QString& Path, QString& Error) {
    const auto it = std::find_if(FDevices.begin(), FDevices.end(),
                                 [&](const auto& d) { return d->Info().Path == Path; });
    if (it == FDevices.end()) {
        Error = QStringLiteral("device gone");
        return nullptr;
    }
    if (!(*it)->FOpenError.isEmpty()) {
        Error = (*it)->FOpenError;
        return nullptr;
    }
    return std::make_unique<TSimHidHandle>(*it);
}

void TSimHidAccess::NotifyChanged() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (OnDevicesChanged) OnDevicesChanged();
        },
        Qt::QueuedConnection);
}
