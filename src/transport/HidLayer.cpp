#include "HidLayer.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {
constexpr int ReaderPollMs = 100; // how often a waiting reader looks at its stop flag
constexpr int FirstRetryMs = 1;   // a failed read is retried after this, doubling up to
constexpr int LastRetryMs = 100;  // this, until a read succeeds or the reader is stopped
// Reports are handed to the user-interface thread at most this often, the ones that came
// meanwhile together: one wake-up per batch instead of one per report.
constexpr auto BatchInterval = std::chrono::milliseconds(20);
} // namespace

THidDevice::THidDevice(THidLayer& Layer, THidDeviceInfo Info)
    : FLayer(Layer), FInfo(std::move(Info)) {}

THidDevice::~THidDevice() {
    Close();
}

void THidDevice::Open(THidAccess& Access) {
    QString error;
    FHandle = Access.Open(FInfo.Path, error);
    if (FHandle) FReaderHandle = Access.Open(FInfo.Path, error);
    if (!FHandle || !FReaderHandle) {
        FHandle.reset();
        FReaderHandle.reset();
        FOpenError = error.isEmpty() ? QStringLiteral("cannot be opened") : error;
    }
}

bool THidDevice::FlushQueue() {
    return FHandle && FHandle->Flush();
}

bool THidDevice::WriteReport(const quint8* Data, int Length) {
    return FHandle && FHandle->Write(Data, Length);
}

int THidDevice::ReadReport(quint8* Data, int Length, int TimeoutMs) {
    return FHandle ? FHandle->Read(Data, Length, TimeoutMs) : -1;
}

void THidDevice::StartReader() {
    if (FReader.joinable() || !FReaderHandle || !FPluggedIn) return;
    // Reports that came while nobody was reading are stale by now.
    FReaderHandle->Flush();
    FStopReader = false;
    FReader = std::thread(&THidDevice::ReaderLoop, this);
}

void THidDevice::StopReader() {
    RequestReaderStop();
    JoinReader();
}

void THidDevice::RequestReaderStop() {
    if (!FReader.joinable()) return;
    {
        std::lock_guard lock(FStopLock);
        FStopReader = true;
    }
    FStopped.notify_all();
    FReaderHandle->Interrupt();
}

void THidDevice::JoinReader() {
    if (!FReader.joinable()) return;
    FReader.join();
    // Reports not yet handed over belong to a reader that no longer runs.
    std::lock_guard lock(FPendingLock);
    FPending.clear();
}

void THidDevice::Close() {
    StopReader();
    FReaderHandle.reset();
    FHandle.reset();
}

void THidDevice::ReaderLoop() {
    using TClock = std::chrono::steady_clock;
    QByteArray buffer(std::max(FInfo.InputReportByteLength, 1), '\0');
    int retryMs = FirstRetryMs;
    TClock::time_point lastHandOver;
    bool handOverDue = false; // reports came since the last hand-over
    int emptyReads = 0;       // in a row, while a drain is asked for
    while (!FStopReader) {
        // A drain asked for: what the handle holds is read without waiting. Two empty reads
        // in a row tell it holds nothing (one may be an interrupted wait).
        const quint64 drain = FDrainsAsked;
        const bool draining = drain != FDrainsDone;
        int waitMs = draining ? 0 : ReaderPollMs;
        if (handOverDue) {
            const TClock::time_point lastPull{TClock::duration(FLastPull.load())};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                std::max(lastHandOver + BatchInterval, lastPull + PulledBatchInterval) -
                TClock::now());
            if (left.count() <= 0) {
                HandOver();
                lastHandOver = TClock::now();
                handOverDue = false;
            } else if (!draining) {
                waitMs = int(left.count());
            }
        }
        const int n = FReaderHandle->Read(reinterpret_cast<quint8*>(buffer.data()),
                                          int(buffer.size()), waitMs);
        if (n < 0) {
            // A device that is gone is closed by the next change pass, which stops this
            // reader; any other failure may pass, so keep trying, ever more slowly.
            std::unique_lock lock(FStopLock);
            FStopped.wait_for(lock, std::chrono::milliseconds(retryMs),
                              [this] { return bool(FStopReader); });
            retryMs = std::min(retryMs * 2, LastRetryMs);
            continue;
        }
        retryMs = FirstRetryMs;
        emptyReads = n == 0 && draining ? emptyReads + 1 : 0;
        if (emptyReads == 2) {
            emptyReads = 0;
            {
                std::lock_guard lock(FPendingLock);
                FDrainsDone = drain;
            }
            FDrained.notify_all();
        }
        if (n == 0) continue;
        std::lock_guard lock(FPendingLock);
        if (FPending.size() >= MaxPendingReports) FPending.pop_front();
        FPending.emplace_back(buffer.constData(), n);
        handOverDue = true;
    }
}

void THidDevice::HandOver() {
    std::lock_guard lock(FPendingLock);
    if (FDeliveryPosted || FPending.empty()) return; // the posted call takes them too
    FDeliveryPosted = true;
    QMetaObject::invokeMethod(this, &THidDevice::DeliverPending, Qt::QueuedConnection);
}

void THidDevice::DeliverPending() {
    std::deque<QByteArray> reports;
    {
        std::lock_guard lock(FPendingLock);
        reports.swap(FPending);
        FDeliveryPosted = false;
    }
    const QPointer<THidDevice> self(this);
    for (const QByteArray& report : reports) {
        // A handler may remove itself, or close or free this device, meanwhile.
        if (!self || !FReader.joinable()) return;
        FLayer.Deliver(this, report);
    }
}

void THidDevice::DeliverArrived() {
    FLastPull = std::chrono::steady_clock::now().time_since_epoch().count();
    DeliverPending();
}

void THidDevice::DeliverAllRead(int TimeoutMs) {
    if (!FReader.joinable()) return;
    const quint64 asked = ++FDrainsAsked;
    FReaderHandle->Interrupt(); // a reader waiting for a report looks at once
    {
        std::unique_lock lock(FPendingLock);
        FDrained.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                          [&] { return FDrainsDone >= asked || FStopReader; });
    }
    DeliverPending();
}

THidLayer::THidLayer(THidAccess& Access, QObject* Parent) : QObject(Parent), FAccess(Access) {
    for (THidDeviceInfo& info : FAccess.Enumerate())
        FPresent.push_back(std::make_unique<THidDevice>(*this, std::move(info)));
    FAccess.OnDevicesChanged = [this] { HandleChange(false); };
    FAccess.Listener = this;
    QTimer::singleShot(0, this, [this] { HandleChange(true); });
}

THidLayer::~THidLayer() {
    if (FAccess.Listener == this) { // a newer layer may listen by now
        FAccess.OnDevicesChanged = nullptr;
        FAccess.Listener = nullptr;
    }
    StopReaders();
    // The devices close their handles as they are freed.
}

void THidLayer::SetDataHandler(TDataHandler Handler) {
    FDataHandler = std::move(Handler);
    if (!FDataHandler) {
        StopReaders();
        return;
    }
    for (auto& d : FPresent)
        if (d->FClaimed) d->StartReader();
}

void THidLayer::StopReaders() {
    // Every reader is told first and waited for after, so they wind down together.
    for (auto& d : FPresent)
        d->RequestReaderStop();
    for (auto& d : FPresent)
        d->JoinReader();
}

void THidLayer::DeviceChange() {
    HandleChange(false);
}

void THidLayer::Enumerate(const std::function<bool(THidDevice*, int)>& Visitor) {
    for (size_t i = 0; i < FPresent.size(); ++i)
        if (!Visitor(FPresent[i].get(), int(i))) return;
}

THidDevice* THidLayer::Claim(int Index) {
    if (Index < 0 || Index >= Count()) return nullptr;
    THidDevice* device = FPresent[size_t(Index)].get();
    if (!device->FClaimed) {
        device->FClaimed = true;
        device->Open(FAccess);
        if (FDataHandler) device->StartReader();
    }
    return device;
}

void THidLayer::Release(THidDevice* Device) {
    auto owns = [Device](const std::unique_ptr<THidDevice>& d) { return d.get() == Device; };
    auto gone = std::find_if(FGoneClaimed.begin(), FGoneClaimed.end(), owns);
    if (gone != FGoneClaimed.end()) {
        FGoneClaimed.erase(gone);
        return;
    }
    auto present = std::find_if(FPresent.begin(), FPresent.end(), owns);
    if (present != FPresent.end()) {
        // Still plugged in: it stays present, unclaimed and closed.
        (*present)->Close();
        (*present)->FClaimed = false;
        (*present)->FOpenError.clear();
    }
}

void THidLayer::HandleChange(bool StartUp) {
    // A change that comes while a pass runs (from a handler's nested event loop) is not
    // lost: the running pass makes one more when it ends.
    if (FInChange) {
        FChangePending = true;
        return;
    }
    FInChange = true;
    do {
        FChangePending = false;
        ChangePass(StartUp);
        StartUp = false;
    } while (FChangePending);
    FInChange = false;
}

void THidLayer::ChangePass(bool StartUp) {
    const QList<THidDeviceInfo> now = FAccess.Enumerate();
    bool changed = false;

    // Drop the devices that vanished; claimed ones wait for their owner to release them.
    for (auto it = FPresent.begin(); it != FPresent.end();) {
        const bool present = std::any_of(now.begin(), now.end(), [&](const THidDeviceInfo& i) {
            return i.Path == (*it)->FInfo.Path;
        });
        if (present) {
            ++it;
            continue;
        }
        changed = true;
        (*it)->FPluggedIn = false;
        (*it)->Close();
        if ((*it)->FClaimed) FGoneClaimed.push_back(std::move(*it));
        it = FPresent.erase(it);
    }

    for (const THidDeviceInfo& info : now) {
        const bool known = std::any_of(FPresent.begin(), FPresent.end(),
                                       [&](const auto& d) { return d->FInfo.Path == info.Path; });
        if (known) continue;
        changed = true;
        FPresent.push_back(std::make_unique<THidDevice>(*this, info));
        if (OnArrival) OnArrival(FPresent.back().get());
    }

    if ((changed || StartUp) && OnChange) OnChange();
}

void THidLayer::Deliver(THidDevice* Device, const QByteArray& Report) {
    if (!FDataHandler || Report.isEmpty()) return;
    FDataHandler(Device, quint8(Report[0]), reinterpret_cast<const quint8*>(Report.constData()) + 1,
                 int(Report.size()) - 1);
}
