#include "RunControls.h"

TRunControls RunControls(const TRunState& State, bool SupplyAdjustable) {
    TRunControls c;
    const bool running = State.Running();
    const bool usable = State.DongleUsable;
    const bool i2cRun = running && !State.Link1Wire;
    c.StateName = State.Waiting     ? "Waiting for dongle"
                  : State.DebugMode ? "Debug mode"
                  : State.Paused    ? "Paused"
                  : State.Streaming ? "Streaming"
                  : State.PowerOn   ? "Powered"
                                    : "Idle";
    c.Start = State.DebugMode ? "Resume" : running || State.Waiting ? "Stop" : "Start";
    c.Pause = State.Paused ? "Resume" : "Pause";
    c.Power = State.PowerOn || State.Waiting ? "Power Off" : "Power On";
    c.StartEnabled = usable || State.Waiting;
    if (State.Waiting) { // Stop and Power end the wait; nothing else touches the run
        c.PowerEnabled = true;
        return c;
    }
    c.StartDebugEnabled = usable && !running;
    c.PauseEnabled = usable && running && !State.DebugMode;
    c.PowerEnabled = usable && !State.DebugMode;
    c.StreamSetupEnabled = usable && !State.DebugMode;
    c.LinkEnabled = !State.LinkHeld;
    c.SupplyEnabled = SupplyAdjustable && !State.DebugMode;
    c.EnterDebugEnabled = i2cRun && !State.DebugMode;
    c.StrapsEnabled = i2cRun;
    c.DebugEditsEnabled = State.DebugMode;
    return c;
}
