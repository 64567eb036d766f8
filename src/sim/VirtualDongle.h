#pragma once

#include "SimHidAccess.h"
#include "SimIC.h"

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <thread>

// What a virtual dongle is: model, identity, firmware, how fast it answers and streams.
struct TVirtualDongleConfig {
    quint16 VendorID = 0x2150;
    quint16 ProductID = 0x0102; // LK600
    QString Product = QStringLiteral("Kelvra LK600");
    QString Serial = QStringLiteral("SIM000001");
    quint32 Firmware = 0x0105;
    quint8 Build = 1;
    quint8 ToolID = 0;
    bool RFModule = false;
    std::chrono::microseconds Latency{0};
    int SampleRate = 100; // samples per second while streaming, up to 8000
};

// Misbehaviour on demand.
struct TDongleFaults {
    bool NoAnswer = false;                     // swallow every request
    bool GarbageReply = false;                 // answer with bytes that match nothing
    bool ShortReply = false;                   // answer with a report cut after its first two bytes
    int ExtraNonMatching = 0;                  // replies with other message IDs before the answer
    int StreamingBefore = 0;                   // streaming packets before the answer
    std::map<quint8, quint16> ErrorForCommand; // answer a command code with this error
    int FailAfter = -1; // answer the request after this many more with FailCode
    quint16 FailCode = 0;
    double DropShare = 0;       // share of streaming reports lost on the way
    bool DuplicateOne = false;  // the next streaming report arrives twice
    bool ReorderOne = false;    // the next two streaming reports arrive swapped
    quint16 StreamingError = 0; // sent once as an error report while streaming
};

// A configuration-tool dongle seen from its own side of the USB link. It keeps the state
// the commands set (IC type, supply, level shifter, comms, I2C configuration, stop bit,
// I/O lines, event mode), forwards comms and I2C transfers to its sensor IC, and streams
// samples of the IC's memory map with packet counters and multi-report samples. Commands
// arrive on the writer's thread; streaming runs on a pacer thread of its own, or is pumped
// by hand against an injected clock.
class TVirtualDongle : public TSimHidDevice {
public:
    using TClockFunction = std::function<TClock::time_point()>;

    // State that the commands leave behind.
    struct TState {
        quint16 ICType = 0;
        bool Powered = false;
        double Volts = 3.3;
        quint8 LevelShifter = 0;
        quint8 CommsType = 0; // wire code; 0 = not set up
        quint8 CommsSpeed = 0;
        quint32 I2CSpeedHz = 0;
        QByteArray I2CConfig;
        bool StopSuppressed = false;
        std::array<quint8, 16> IO{};
        bool EventMode = false;
        quint8 Led = 0;
        bool Streaming = false;
        bool LongStreaming = false;
        QByteArray StreamList;
        quint16 LongLength = 0;
        quint8 ToolID = 0;
    };

    static constexpr int MaxSampleRate = 8000;

    explicit TVirtualDongle(const TVirtualDongleConfig& Config = {},
                            std::shared_ptr<TSimIC> IC = std::make_shared<TRegisterIC>());
    ~TVirtualDongle() override;

    const TVirtualDongleConfig& Config() const { return FConfig; }
    const std::shared_ptr<TSimIC>& IC() const { return FIC; }
    TState State() const;
    TDongleFaults Faults() const;
    void SetFaults(const TDongleFaults& Faults);
    std::vector<QByteArray> Requests() const; // every request taken, report-ID byte included
    void ClearRequests();
    // Runs F on the IC while nothing else touches it.
    void WithIC(const std::function<void(TSimIC&)>& F);

    // Streaming pace: samples per second, the clock, and whether a thread of the dongle's
    // own produces the samples (otherwise Pump does, when called).
    void SetSampleRate(int Rate);
    void SetClock(TClockFunction Clock);
    void SetAutoPump(bool On);
    // Sends the samples due by now; returns how many.
    int Pump();
    quint64 SamplesSent() const;

    static std::optional<quint16> ProductIDOfModel(const QString& Model);

protected:
    void OutputReport(const quint8* Data, int Length) override;
    void Unplugged() override;

private:
    quint16 Execute(quint8 Code, const quint8* Request, QByteArray& Reply);
    quint16 StreamCommand(quint8 Code, const quint8* Request);
    QByteArray Report(quint8 Kind, quint8 MessageID) const;
    void StartStreamingLocked();
    void StopStreamingLocked();
    int PumpLocked(TClock::time_point Now);
    void SendSampleLocked(const QByteArray& Sample);
    void SendStreamReportLocked(const QByteArray& Report);
    void PacerLoop();
    void StopPacer();

    const TVirtualDongleConfig FConfig;
    std::shared_ptr<TSimIC> FIC;

    mutable std::mutex FLock; // guards everything below
    TState FState;
    TDongleFaults FFaults;
    std::vector<QByteArray> FRequests;
    QByteArray FStreamChunks; // start-streaming list received so far
    QByteArray FLongBuffer;   // long-buffer write received so far
    int FSampleRate;
    TClockFunction FClock = [] { return TClock::now(); };
    bool FAutoPump = true;
    TClock::time_point FStreamStart;
    quint64 FSamplesDue = 0;
    quint64 FSamplesSent = 0;
    quint8 FPacketCounter = 0;
    std::optional<QByteArray> FHeldReport;
    std::mt19937 FRandom{733};

    std::thread FPacer;
    std::condition_variable FPacerWake;
    bool FPacerStop = false;
};
