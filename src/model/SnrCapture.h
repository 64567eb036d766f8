#pragma once

#include "SampleDecoder.h"

#include <QList>
#include <QString>

// A signal-to-noise capture on the samples of a run, one channel's raw counts: it waits until
// the IC has settled, takes the untouched samples, waits for a touch to reach its plateau and
// takes as many touched samples. A lost sample, RF noise or a re-calibration in between makes
// it invalid, with the reason. A touch the IC reports (its activation flag) keeps it settling,
// and takes an untouched capture back to settling: noise measured across a touch is no noise.
// After Capture now the flag is not looked at, for an IC that reads as touched while tuned.
class TSnrCapture {
public:
    enum class TStep { Settling, Untouched, WaitingForTouch, Touched, Done, Invalid, Cancelled };

    static constexpr int MinSamples = 100;
    static constexpr int DefaultSamples = 500;
    static constexpr int SettleWindow = 50; // the LTA moved less than a count over these
    // A touch has reached its plateau when the mean of its counts moved less than half the
    // untouched noise (at least a count) between the two halves of the last PlateauMs (a
    // window of at least MinPlateauWindow samples).
    static constexpr double PlateauMs = 200;
    static constexpr int MinPlateauWindow = 10;

    // Channel 0 or 1; Samples per phase, at least MinSamples.
    TSnrCapture(int Channel, int Samples);

    // The next sample of the run, and when it came; Missed: samples were lost just before it.
    void Add(const TDecodedSample& Sample, bool Missed, double TimeMs);
    // Starts the untouched capture without waiting for the IC to settle or the touch to end.
    void CaptureNow();
    void Cancel();
    // Ends the capture as invalid: samples stopped coming, the dongle went.
    void Fail(const QString& Why);

    TStep Step() const { return FStep; }
    bool Finished() const { return FStep >= TStep::Done; }
    // Samples taken in the phase under way (or the last one).
    int Taken() const;
    int Samples() const { return FSamples; }
    int Channel() const { return FChannel; }
    QString InvalidReason() const { return FReason; }
    // How often a touch sent the untouched capture back to settling.
    int TouchedRestarts() const { return FTouchedRestarts; }

    const QList<int>& UntouchedCounts() const { return FUntouched; }
    const QList<int>& TouchedCounts() const { return FTouched; }
    // Every count from the start of the untouched capture to the end of the touched one, and
    // where the touched capture starts in it.
    const QList<int>& Strip() const { return FStrip; }
    int TouchedStart() const { return FTouchedStart; }

private:
    void Settle(const TDecodedSample& Sample);
    void WaitForTouch(int Count, double TimeMs);
    void Invalidate(const QString& Why);

    int FChannel;
    int FSamples;
    TStep FStep = TStep::Settling;
    bool FCaptureNow = false;
    int FTouchedRestarts = 0;
    QString FReason;
    QList<int> FLTAs; // the last SettleWindow + 1
    QList<int> FUntouched;
    QList<int> FTouched;
    QList<int> FStrip;
    int FTouchedStart = 0;      // in the strip
    QList<int> FRising;         // counts since the touch began
    QList<double> FRisingTimes; // and when they came
    double FBaseline = 0;       // untouched mean
    int FNoise = 0;             // untouched peak-to-peak
    double FPlateau = 0;        // distance of the touched counts from the baseline
};
