// Recording and replay.
//  - Record while displaying: the simulated dongle streams 8000 samples/s for 60 s to the
//    shown main window, once without and once with a recording; reports the samples the
//    window received that are missing from the file and the CPU the recording added (of one
//    core, the application side: the process less the thread that plays the dongle).
//  - Replay pace: that recording played back at 1x through the replaying dongle; reports how
//    far the time between its first and last sample strays from the recorded one.
#include "BenchApplication.h"
#include "KelvraPXS731.h"
#include "Recording.h"
#include "ReplayIC.h"
#include "StreamRun.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int Seconds = 60;
QString RecordingPath;

struct TRun {
    TStreamRun Stream;
    quint64 Received;
};

TRun StreamFor(bool Record) {
    Application app(8000);
    app.dialogs.SavePath = RecordingPath;
    quint64 received = 0;
    auto counted = app.form->PXS731Device1->OnStreaming.Subscribe(
        [&](quint16, quint8, const quint8*) { ++received; });
    if (Record) app.form->RecordButton->click();
    app.form->StartButton->click();
    const TStreamRun run = PlayDongle(*app.dongle, Seconds, received);
    app.form->StartButton->click(); // stops the stream and the recording
    return {run, received};
}

qint64 RowsIn(const QString& Path) {
    QFile file(Path);
    file.open(QIODevice::ReadOnly);
    Recording::TReader reader(file);
    qint64 rows = 0;
    while (reader.Next())
        ++rows;
    return rows;
}

void BM_RecordWhileDisplaying(benchmark::State& State) {
    for (auto _ : State) {
        const TRun plain = StreamFor(false);
        const TRun recorded = StreamFor(true);
        State.counters["samples_received"] = double(recorded.Received);
        State.counters["samples_missing_in_file"] =
            double(qint64(recorded.Received) - RowsIn(RecordingPath));
        State.counters["app_cpu_percent_without"] = plain.Stream.AppCpuPercent;
        State.counters["added_cpu_percent_of_one_core"] =
            recorded.Stream.AppCpuPercent - plain.Stream.AppCpuPercent;
    }
}
BENCHMARK(BM_RecordWhileDisplaying)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ReplayPace(benchmark::State& State) {
    for (auto _ : State) {
        auto file = std::make_shared<Recording::TReplayFile>();
        if (!file->Open(RecordingPath)) {
            State.SkipWithError("run BM_RecordWhileDisplaying first");
            return;
        }
        double firstMs = -1, lastMs = 0;
        auto ic = std::make_shared<TReplayIC>(
            [&]() -> std::optional<TReplayIC::TSample> {
                const std::optional<Recording::TRow> row = file->Next();
                if (!row) return std::nullopt;
                if (firstMs < 0) firstMs = row->TimeMs;
                lastMs = row->TimeMs;
                return TReplayIC::TSample{row->TimeMs, row->Lost, row->SampleBytes()};
            },
            1.0);
        Application app(TVirtualDongle::MaxSampleRate, ic);
        QElapsedTimer clock;
        qint64 firstNs = -1, lastNs = 0;
        quint64 received = 0;
        auto timed =
            app.form->PXS731Device1->OnStreaming.Subscribe([&](quint16, quint8, const quint8*) {
                lastNs = clock.nsecsElapsed();
                if (firstNs < 0) firstNs = lastNs;
                ++received;
            });
        clock.start();
        app.form->StartButton->click();
        PlayDongle(*app.dongle, Seconds + 2, received);
        const double played = double(lastNs - firstNs) / 1e6;
        const double recorded = lastMs - firstMs;
        State.counters["samples_played"] = double(received);
        State.counters["recorded_ms"] = recorded;
        State.counters["played_ms"] = played;
        State.counters["pace_error_percent"] = 100.0 * (played - recorded) / recorded;
    }
}
BENCHMARK(BM_ReplayPace)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home; // the settings of the benchmark's windows go nowhere that matters
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    RecordingPath = home.filePath("recording.csv");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
