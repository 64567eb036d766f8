#pragma once

#include "KelvraHIDTool.h"
#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <optional>
#include <sys/resource.h>
#include <thread>
#include <time.h>
#include <vector>

// CPU seconds used so far by the whole process.
inline double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used so far by the calling thread.
inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct TStreamRun {
    quint64 Sent;
    quint64 Lost;
    double AppCpuPercent; // of one core: the process less the thread that plays the dongle
    double UiCpuPercent;  // of one core: the user-interface thread alone
    quint64 Gaps = 0;     // data-missed reports, where counted
};

// Plays a streaming dongle in real time from a thread of its own for Seconds while this
// thread runs its event loop, then waits up to 2 s for Received to catch up.
inline TStreamRun PlayDongle(TVirtualDongle& Dongle, int Seconds, const quint64& Received) {
    std::atomic<bool> stop{false};
    double dongleCpu = 0;
    const double cpuBefore = ProcessCpuSeconds();
    const double uiBefore = ThreadCpuSeconds();
    std::thread player([&] {
        const double start = ThreadCpuSeconds();
        while (!stop) {
            Dongle.Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        dongleCpu = ThreadCpuSeconds() - start;
    });
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop; // the user-interface thread, between hand-overs
    QTimer::singleShot(Seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    stop = true;
    player.join();
    const qint64 elapsed = clock.elapsed();
    const quint64 sent = Dongle.SamplesSent();
    QElapsedTimer drain;
    drain.start();
    while (Received < sent && drain.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const double appCpu = ProcessCpuSeconds() - cpuBefore - dongleCpu;
    const double uiCpu = ThreadCpuSeconds() - uiBefore;
    const double seconds = double(elapsed) / 1000.0;
    return {sent, sent - Received, 100.0 * appCpu / seconds, 100.0 * uiCpu / seconds};
}

// Reception only: the simulated dongle streams at Rate through the background reader and the
// hand-over to the user-interface thread, and nothing but a count handles the samples.
inline std::optional<TStreamRun> ReceptionRun(int Rate, int Seconds) {
    TSimHidAccess hid;
    auto dongle = std::make_shared<TVirtualDongle>();
    dongle->SetAutoPump(false);
    dongle->SetSampleRate(Rate);
    hid.Plug(dongle);
    TKelvraDevList list(hid);
    list.Activate();
    QCoreApplication::processEvents();
    TKelvraHidTool tool;
    tool.SetKelvraDevList(&list);
    quint64 received = 0, missed = 0;
    auto counted = tool.OnStreaming.Subscribe([&](quint16, quint8, const quint8*) { ++received; });
    auto gaps = tool.OnStreamingDataMissed.Subscribe([&](quint8) { ++missed; });
    tool.SetICType(it649);
    tool.SetupComms(ctUART_1WIRE, csFast);
    tool.PowerOnDUT();
    TKvrByteArray list20{};
    if (tool.StartStreaming(20, list20) != 0) return std::nullopt;
    TStreamRun run = PlayDongle(*dongle, Seconds, received);
    run.Gaps = missed;
    return run;
}

// The middle one of some figures.
inline double Median(std::vector<double> Figures) {
    std::sort(Figures.begin(), Figures.end());
    return Figures.empty() ? 0 : Figures[Figures.size() / 2];
}
