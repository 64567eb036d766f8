#include "CountStatistics.h"

#include <algorithm>
#include <cmath>

TCountStatistics Describe(std::span<const int> Counts) {
    TCountStatistics s;
    s.N = int(Counts.size());
    if (Counts.empty()) return s;
    const auto [min, max] = std::minmax_element(Counts.begin(), Counts.end());
    s.Min = *min;
    s.Max = *max;
    s.PeakToPeak = s.Max - s.Min;
    double sum = 0;
    for (int c : Counts)
        sum += c;
    s.Mean = sum / s.N;
    double squares = 0;
    for (int c : Counts)
        squares += (c - s.Mean) * (c - s.Mean);
    s.StdDev = std::sqrt(squares / s.N);
    s.PeakFromMean = std::max(s.Max - s.Mean, s.Mean - s.Min);
    return s;
}
