#pragma once

#include "HidAccess.h"

#include <QHash>

#include <array>

// Two HID accesses seen as one: the real devices and the simulator's side by side, so that
// a simulated dongle can be plugged in beside real ones at run time. Both must outlive it.
class TJoinedHidAccess : public THidAccess {
public:
    TJoinedHidAccess(THidAccess& First, THidAccess& Second);
    ~TJoinedHidAccess() override;
    TJoinedHidAccess(const TJoinedHidAccess&) = delete;
    TJoinedHidAccess& operator=(const TJoinedHidAccess&) = delete;

    QList<THidDeviceInfo> Enumerate() override;
    // Opens through the access that listed the path last.
    std::unique_ptr<THidHandle> Open(const QString& Path, QString& Error) override;

private:
    std::array<THidAccess*, 2> FParts;
    QHash<QString, THidAccess*> FListedBy;
};
