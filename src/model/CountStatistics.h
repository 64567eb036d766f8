#pragma once

#include <span>

// The spread of a run of counts: what the SNR figures and the scope's statistics strip show.
struct TCountStatistics {
    int N = 0;
    double Mean = 0;
    int Min = 0;
    int Max = 0;
    int PeakToPeak = 0;      // Max - Min
    double PeakFromMean = 0; // max |x - mean|
    double StdDev = 0;       // of the population
};

// All zero for no counts.
TCountStatistics Describe(std::span<const int> Counts);
