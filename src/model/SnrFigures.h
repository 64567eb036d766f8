#pragma once

#include "CountStatistics.h"

#include <QString>

#include <optional>
#include <span>

// The figures of a signal-to-noise measurement: raw counts of one channel captured untouched
// and touched. Noise is the untouched spread; the signal the distance between the two means.
namespace Snr {

// One phase's counts.
using TPhase = TCountStatistics;

enum class TVerdict { Fail, Pass, Good };

// The SNR from which a capture passes, and from which it is good.
struct TLevels {
    double Pass = 5;
    double Good = 10;
};

// Empty, or why the levels cannot be used (each above 0, PASS not above GOOD).
QString CheckLevels(const TLevels& Levels);
// Empty, or why a touch threshold cannot be used (a count from 1 to 65535).
QString CheckThreshold(double Threshold);

struct TFigures {
    TPhase Untouched;
    TPhase Touched;
    double Signal = 0;                   // |mean touched - mean untouched|
    std::optional<double> SignalPercent; // of the untouched mean, unless that is 0
    std::optional<double> Ratio;         // Signal / untouched peak-to-peak, unless that is 0
    std::optional<double> Decibels;      // 20 log10 of the ratio, unless the signal is 0
    std::optional<double> MarginIn;      // threshold - untouched peak from mean
    std::optional<double> MarginOut;     // signal - threshold
    TVerdict Verdict = TVerdict::Fail;

    // "12.3:1", or "N/A (< 1 count)" when the untouched counts did not move.
    QString RatioText() const;
};

// Without a peak-to-peak noise the ratio is judged as if the noise were one count, the
// resolution of the counts. With a threshold, a PASS also needs both margins above 0.
TFigures Compute(std::span<const int> Untouched, std::span<const int> Touched,
                 const TLevels& Levels, std::optional<double> Threshold = std::nullopt);

QString VerdictText(TVerdict Verdict); // "FAIL", "PASS", "GOOD"

} // namespace Snr
