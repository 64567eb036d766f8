#pragma once

#include "RunSession.h"

#include <QString>

// What the run controls show for a run's state: captions and enabled states, in one place.
struct TRunControls {
    // "Idle", "Powered", "Streaming", "Paused", "Debug mode" or "Waiting for dongle"
    QString StateName;
    QString Start; // "Start", "Stop" or, in debug mode, "Resume"
    QString Pause; // "Pause" or "Resume"
    QString Power; // "Power On" or "Power Off"
    bool StartEnabled = false;
    bool StartDebugEnabled = false;
    bool PauseEnabled = false;
    bool PowerEnabled = false;
    bool StreamSetupEnabled = false;
    bool LinkEnabled = false;
    bool SupplyEnabled = false;
    bool EnterDebugEnabled = false; // over I2C while a run is on, outside debug mode
    bool StrapsEnabled = false;     // over I2C while a run is on
    bool DebugEditsEnabled = false; // the bank editor and its buttons
};

// SupplyAdjustable: the selected dongle can change the IC's supply.
TRunControls RunControls(const TRunState& State, bool SupplyAdjustable);
