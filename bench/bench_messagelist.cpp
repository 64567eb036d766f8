// Lines added one by one to a shown message list, as the main window reports: the cost of a
// line must not grow with the number of lines already in the list.
#include "KvrListBox.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

QString Line(int N) {
    return QStringLiteral("Streaming started on dongle %1 (sample %2)").arg(N % 7).arg(N);
}

// Adds State.range(0) lines to a shown list; every iteration starts from an empty list.
void BM_AddLines(benchmark::State& State) {
    const int lines = int(State.range(0));
    TKvrListBox list;
    list.ItemsPrefix = " ";
    list.SetItemHeight(13);
    list.resize(400, 200);
    list.show();
    QApplication::processEvents();
    for (auto _ : State) {
        State.PauseTiming();
        list.KvrClear();
        QApplication::processEvents();
        State.ResumeTiming();
        for (int i = 0; i < lines; ++i) {
            list.KvrAddItem(Line(i), i % 5 == 0 ? aError : aInfo);
            // The window's event loop runs between messages.
            if (i % 50 == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
    }
    State.SetItemsProcessed(State.iterations() * lines);
}
BENCHMARK(BM_AddLines)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
