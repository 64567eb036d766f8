#pragma once

#include "HidAccess.h"

#include <QObject>

class QSocketNotifier;
class QTimer;
struct udev;
struct udev_monitor;

// The real HID devices, through hidapi's hidraw backend. Device changes come from a udev
// monitor on the hidraw subsystem, or from periodic re-enumeration where udev is missing.
class THidApiAccess : public QObject, public THidAccess {
    Q_OBJECT
public:
    explicit THidApiAccess(QObject* Parent = nullptr);
    ~THidApiAccess() override;

    QList<THidDeviceInfo> Enumerate() override;
    std::unique_ptr<THidHandle> Open(const QString& Path, QString& Error) override;

private:
    void StartMonitor();
    void UdevEvent();
    void NotifyChanged();

    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    QSocketNotifier* FNotifier = nullptr;
    QTimer* FDebounce;
};
