// The live display of the main window.
//  - Sample handler: samples through the session and the main window's handler (decode,
//    labels, indicators, bar series) with the window shown offscreen (items = samples); the
//    flags change every 64 samples (each change marks the scope) or never.
//  - Bar repaint: a bar timer tick with a new count: the bars' layer and the rows it changed.
//  - Value labels: the count, LTA and delta labels with new values, repainted.
//  - Window end to end: the simulated dongle streams at 8000 and at 1000 samples/s for 10 s to
//    the shown main window, which repaints its bar graph on its timer, without and with the
//    scope window shown too. Reports the samples lost and the CPU used by the application
//    side (the process minus the thread that plays the dongle) and by its user-interface
//    thread alone.
//  - Window over reception: the window with the scope and the reception-only run of
//    bench_stream at the same rate, five pairs in turns; their median CPU and the ratio.
#include "BenchApplication.h"
#include "KelvraPXS731.h"
#include "ScopeUnit.h"
#include "StreamRun.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

namespace {

void BM_SampleHandler(benchmark::State& State) {
    Application app(100);
    // A 1-Wire sample whose values change from sample to sample and whose flags change every
    // Arg samples, as touches come and go (never with 0: no sample is marked).
    const quint32 flagPeriod = quint32(State.range(0));
    std::array<quint8, 23> sample{};
    quint16 count = 1000;
    quint32 n = 0;
    for (auto _ : State) {
        count = quint16(900 + (count + 37) % 200);
        if (++n == flagPeriod) n = 0, sample[4] = quint8(sample[4] ^ 0xC8);
        sample[5] = quint8(count >> 8), sample[6] = quint8(count);
        sample[7] = 0x03, sample[8] = 0xE8;
        app.form->PXS731Device1->OnStreaming(quint16(sample.size()), 0, sample.data());
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_SampleHandler)->Arg(64)->Arg(0);

// What the bar timer repaints 50 times a second while a run streams: the bars' layer with a
// new count and the rows of the chart that changed (items = repaints).
void BM_BarRepaint(benchmark::State& State) {
    Application app(100);
    int count = 1000;
    for (auto _ : State) {
        count = 900 + (count + 37) % 200;
        app.form->Series1->setData({0.0}, {double(count)});
        QMetaObject::invokeMethod(app.form->BarTimer, "timeout"); // a tick
        QCoreApplication::sendPostedEvents();                     // the repaint
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_BarRepaint)->Unit(benchmark::kMicrosecond);

// The count, LTA and delta labels with new values and their repaint, as at a bar timer tick
// of a stream whose counts wander over Arg values (items = repaints).
void BM_ValueLabels(benchmark::State& State) {
    Application app(100);
    TPXS733MainForm& f = *app.form;
    const int spread = int(State.range(0));
    for (QLabel* label : {f.CS0Lbl, f.LTA0Lbl, f.DT0Lbl})
        label->setEnabled(true); // live, as while a run streams
    int step = 0;
    for (auto _ : State) {
        step = (step + 37) % spread;
        f.CS0Lbl->setText(QString::number(1000 + step));
        f.LTA0Lbl->setText(QString::number(1000 + step / 8));
        f.DT0Lbl->setText(QString::number(step / 8 - step));
        QCoreApplication::sendPostedEvents(); // the repaint
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_ValueLabels)->Arg(16)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The shown main window streaming at Rate for Seconds, with the scope window shown or not.
std::optional<TStreamRun> WindowRun(int Rate, bool Scope, int Seconds) {
    Application app(Rate);
    if (Scope) app.windows->ScopeForm->show();
    quint64 received = 0;
    auto counted = app.form->PXS731Device1->OnStreaming.Subscribe(
        [&](quint16, quint8, const quint8*) { ++received; });
    app.form->StartButton->click();
    if (!app.form->Session->State().Streaming) return std::nullopt;
    return PlayDongle(*app.dongle, Seconds, received);
}

void BM_WindowEndToEnd(benchmark::State& State) {
    for (auto _ : State) {
        const std::optional<TStreamRun> run = WindowRun(int(State.range(0)), State.range(1), 10);
        if (!run) {
            State.SkipWithError("streaming did not start");
            return;
        }
        State.counters["samples_sent"] = double(run->Sent);
        State.counters["samples_lost"] = double(run->Lost);
        State.counters["app_cpu_percent_of_one_core"] = run->AppCpuPercent;
        State.counters["ui_thread_cpu_percent"] = run->UiCpuPercent;
    }
}
// Arguments: samples per second, and whether the scope window is shown as well.
BENCHMARK(BM_WindowEndToEnd)
    ->Args({8000, 0})
    ->Args({1000, 0})
    ->Args({8000, 1})
    ->Args({1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The window with the scope against reception only at the same rate, in turns, so that both
// see the same state of the machine: the medians of Arg(1) pairs of 10 s runs and their ratio.
void BM_WindowOverReception(benchmark::State& State) {
    const int rate = int(State.range(0));
    for (auto _ : State) {
        std::vector<double> window, reception;
        quint64 lost = 0;
        for (int i = 0; i < State.range(1); ++i) {
            const std::optional<TStreamRun> alone = ReceptionRun(rate, 10);
            const std::optional<TStreamRun> shown = WindowRun(rate, true, 10);
            if (!alone || !shown) {
                State.SkipWithError("streaming did not start");
                return;
            }
            reception.push_back(alone->AppCpuPercent);
            window.push_back(shown->AppCpuPercent);
            lost += alone->Lost + shown->Lost;
        }
        State.counters["window_cpu_percent"] = Median(window);
        State.counters["reception_cpu_percent"] = Median(reception);
        State.counters["ratio"] = Median(window) / Median(reception);
        State.counters["samples_lost"] = double(lost);
    }
}
BENCHMARK(BM_WindowOverReception)
    ->Args({1000, 5})
    ->Args({8000, 5})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home; // the settings of the benchmark's windows go nowhere that matters
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
