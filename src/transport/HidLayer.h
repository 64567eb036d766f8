#pragma once

#include "HidAccess.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class THidLayer;

// One HID interface as the application sees it: its identity and report lengths, a handle
// for request/reply transactions, and a background reader on a handle of its own that hands
// every input report to the user-interface thread.
class THidDevice : public QObject {
    Q_OBJECT
public:
    THidDevice(THidLayer& Layer, THidDeviceInfo Info);
    ~THidDevice() override;

    const THidDeviceInfo& Info() const { return FInfo; }
    quint16 VendorID() const { return FInfo.VendorID; }
    quint16 ProductID() const { return FInfo.ProductID; }
    QString ProductName() const { return FInfo.ProductString; }
    QString SerialNumber() const { return FInfo.SerialNumber; }
    int InputReportByteLength() const { return FInfo.InputReportByteLength; }
    int OutputReportByteLength() const { return FInfo.OutputReportByteLength; }
    bool PluggedIn() const { return FPluggedIn; }

    // Open state of a claimed device; OpenError tells why it could not be opened.
    bool IsOpen() const { return FHandle != nullptr; }
    QString OpenError() const { return FOpenError; }

    // Synchronous I/O on the transaction handle.
    bool FlushQueue();
    bool WriteReport(const quint8* Data, int Length);
    int ReadReport(quint8* Data, int Length, int TimeoutMs);

    // Has the reader read all its handle holds (waiting at most TimeoutMs for it) and hands
    // every report read to the data handler now: what a dongle sent before a stop is handled
    // before its stream is let go.
    void DeliverAllRead(int TimeoutMs);
    // Hands the reports the reader has queued to the data handler now. A caller that does so
    // at least every PulledBatchInterval (a display at each frame) keeps the reader from
    // waking the user-interface thread for them: one wake-up serves both.
    void DeliverArrived();
    static constexpr std::chrono::milliseconds PulledBatchInterval{30};

    // Reports queued by the reader and not yet handed over; beyond this the oldest go.
    static constexpr size_t MaxPendingReports = 1 << 16;

private:
    friend class THidLayer;

    void Open(THidAccess& Access);
    void StartReader();
    void StopReader();
    // Stopping in two steps lets several readers stop at once.
    void RequestReaderStop();
    void JoinReader();
    void Close();
    void ReaderLoop();
    // Posts the delivery of the pending reports, unless one is posted already.
    void HandOver();
    void DeliverPending();

    THidLayer& FLayer;
    THidDeviceInfo FInfo;
    bool FPluggedIn = true;
    bool FClaimed = false;
    QString FOpenError;
    std::unique_ptr<THidHandle> FHandle;
    std::unique_ptr<THidHandle> FReaderHandle;

    std::thread FReader;
    std::atomic<bool> FStopReader{false};
    std::mutex FStopLock; // wakes a reader waiting to retry
    std::condition_variable FStopped;
    std::mutex FPendingLock;
    std::deque<QByteArray> FPending;
    bool FDeliveryPosted = false; // guarded by FPendingLock
    // Drains asked of the reader and done by it; done is written under FPendingLock.
    std::atomic<quint64> FDrainsAsked{0};
    std::atomic<quint64> FDrainsDone{0};
    std::condition_variable FDrained;
    // When DeliverArrived last ran, in steady-clock ticks.
    std::atomic<std::chrono::steady_clock::rep> FLastPull{0};
};

// The HID devices present: enumeration, change notification with arrival indications,
// claiming, and the background readers feeding one data handler.
class THidLayer : public QObject {
    Q_OBJECT
public:
    using TDataHandler =
        std::function<void(THidDevice* Device, quint8 ReportID, const quint8* Data, int Size)>;

    // Enumerates silently, then reports the devices present once the event loop runs.
    explicit THidLayer(THidAccess& Access, QObject* Parent = nullptr);
    ~THidLayer() override;

    std::function<void()> OnChange;
    std::function<void(THidDevice* Device)> OnArrival;

    // Installing a handler starts a reader for every open claimed device; removing it
    // (an empty handler) stops and joins them all.
    void SetDataHandler(TDataHandler Handler);

    // Re-enumerates now, as on a change notification.
    void DeviceChange();

    int Count() const { return int(FPresent.size()); }
    // Visits every present device with its index until the visitor returns false.
    void Enumerate(const std::function<bool(THidDevice* Device, int Index)>& Visitor);
    // Claims the device at Index: opens it, and starts its reader when a handler is installed.
    THidDevice* Claim(int Index);
    // Frees a claimed device object.
    void Release(THidDevice* Device);

private:
    friend class THidDevice;

    void HandleChange(bool StartUp);
    void ChangePass(bool StartUp);
    void StopReaders();
    void Deliver(THidDevice* Device, const QByteArray& Report);

    THidAccess& FAccess;
    std::vector<std::unique_ptr<THidDevice>> FPresent;
    std::vector<std::unique_ptr<THidDevice>> FGoneClaimed; // unplugged, not yet released
    TDataHandler FDataHandler;
    bool FInChange = false;
    bool FChangePending = false;
};
