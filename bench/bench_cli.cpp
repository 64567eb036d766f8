// The command-line companion.
//  - Stream: pxs733-cli stream to a file at 8000 samples/s for 60 s, in process, the simulated
//    dongle played in real time from a thread of its own. Reports the samples lost and the
//    CPU of the companion's side (the process less the thread that plays the dongle).
//  - List: the program run with --simulate list, the time until its first line arrives.
#include "Companion.h"
#include "SimHidAccess.h"
#include "StreamRun.h"
#include "VirtualPXS733.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

void BM_CompanionStream(benchmark::State& State) {
    const int seconds = int(State.range(0));
    for (auto _ : State) {
        TSimHidAccess hid;
        TVirtualDongleConfig config;
        config.SampleRate = TVirtualDongle::MaxSampleRate;
        auto dongle = std::make_shared<TVirtualDongle>(config, std::make_shared<TVirtualPXS733>());
        dongle->SetAutoPump(false);
        hid.Plug(dongle);
        QTemporaryDir folder;
        const QString path = folder.filePath("stream.csv");
        QCommandLineParser parser;
        AddCompanionOptions(parser);
        if (!parser.parse({"pxs733-cli", "stream", "--seconds", QString::number(seconds),
                           "--output", path})) {
            State.SkipWithError("options not parsed");
            return;
        }
        std::atomic<bool> stop{false};
        double playerCpu = 0;
        std::thread player([&] {
            const double start = ThreadCpuSeconds();
            while (!stop) {
                dongle->Pump();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            playerCpu = ThreadCpuSeconds() - start;
        });
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        const int code = RunCompanion(parser, hid, 1, 2);
        const double elapsed = double(clock.elapsed()) / 1000.0;
        stop = true;
        player.join();
        const double cpu = ProcessCpuSeconds() - cpuBefore - playerCpu;

        QFile file(path);
        file.open(QIODevice::ReadOnly);
        qint64 rows = 0;
        while (!file.atEnd())
            if (!file.readLine().startsWith('#')) ++rows;
        rows -= 1; // the header row
        State.counters["exit_code"] = code;
        State.counters["samples_sent"] = double(dongle->SamplesSent());
        State.counters["samples_lost"] = double(dongle->SamplesSent()) - double(rows);
        State.counters["cpu_percent_of_one_core"] = 100.0 * cpu / elapsed;
    }
}
BENCHMARK(BM_CompanionStream)->Arg(60)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ListFirstLine(benchmark::State& State) {
    for (auto _ : State) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(PXS733_CLI, {"--simulate", "list"});
        while (process.bytesAvailable() == 0 && process.state() != QProcess::NotRunning)
            process.waitForReadyRead(1);
        State.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        process.waitForFinished();
    }
}
BENCHMARK(BM_ListFirstLine)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
