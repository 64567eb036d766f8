// The streaming pipeline.
//  - Reception: reports through the dongle list's data handler to OnStreaming, for a 20-byte
//    sample in one report and a 70-byte sample in three (items = reports).
//  - End to end: the simulated dongle streams 8000 and 1000 samples/s for 10 s through the
//    background reader and the hand-over to the user-interface thread. Reports the samples
//    lost and the CPU used by the application side (the process minus the thread that plays
//    the dongle) and by its user-interface thread alone.
#include "StreamRun.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

// A dongle list with one started dongle (tool ID 0), fed by hand.
struct Reception {
    TSimHidAccess hid;
    TKelvraDevList list{hid};
    THidDevice* device;
    quint64 samples = 0;
    TSubscription counted;

    Reception() {
        hid.Plug(std::make_shared<TVirtualDongle>());
        QCoreApplication::processEvents();
        list.HidDeviceChange();
        device = list.HidDevices().Objects[0];
        list.Streams().Register(device, 0);
        counted = list.OnStreaming.Subscribe([this](quint16, quint8, const quint8*) { ++samples; });
    }
};

void BM_Reception(benchmark::State& State) {
    const int sampleLength = int(State.range(0));
    Reception r;
    // The reports of one sample: counter in byte 1, bytes still to come in byte 2.
    std::vector<std::array<quint8, 64>> reports;
    for (int left = sampleLength; left > 0 || reports.empty(); left -= 32) {
        std::array<quint8, 64> report{};
        report[0] = 0x0F;
        report[2] = quint8(left);
        reports.push_back(report);
    }
    quint8 counter = 0;
    for (auto _ : State) {
        for (auto& report : reports) {
            report[1] = counter;
            r.list.HandleDeviceData(r.device, 0, report.data(), 64);
        }
        ++counter;
    }
    State.SetItemsProcessed(State.iterations() * qint64(reports.size()));
    State.counters["samples"] = double(r.samples);
}
BENCHMARK(BM_Reception)->Arg(20)->Arg(70);

void BM_EndToEnd(benchmark::State& State) {
    for (auto _ : State) {
        const std::optional<TStreamRun> run = ReceptionRun(int(State.range(0)), 10);
        if (!run) {
            State.SkipWithError("streaming did not start");
            return;
        }
        State.counters["samples_sent"] = double(run->Sent);
        State.counters["samples_lost"] = double(run->Lost);
        State.counters["gaps_reported"] = double(run->Gaps);
        State.counters["app_cpu_percent_of_one_core"] = run->AppCpuPercent;
        State.counters["ui_thread_cpu_percent"] = run->UiCpuPercent;
    }
}
BENCHMARK(BM_EndToEnd)->Arg(8000)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
