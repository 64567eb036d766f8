#pragma once

#include "Event.h"
#include "FuseBanks.h"
#include "SampleDecoder.h"
#include "ScopeMarkers.h"
#include "StreamLayout.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <array>
#include <optional>

class TKelvraHidTool;
class TPXS731Device;

// Where the stream's request and the decoder's choice come from: the streaming set-up dialog
// in the window, the command line in the companion.
class TStreamSetUp {
public:
    virtual ~TStreamSetUp() = default;
    virtual const TStreamLayout& Layout() const = 0;
    virtual TStreamChoice Choice() const = 0;
    // Rebuilds the stream for a link type.
    virtual void SetupStreaming(bool Comms1Wire) = 0;
};

// A stream set-up chosen once: what the companion streams.
class TFixedStreamSetUp : public TStreamSetUp {
public:
    explicit TFixedStreamSetUp(TStreamChoice Choice = TStreamChoice::FromCode(15));
    const TStreamLayout& Layout() const override { return FLayout; }
    TStreamChoice Choice() const override { return FChoice; }
    void SetupStreaming(bool Comms1Wire) override { FLayout.SetupStreaming(Comms1Wire, FChoice); }

private:
    TStreamChoice FChoice;
    TStreamLayout FLayout;
};

// What a run reports besides its state: a line for the message list, or a warning the user
// must acknowledge (the window shows it as a dialog).
enum class TRunMessage { Info, Error, Warning };

// The state of a run, the one thing the run controls follow. In debug mode Streaming stays
// set: the stream comes back when debug mode ends.
struct TRunState {
    bool DongleUsable = false; // the selected dongle was accepted
    bool Link1Wire = true;
    bool CTSetup = false;
    bool PowerOn = false;
    bool Streaming = false;
    bool Paused = false;
    bool DebugMode = false;
    // A run holds the link from its start until it is stopped, fails or its dongle goes;
    // switching the power off alone does not give it back.
    bool LinkHeld = false;
    // The run's dongle went; the run is put back when the dongle returns in time.
    bool Waiting = false;

    bool Running() const { return Streaming || Paused || DebugMode; }
    // The dongle streams (not paused, not in debug mode).
    bool StreamRunning() const { return Streaming && !DebugMode; }
    bool operator==(const TRunState&) const = default;
};

// The four strap settings, in the order they are read and written.
struct TStraps {
    static constexpr std::array<quint8, 4> Addresses{0x53, 0x79, 0x7A, 0xDF};
    std::array<quint8, 4> Values{};
};

// The time a run's dongle was away, from its unplugging to the run being put back.
struct TDongleAbsence {
    QString Serial;
    QDateTime Gone;
    QDateTime Back;

    // "Dongle SIM000001 away from 2026-12-11T03:20:01.123Z to ...Z (2.3 s)"
    QString Text() const;
};

// One run of the IC on the selected dongle: set-up, power, start, pause, stop, debug mode with
// its banks, and the engineering reads and writes. It is the one place that changes the run's
// state; the windows and the command-line companion call it and show what it reports.
class TRunSession : public QObject {
    Q_OBJECT
public:
    // Streams what a TFixedStreamSetUp of every group streams until another set-up is used.
    explicit TRunSession(TKelvraHidTool& Tool, QObject* Parent = nullptr);
    ~TRunSession() override;

    // The set-up (kept by the caller) the stream's request and decoding follow from now on.
    void UseStreamSetUp(TStreamSetUp& SetUp);
    const TStreamSetUp& StreamSetUp() const { return *FSetUp; }

    TPXS731Device& Device() { return *FDevice; }
    TKelvraHidTool& Tool() { return FTool; }
    const TRunState& State() const { return FState; }
    // The banks last written, put back at the next debug-mode entry.
    const FuseBanks::TBanks& SavedBanks() const { return FSavedBanks; }

    // The state changed; the run controls follow it.
    TEvent<> OnStateChanged;
    TEvent<const QString&, TRunMessage> OnMessage;
    // A decoded sample with the bytes it came in (header included).
    TEvent<const TDecodedSample&, const quint8*, int> OnSample;
    TEvent<> OnDataMissed;
    TEvent<const QString&> OnStreamingError;
    // The link changed (the stream layout is rebuilt for it).
    TEvent<bool> OnLinkChanged;
    // The IC's version was read: "PP : SS".
    TEvent<const QString&> OnVersion;
    // The run was put back after its dongle returned; the samples of the absence are missing.
    TEvent<const TDongleAbsence&> OnRunRestored;
    // Something worth a mark at the current sample: a write to the IC, the power, supply or
    // link changed, a system flag changed ("Bank 2 = 0x5A", "Touch on").
    TEvent<TMarkKind, const QString&> OnMark;

    // The selected dongle was accepted or refused.
    void SetDongleUsable(bool Usable);
    // The dongles changed: the selected one needs a new set-up.
    void DevicesChanged();
    // The selected dongle went away: a powered IC or a run is over without a command, or,
    // with a reconnect limit, waits for the dongle to return.
    void DongleGone();
    // How long a run waits for its dongle to return; 0 ends it at once.
    void SetReconnectLimit(int Ms) { FReconnectMs = std::max(Ms, 0); }
    int ReconnectLimit() const { return FReconnectMs; }
    // The serial of the dongle the run waits for; empty when it waits for none.
    QString WaitingFor() const { return FKept ? FKept->Serial : QString(); }
    // The selected dongle was accepted after the dongles changed: when it is the one the run
    // waits for, the run is put back once the dongle has stayed for RestoreSettleMs.
    void DongleReady();
    static constexpr int RestoreSettleMs = 250;
    // Sets the dongle up for the link; an IC an earlier program left powered is taken as it
    // is (the dongle refuses a set-up while it powers the IC).
    bool SetUpDongle();

    // Link and supply. SetLink switches the IC off, as a change of link needs; ChooseLink
    // picks the link of a session that has not touched the IC yet.
    void SetLink(bool OneWire);
    void ChooseLink(bool OneWire);
    bool SetSupply(bool Supply3V3);

    // Run control. Start and Resume report a failure with a warning as well. Stop and the
    // power end the wait for a dongle instead.
    bool Start(bool Debug);
    void Stop();
    bool PowerOn();
    void PowerOff();
    bool Pause();
    bool Resume();
    // The streaming set-up changed: a running stream restarts with it.
    void RestartStreaming();
    // A run whose stream broke off ends as a failed start does: IC off, state idle.
    void EndBrokenRun();
    // Handles the samples that have arrived by now rather than when the reader next hands
    // them over: a display that refreshes every frame calls it first, so that one wake-up of
    // the user-interface thread serves both.
    void TakeArrivedSamples();
    // "Device power is off!" when it is.
    bool CheckPower();
    // The user's own mark at the current sample.
    void Mark(const QString& Text) { OnMark(TMarkKind::User, Text); }

    // Debug mode: the banks shown on entry (saved ones written back), nothing when the entry
    // failed and the run ended.
    std::optional<FuseBanks::TBanks> EnterDebugMode();
    bool WriteBanks(const FuseBanks::TBanks& Banks);
    // Banks 0 to 3 as the IC has them.
    std::optional<std::array<quint8, 4>> ReadBanks();
    // Powers the IC off, forgets banks 0 to 3 and enters debug mode again.
    std::optional<FuseBanks::TBanks> RestoreDefaults();
    // Writes the banks and streams again with them in force; debug mode ends either way.
    // True when both the write and the return to streaming succeeded.
    bool LeaveDebugMode(const FuseBanks::TBanks& Banks);

    // Engineering tools. Reads pause a running stream and restart it; no address reports
    // "No address specified!" in the same place.
    std::optional<TStraps> ReadStraps();
    bool WriteStraps(const TStraps& Straps);
    std::optional<quint8> ReadMemory(std::optional<quint8> Address);
    bool WriteMemory(quint8 Address, quint8 Value);
    std::optional<quint8> ReadIndirect(std::optional<quint8> Address);
    bool WriteIndirect(quint8 Address, quint8 Value);
    // The IC's version bytes (product, software), reported as a message line.
    std::optional<std::array<quint8, 2>> ReadVersion();

private:
    // What a run was when its dongle went.
    struct TKeptRun {
        QString Serial;
        TRunState State;
        bool DebugStart = false;
        bool StartLink1Wire = true; // the link the run was started on
        QDateTime Gone;
    };

    void Configure();
    void Changed();
    void Tell(const QString& Text, TRunMessage Kind);
    bool Report(quint16 Result); // a failure's error text; true on success
    void Decode(const quint8* Data, int Size);
    quint16 StartStream();
    bool PrepareDebugStart();
    bool StreamFromTestMode();
    bool EnterTestModeWithBanks(FuseBanks::TBanks& Banks);
    void FailStart();
    bool PauseStream();
    bool RestartStream();
    void EndWait(const QString& Text, TRunMessage Kind);
    void RestoreRun();
    bool PutBack(const TKeptRun& Run);

    TKelvraHidTool& FTool;
    TFixedStreamSetUp FOwnSetUp;
    TStreamSetUp* FSetUp = &FOwnSetUp;
    TPXS731Device* FDevice;
    TRunState FState;
    bool FReturnTo1Wire = false; // a debug start switched the link from 1-Wire
    bool FDebugStart = false;
    QString FRunSerial; // the dongle that powers the IC
    int FReconnectMs = 0;
    std::optional<TKeptRun> FKept;
    QTimer FWaitTimer;
    QTimer FRestoreTimer;
    FuseBanks::TBanks FSavedBanks{};
    std::optional<quint8> FShownFlags; // the system flags of the last sample, for their marks
    std::array<TSubscription, 3> FDeviceEvents;
};
