#include "ReplayIC.h"

TReplayIC::TReplayIC(TNextSample Next, double Speed) : FNext(std::move(Next)), FSpeed(Speed) {
    FPending = FNext();
    if (FPending) FFirstMs = FPending->TimeMs;
}

void TReplayIC::Advance(double Seconds) {
    if (Seconds < FLastSeconds) FPlayedSeconds += FLastSeconds; // a new stream
    FLastSeconds = Seconds;
    FClockMs = (FPlayedSeconds + Seconds) * 1000 * FSpeed;
}

bool TReplayIC::Streams() const {
    // The recorded IC streamed, over whichever link: its STREAM bit is not asked for again.
    return Powered() && !InTestMode() && FPending && FPending->TimeMs - *FFirstMs <= FClockMs;
}

QByteArray TReplayIC::Sample(const QByteArray& /*AddressList*/) {
    if (!FPending) return {};
    const QByteArray bytes = FPending->Bytes;
    FLost = FPending->Lost;
    FPending = FNext();
    return bytes;
}
