#pragma once

#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

// A stand-in for the maker's firmware updater: its entry (Kelvra/Upflare.ini), its
// minimum-version file and a small program, in a private temporary folder. Running the
// program "updates" the simulated dongle: it is unplugged, its firmware raised to its
// model's minimum, and plugged back after a short while, as a dongle re-enumerates.
class TSimUpdater : public QObject {
    Q_OBJECT
public:
    // Every model's minimum version is Minimum (the RF module's: its low byte).
    TSimUpdater(TSimHidAccess& Hid, std::shared_ptr<TVirtualDongle> Dongle, quint32 Minimum,
                QObject* Parent = nullptr);

    // The configuration folder that holds Kelvra/Upflare.ini; empty when it could not be made.
    QString ConfigFolder() const;
    // The dongle now plugged in.
    std::shared_ptr<TVirtualDongle> Dongle() const { return FDongle; }
    // How long the updated dongle stays away.
    int ReplugDelayMs = 500;

signals:
    void Updated();

private:
    void CheckRequest();

    TSimHidAccess& FHid;
    std::shared_ptr<TVirtualDongle> FDongle;
    quint32 FMinimum;
    QTemporaryDir FFolder;
    QFileSystemWatcher FWatcher;
};
