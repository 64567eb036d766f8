#pragma once

#include "SimHidAccess.h"

#include <map>
#include <optional>

// What a virtual dongle is: model, identity, firmware and how fast it answers.
struct TVirtualDongleConfig {
    quint16 VendorID = 0x2150;
    quint16 ProductID = 0x0102; // LK600
    QString Product = QStringLiteral("Kelvra LK600");
    QString Serial = QStringLiteral("SIM000001");
    quint32 Firmware = 0x0105;
    quint8 Build = 1;
    quint8 ToolID = 0;
    std::chrono::microseconds Latency{0};
};

// Misbehaviour on demand, for the answers to come.
struct TDongleFaults {
    bool NoAnswer = false;      // swallow every request
    bool GarbageReply = false;  // answer with bytes that match nothing
    bool ShortReply = false;    // answer with a report cut after its first two bytes
    int ExtraNonMatching = 0;   // replies with other message IDs before the answer
    int StreamingBefore = 0;    // streaming packets before the answer
    std::map<quint8, quint16> ErrorForCommand; // answer a command code with this error
};

// A configuration-tool dongle seen from its own side of the USB link: it takes output
// reports, echoes the message ID, puts its tool ID in the high nibble of byte 1 and
// answers errors with the low nibble 0xE and the 16-bit code.
class TVirtualDongle : public TSimHidDevice {
public:
    explicit TVirtualDongle(const TVirtualDongleConfig& Config = {});

    const TVirtualDongleConfig& Config() const { return FConfig; }
    TDongleFaults Faults;

    // Every request taken so far (report-ID byte included).
    const std::vector<QByteArray>& Requests() const { return FRequests; }

    // Model name and product ID of the dongles the simulator knows.
    static std::optional<quint16> ProductIDOfModel(const QString& Model);

protected:
    void OutputReport(const quint8* Data, int Length) override;

private:
    // Fills Reply (from byte 4 on) for a command; returns the dongle's error code or 0.
    quint16 Execute(quint8 Code, const quint8* Request, QByteArray& Reply);
    QByteArray Report(quint8 Kind, quint8 MessageID) const;

    TVirtualDongleConfig FConfig;
    std::vector<QByteArray> FRequests;
    quint8 FStreamCounter = 0;
};
