// The scope window.
//  - AddXY: one sample's point into full trace buffers (items = points).
//  - Refresh tick: one tick of a shown offscreen scope with 2 x 5000 points buffered, of which
//    the 800 that 100 ms bring at 8000 samples/s are new, including the replot.
#include "ModalDialogs.h"
#include "ScopeBuffers.h"
#include "ScopeUnit.h"
#include "SnrFigures.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

namespace {

struct StreamingHost : TScopeHost {
    bool ScopeStreaming() const override { return true; }
    bool ScopeDeltaOnly() const override { return false; }
    int ScopeChannelCount(int) const override { return 1000; }
    int ScopeChannelLTA(int) const override { return 990; }
    void ShowMainWindow() override {}
    QString ScopeIniFilePath() const override { return {}; }
    void ScopeLoadError() override {}
    void SettingsNotSaved(const QString&) override {}
    void ScopeUserMark(const QString&) override {}
};

void Feed(TScopeForm& Scope, int Samples) {
    for (int i = 0; i < Samples; ++i) {
        const int x = Scope.XPos();
        Scope.SetNrOfChartPoints(Scope.NrOfChartPoints() + 1);
        Scope.AddXY(0, x, 1000 + x % 37);
        Scope.AddXY(8, x, 990);
        Scope.SetXPos(x + 1);
    }
}

void BM_AddXY(benchmark::State& State) {
    TScopeBuffers buffers;
    int x = 0;
    for (; x < TScopeBuffers::Capacity + 1; ++x) {
        buffers.SetNrOfChartPoints(buffers.NrOfChartPoints() + 1);
        buffers.AddXY(0, x, x);
    }
    for (auto _ : State) {
        buffers.SetNrOfChartPoints(buffers.NrOfChartPoints() + 1);
        buffers.AddXY(0, x, x);
        ++x;
        if (x % 1024 == 0) buffers.TakeNew(0); // as the ticks do
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_AddXY);

// A shown scope with both traces ticked, bound to a streaming host.
struct ShownScope {
    StreamingHost host;
    TModalDialogs dialogs;
    TScopeForm scope;
    ShownScope() {
        scope.Bind(host, dialogs);
        scope.CH0LTACheck->setChecked(true);
        scope.show();
    }
};

void BM_RefreshTick(benchmark::State& State) {
    ShownScope shown;
    TScopeForm& scope = shown.scope;
    Feed(scope, TScopeBuffers::Capacity);
    scope.UpdateTimerTimer();
    QApplication::processEvents();
    for (auto _ : State) {
        State.PauseTiming();
        Feed(scope, 800);
        State.ResumeTiming();
        scope.UpdateTimerTimer();
        scope.ScopeGraph->replot(QCustomPlot::rpImmediateRefresh);
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_RefreshTick)->Unit(benchmark::kMillisecond);

// The refresh tick of BM_RefreshTick with 1,000 markers on the chart (one every 5 samples of
// the 5000 held, so 120 in the 600 samples in view, each labelled), the legend, both cursors
// in view and the statistics strip shown.
void BM_RefreshTickMarked(benchmark::State& State) {
    ShownScope shown;
    TScopeForm& scope = shown.scope;
    scope.resize(1000, 600);
    const auto feedMarked = [&](int Samples) {
        for (int i = 0; i < Samples; i += 5) {
            scope.AddMarker(TMarkKind(i / 5 % MarkKindCount),
                            QStringLiteral("Bank 2 = 0x%1").arg(i % 256, 2, 16, QChar('0')));
            Feed(scope, 5);
        }
    };
    feedMarked(TScopeBuffers::Capacity);
    scope.UpdateTimerTimer();
    QApplication::processEvents();
    for (auto _ : State) {
        State.PauseTiming();
        feedMarked(800);
        scope.SetCursor(0, scope.XPos() - 500); // both in view after the tick
        scope.SetCursor(1, scope.XPos() - 100);
        State.ResumeTiming();
        scope.UpdateTimerTimer();
        scope.ScopeGraph->replot(QCustomPlot::rpImmediateRefresh);
    }
    if (scope.Markers().Count() != 1000 || scope.ReadingsLabel->text().count('\n') != 4)
        State.SkipWithError("not the chart described");
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_RefreshTickMarked)->Unit(benchmark::kMillisecond);

// The figures of a capture of 10,000 samples per phase.
void BM_SnrFigures(benchmark::State& State) {
    std::vector<int> untouched(10000), touched(10000);
    for (int i = 0; i < 10000; ++i) {
        untouched[size_t(i)] = 1000 + (i * 7919) % 7 - 3;
        touched[size_t(i)] = 900 + (i * 104729) % 9 - 4;
    }
    for (auto _ : State)
        benchmark::DoNotOptimize(Snr::Compute(untouched, touched, Snr::TLevels{}, 30.0));
}
BENCHMARK(BM_SnrFigures)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
