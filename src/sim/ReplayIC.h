#pragma once

#include "VirtualPXS733.h"

#include <QByteArray>

#include <functional>
#include <optional>

// A PXS733 that streams a recording instead of its own data: each sample's bytes at the time
// it was recorded (divided by Speed), with the recorded gaps. Everything else (supply, test
// mode, registers, version) is the virtual PXS733's. A stream that stops and starts again
// carries on where it stopped; after the last sample it streams nothing.
class TReplayIC : public TVirtualPXS733 {
public:
    struct TSample {
        double TimeMs = 0;
        int Lost = 0;     // samples lost just before this one
        QByteArray Bytes; // the sample without the dongle's header
    };
    // Called on the dongle's streaming thread for the next sample; nothing at the end.
    using TNextSample = std::function<std::optional<TSample>()>;

    TReplayIC(TNextSample Next, double Speed);

    bool Streams() const override;
    QByteArray Sample(const QByteArray& AddressList) override;
    int LostBeforeSample() const override { return FLost; }
    void Advance(double Seconds) override;

private:
    TNextSample FNext;
    double FSpeed;
    std::optional<TSample> FPending;
    std::optional<double> FFirstMs; // the recording's time of its first sample
    double FPlayedSeconds = 0;      // of the streams before the current one
    double FLastSeconds = 0;
    double FClockMs = 0; // recording time reached
    int FLost = 0;
};
