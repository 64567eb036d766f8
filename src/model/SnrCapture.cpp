#include "SnrCapture.h"

#include "SnrFigures.h"

#include <algorithm>
#include <cmath>

namespace {
// A count this far from the untouched mean (in untouched peak-to-peaks, at least MinOnset
// counts) starts a touch.
constexpr int OnsetNoises = 2;
constexpr int MinOnset = 3;
} // namespace

TSnrCapture::TSnrCapture(int Channel, int Samples)
    : FChannel(std::clamp(Channel, 0, 1)), FSamples(std::max(Samples, MinSamples)) {}

int TSnrCapture::Taken() const {
    return FStep >= TStep::WaitingForTouch ? int(FTouched.size()) : int(FUntouched.size());
}

void TSnrCapture::CaptureNow() {
    if (FStep != TStep::Settling) return;
    FStep = TStep::Untouched;
    FCaptureNow = true;
}

void TSnrCapture::Cancel() {
    if (!Finished()) FStep = TStep::Cancelled;
}

void TSnrCapture::Fail(const QString& Why) {
    if (!Finished()) Invalidate(Why);
}

void TSnrCapture::Invalidate(const QString& Why) {
    FStep = TStep::Invalid;
    FReason = Why;
}

void TSnrCapture::Add(const TDecodedSample& Sample, bool Missed, double TimeMs) {
    if (Finished()) return;
    if (!Sample.CountShown) {
        Invalidate("The stream has no counts: tick Count Samples in the streaming set-up.");
        return;
    }
    if (FStep == TStep::Settling) {
        Settle(Sample);
        if (FStep == TStep::Settling) return;
    }
    const quint8 flags = Sample.SysFlags.value_or(0);
    if (Missed) return Invalidate("Samples were lost during the capture (a counter gap).");
    if (flags & sfRFNoise) return Invalidate("RF noise was detected during the capture.");
    if (flags & sfATIBusy)
        return Invalidate("The IC re-calibrated (ATI busy) during the capture: it was reset.");

    const int count = Sample.Counts[size_t(FChannel)];
    if (FStep == TStep::Untouched && (flags & sfActivation) && !FCaptureNow) {
        ++FTouchedRestarts;
        FUntouched.clear();
        FStrip.clear();
        FLTAs.clear();
        FStep = TStep::Settling;
        return;
    }
    FStrip << count;
    switch (FStep) {
    case TStep::Untouched:
        FUntouched << count;
        if (FUntouched.size() < FSamples) return;
        {
            const Snr::TPhase untouched = Describe(FUntouched);
            FBaseline = untouched.Mean;
            FNoise = untouched.PeakToPeak;
        }
        FStep = TStep::WaitingForTouch;
        return;
    case TStep::WaitingForTouch:
        WaitForTouch(count, TimeMs);
        return;
    case TStep::Touched:
        if (std::abs(count - FBaseline) < FPlateau / 2)
            return Invalidate("The touch was released before the capture finished.");
        FTouched << count;
        if (FTouched.size() >= FSamples) FStep = TStep::Done;
        return;
    default:
        return;
    }
}

void TSnrCapture::Settle(const TDecodedSample& Sample) {
    if (!Sample.LTAShown) {
        // Without the LTA the IC's settling cannot be seen: capture at once.
        FStep = TStep::Untouched;
        return;
    }
    const quint8 flags = Sample.SysFlags.value_or(0);
    if (flags & sfActivation) { // the LTA halts while touched: steady, but not settled
        FLTAs.clear();
        return;
    }
    const bool busy = flags & sfATIBusy;
    FLTAs << Sample.LTAs[size_t(FChannel)];
    if (FLTAs.size() > SettleWindow + 1) FLTAs.removeFirst();
    if (busy || FLTAs.size() <= SettleWindow) return;
    const auto [min, max] = std::minmax_element(FLTAs.begin(), FLTAs.end());
    if (*max - *min < 1) FStep = TStep::Untouched;
}

void TSnrCapture::WaitForTouch(int Count, double TimeMs) {
    const double onset = std::max(OnsetNoises * FNoise, MinOnset);
    if (FRising.isEmpty() && std::abs(Count - FBaseline) < onset) return;
    FRising << Count;
    FRisingTimes << TimeMs;
    // The window: the last PlateauMs, at least MinPlateauWindow samples.
    const qsizetype n = FRising.size();
    qsizetype first = n;
    while (first > 0 &&
           (n - first < MinPlateauWindow || FRisingTimes[first - 1] >= TimeMs - PlateauMs))
        --first;
    if (n - first < MinPlateauWindow || TimeMs - FRisingTimes[first] < PlateauMs * 0.9) return;
    const auto distance = [this](qsizetype From, qsizetype To) {
        double sum = 0;
        for (qsizetype i = From; i < To; ++i)
            sum += std::abs(FRising[i] - FBaseline);
        return sum / double(To - From);
    };
    const qsizetype middle = (first + n) / 2;
    if (std::abs(distance(middle, n) - distance(first, middle)) > std::max(FNoise / 2.0, 1.0))
        return;
    FPlateau = distance(first, n);
    if (FPlateau < onset) { // it went back: no touch after all
        FRising.clear();
        FRisingTimes.clear();
        return;
    }
    // The transition is dropped: the capture starts with the plateau found, so that the
    // noise while touched is not the ramp's.
    const auto plateau = FRising.begin() + first;
    FTouchedStart = int(FStrip.size() - (n - first));
    FTouched = QList<int>(plateau, plateau + std::min<qsizetype>(n - first, FSamples));
    FStrip.resize(FTouchedStart + FTouched.size()); // the strip ends with the capture
    FRising.clear();
    FRisingTimes.clear();
    FStep = FTouched.size() >= FSamples ? TStep::Done : TStep::Touched;
}
