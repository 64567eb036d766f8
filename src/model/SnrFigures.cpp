#include "SnrFigures.h"

#include <algorithm>
#include <cmath>

namespace Snr {

QString CheckLevels(const TLevels& Levels) {
    if (!(Levels.Pass > 0) || !(Levels.Good > 0)) return "The SNR levels must be above 0.";
    if (Levels.Pass > Levels.Good) return "The PASS level must not be above the GOOD level.";
    return {};
}

QString CheckThreshold(double Threshold) {
    if (!(Threshold >= 1 && Threshold <= 65535))
        return "The touch threshold must be a count from 1 to 65535.";
    return {};
}

QString TFigures::RatioText() const {
    if (!Ratio) return "N/A (< 1 count)";
    return QString::number(*Ratio, 'f', 1) + ":1";
}

TFigures Compute(std::span<const int> Untouched, std::span<const int> Touched,
                 const TLevels& Levels, std::optional<double> Threshold) {
    TFigures f;
    f.Untouched = Describe(Untouched);
    f.Touched = Describe(Touched);
    f.Signal = std::abs(f.Touched.Mean - f.Untouched.Mean);
    if (f.Untouched.Mean != 0) f.SignalPercent = 100 * f.Signal / f.Untouched.Mean;
    if (f.Untouched.PeakToPeak > 0) {
        f.Ratio = f.Signal / f.Untouched.PeakToPeak;
        if (f.Signal > 0) f.Decibels = 20 * std::log10(*f.Ratio);
    }
    const double judged = f.Signal / std::max(f.Untouched.PeakToPeak, 1);
    f.Verdict = judged >= Levels.Good   ? TVerdict::Good
                : judged >= Levels.Pass ? TVerdict::Pass
                                        : TVerdict::Fail;
    if (Threshold) {
        f.MarginIn = *Threshold - f.Untouched.PeakFromMean;
        f.MarginOut = f.Signal - *Threshold;
        if (*f.MarginIn <= 0 || *f.MarginOut <= 0) f.Verdict = TVerdict::Fail;
    }
    return f;
}

QString VerdictText(TVerdict Verdict) {
    switch (Verdict) {
    case TVerdict::Good:
        return "GOOD";
    case TVerdict::Pass:
        return "PASS";
    case TVerdict::Fail:
        break;
    }
    return "FAIL";
}

} // namespace Snr
