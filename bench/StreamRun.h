#pragma once

#include "VirtualDongle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <sys/resource.h>
#include <thread>
#include <time.h>

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
