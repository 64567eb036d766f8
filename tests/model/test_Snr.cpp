#include "SnrCapture.h"
#include "SnrFigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace Snr;

TEST(SnrFigures, FromFixedSampleSets) {
    const std::vector<int> untouched{1000, 1002, 998, 1001, 999}; // mean 1000, Npp 4
    const std::vector<int> touched{960, 962, 958, 960, 960};      // mean 960
    const std::vector<int> outlier{1000, 1000, 1000, 1000, 1020}; // mean 1004, Npp 20
    const std::vector<int> flat{1000, 1000, 1000};
    const std::vector<int> flatTouched{990, 990, 990};
    const std::vector<int> zeros{0, 0, 0};
    const std::vector<int> full{65535, 65535, 65535};
    struct Case {
        const char* name;
        std::vector<int> untouched, touched;
        std::optional<double> threshold;
        const char* ratio;
        TVerdict verdict;
        double signal;
    } const cases[] = {
        {"good", untouched, touched, {}, "10.0:1", TVerdict::Good, 40},
        {"a single outlier dominates peak-to-peak",
         outlier,
         touched,
         {},
         "2.2:1",
         TVerdict::Fail,
         44},
        {"no noise: judged against one count",
         flat,
         flatTouched,
         {},
         "N/A (< 1 count)",
         TVerdict::Good,
         10},
        {"no noise, no signal", flat, flat, {}, "N/A (< 1 count)", TVerdict::Fail, 0},
        {"no noise, a small signal", flat, {997, 997}, {}, "N/A (< 1 count)", TVerdict::Fail, 3},
        {"counts at 0 and 65535", zeros, full, {}, "N/A (< 1 count)", TVerdict::Good, 65535},
        {"threshold inside both margins", untouched, touched, 20.0, "10.0:1", TVerdict::Good, 40},
        {"threshold above the signal", untouched, touched, 45.0, "10.0:1", TVerdict::Fail, 40},
        {"threshold inside the noise", untouched, touched, 2.0, "10.0:1", TVerdict::Fail, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TFigures f = Compute(c.untouched, c.touched, TLevels{}, c.threshold);
        EXPECT_EQ(f.RatioText(), c.ratio);
        EXPECT_EQ(f.Verdict, c.verdict);
        EXPECT_DOUBLE_EQ(f.Signal, c.signal);
    }

    const TFigures f = Compute(untouched, touched, TLevels{}, 20.0);
    EXPECT_EQ(f.Untouched.PeakToPeak, 4);
    EXPECT_DOUBLE_EQ(f.Untouched.PeakFromMean, 2);
    EXPECT_DOUBLE_EQ(f.Untouched.StdDev, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(*f.SignalPercent, 4);
    EXPECT_DOUBLE_EQ(*f.Decibels, 20);
    EXPECT_DOUBLE_EQ(*f.MarginIn, 18);
    EXPECT_DOUBLE_EQ(*f.MarginOut, 20);
    EXPECT_FALSE(Compute(zeros, full, TLevels{}).SignalPercent); // no percentage of 0
    EXPECT_EQ(Describe({}).N, 0);
}

TEST(SnrFigures, VerdictBandsAndBadSettings) {
    const std::vector<int> noise{100, 104}; // Npp 4, mean 102
    const struct {
        int touchedCount;
        TVerdict verdict;
    } bands[] = {
        {83, TVerdict::Fail}, {82, TVerdict::Pass}, {63, TVerdict::Pass}, {62, TVerdict::Good}};
    for (const auto& b : bands) {
        const std::vector<int> touched{b.touchedCount};
        EXPECT_EQ(Compute(noise, touched, TLevels{}).Verdict, b.verdict) << b.touchedCount;
    }
    EXPECT_EQ(CheckLevels({5, 10}), "");
    EXPECT_EQ(CheckLevels({5, 5}), "");
    EXPECT_EQ(CheckLevels({12, 10}), "The PASS level must not be above the GOOD level.");
    EXPECT_EQ(CheckLevels({0, 10}), "The SNR levels must be above 0.");
    EXPECT_EQ(CheckLevels({std::nan(""), 10}), "The SNR levels must be above 0.");
    for (double bad : {0.0, -5.0, 65536.0, std::nan("")})
        EXPECT_FALSE(CheckThreshold(bad).isEmpty()) << bad;
    EXPECT_TRUE(CheckThreshold(65535).isEmpty());
}

// Samples of channel 0 with the LTA at Lta and the given flags.
TDecodedSample Sample(int Count, int Lta = 1000, quint8 Flags = 0) {
    TDecodedSample s;
    s.Counts = {Count, 0};
    s.LTAs = {Lta, 0};
    s.CountShown = s.LTAShown = true;
    s.SysFlags = Flags;
    return s;
}

// Noise of +-1 around a level.
int Noisy(int Level, int I) {
    return Level + (I % 3) - 1;
}

TEST(SnrCapture, PhasesOfATouch) {
    TSnrCapture capture(0, 100);
    double now = 0; // 100 samples per second
    const auto add = [&](const TDecodedSample& S) { capture.Add(S, false, now += 10); };
    // The LTA still moves: no capture yet; once it stood for 50 samples, the capture starts.
    for (int i = 0; i < 60; ++i)
        add(Sample(1000, 990 + i / 6));
    EXPECT_EQ(capture.Step(), TSnrCapture::TStep::Settling);
    for (int i = 0; i < 51; ++i)
        add(Sample(1000));
    ASSERT_EQ(capture.Step(), TSnrCapture::TStep::Untouched);
    // A touch during the untouched capture sends it back to settling, which waits for the
    // touch to end (the LTA halts meanwhile, so its standing still does not count).
    for (int i = 0; i < 40; ++i)
        add(Sample(Noisy(1000, i)));
    for (int i = 0; i < 80; ++i)
        add(Sample(900, 1000, sfActivation));
    EXPECT_EQ(capture.Step(), TSnrCapture::TStep::Settling);
    EXPECT_EQ(capture.TouchedRestarts(), 1);
    for (int i = 0; i < 51; ++i)
        add(Sample(1000));
    ASSERT_EQ(capture.Step(), TSnrCapture::TStep::Untouched);
    for (int i = 0; i < 100; ++i)
        add(Sample(Noisy(1000, i)));
    ASSERT_EQ(capture.Step(), TSnrCapture::TStep::WaitingForTouch);
    // Still untouched, then a ramp down towards 900, then the plateau.
    for (int i = 0; i < 30; ++i)
        add(Sample(Noisy(1000, i)));
    for (int i = 1; i <= 16; ++i)
        add(Sample(1000 - 6 * i));
    for (int i = 0; i < 100 && !capture.Finished(); ++i)
        add(Sample(Noisy(900, i)));
    ASSERT_EQ(capture.Step(), TSnrCapture::TStep::Done);
    // The touched capture starts with the plateau: of the ramp at most its last step, within
    // the plateau's noise, is in it.
    ASSERT_EQ(capture.TouchedCounts().size(), 100);
    EXPECT_LE(*std::max_element(capture.TouchedCounts().begin(), capture.TouchedCounts().end()),
              904);
    EXPECT_EQ(capture.UntouchedCounts().size(), 100);
    // Only the capture after the touch: nothing of the touch is in the untouched counts.
    EXPECT_EQ(capture.Strip().first(), 1000);
    EXPECT_EQ(*std::min_element(capture.UntouchedCounts().begin(), capture.UntouchedCounts().end()),
              999);
    EXPECT_EQ(capture.Strip()[capture.TouchedStart()], capture.TouchedCounts().first());
    EXPECT_EQ(capture.Strip().size(), capture.TouchedStart() + 100);
    const TFigures f =
        Compute(capture.UntouchedCounts(), capture.TouchedCounts(), TLevels{}, std::nullopt);
    EXPECT_NEAR(f.Signal, 100, 1);
    EXPECT_LE(f.Touched.PeakToPeak, 5);
}

TEST(SnrCapture, WhatMakesItInvalid) {
    struct Case {
        const char* name;
        TDecodedSample sample;
        bool missed;
        const char* reason;
    } const cases[] = {
        {"a counter gap", Sample(1000), true, "Samples were lost during the capture"},
        {"RF noise", Sample(1000, 1000, sfRFNoise), false, "RF noise was detected"},
        {"a reset", Sample(1000, 1000, sfATIBusy), false, "The IC re-calibrated"},
        {"released early", Sample(1000), false, "The touch was released"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSnrCapture capture(0, 100);
        double now = 0;
        const auto add = [&](const TDecodedSample& S, bool Missed = false) {
            capture.Add(S, Missed, now += 10);
        };
        capture.CaptureNow();
        for (int i = 0; i < 100; ++i)
            add(Sample(Noisy(1000, i)));
        for (int i = 0; i < 30; ++i) // touched, plateau reached
            add(Sample(Noisy(900, i)));
        ASSERT_EQ(capture.Step(), TSnrCapture::TStep::Touched);
        add(c.sample, c.missed);
        EXPECT_EQ(capture.Step(), TSnrCapture::TStep::Invalid);
        EXPECT_TRUE(capture.InvalidReason().startsWith(c.reason))
            << capture.InvalidReason().toStdString();
    }
    // No counts streamed; samples stopped; cancelled.
    TSnrCapture noCounts(0, 10);
    noCounts.Add(TDecodedSample{}, false, 0);
    EXPECT_TRUE(noCounts.InvalidReason().contains("Count Samples"));
    TSnrCapture stopped(1, 100);
    stopped.Fail("No samples came for 2 s: the stream stopped.");
    EXPECT_EQ(stopped.Step(), TSnrCapture::TStep::Invalid);
    TSnrCapture cancelled(0, 100);
    cancelled.Cancel();
    cancelled.Fail("later");
    EXPECT_EQ(cancelled.Step(), TSnrCapture::TStep::Cancelled);
    EXPECT_EQ(TSnrCapture(0, 1).Samples(), TSnrCapture::MinSamples);
    // After Capture now, an IC that reads as touched all along is captured as it is.
    TSnrCapture forced(0, 100);
    forced.CaptureNow();
    for (int i = 0; i < 100; ++i)
        forced.Add(Sample(Noisy(1000, i), 1000, sfActivation), false, i * 10.0);
    EXPECT_EQ(forced.Step(), TSnrCapture::TStep::WaitingForTouch);
}

} // namespace
