#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// What the operating system tells about one present HID interface.
struct THidDeviceInfo {
    QString Path; // identifies the interface while it stays plugged in
    quint16 VendorID = 0;
    quint16 ProductID = 0;
    QString ProductString;
    QString SerialNumber;
    int InputReportByteLength = 65;  // report-ID byte included
    int OutputReportByteLength = 65; // report-ID byte included
};

// One open handle on a HID interface. Every handle has its own input queue and receives
// every input report. Byte 0 of every report, read or written, is the report ID.
class THidHandle {
public:
    virtual ~THidHandle() = default;

    // Drops the reports waiting in this handle's input queue without blocking.
    virtual bool Flush() = 0;
    // Writes one output report; false when the device did not take it.
    virtual bool Write(const quint8* Data, int Length) = 0;
    // Reads one input report: its length, 0 when none came within TimeoutMs, -1 when the
    // device is gone or the handle failed.
    virtual int Read(quint8* Data, int Length, int TimeoutMs) = 0;
    // Makes a Read blocked in another thread return soon; later reads may still succeed.
    virtual void Interrupt() {}
};

// Access to the operating system's HID devices: the real one or a simulation.
class THidAccess {
public:
    virtual ~THidAccess() = default;

    virtual QList<THidDeviceInfo> Enumerate() = 0;
    // Opens the interface for shared reading and writing; on failure returns null and puts
    // the reason (permission denied, gone, busy, ...) into Error.
    virtual std::unique_ptr<THidHandle> Open(const QString& Path, QString& Error) = 0;

    // Called on the user-interface thread when devices may have come or gone; Listener
    // tells who installed it.
    std::function<void()> OnDevicesChanged;
    const void* Listener = nullptr;
};
