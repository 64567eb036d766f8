// Plugs 16 simulated dongles and unplugs and replugs them in random order 1000 times, with
// their readers running. Checks after every pass that the dongle list holds exactly the
// dongles plugged in; run it under AddressSanitizer to see that nothing leaks.
#include "KelvraDevList.h"
#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

static void BM_HotPlug(benchmark::State& State) {
    constexpr int Dongles = 16;
    for (auto _ : State) {
        TSimHidAccess hid;
        TKelvraDevList list(hid);
        list.Activate();
        std::vector<std::shared_ptr<TVirtualDongle>> plugged, unplugged;
        for (int i = 0; i < Dongles; ++i) {
            TVirtualDongleConfig config;
            config.Serial = QString::number(i);
            plugged.push_back(std::make_shared<TVirtualDongle>(config));
            hid.Plug(plugged.back());
        }
        QRandomGenerator random(733);
        for (int cycle = 0; cycle < 1000; ++cycle) {
            const int n = int(random.bounded(quint32(plugged.size())));
            hid.Unplug(plugged[size_t(n)]);
            unplugged.push_back(plugged[size_t(n)]);
            plugged.erase(plugged.begin() + n);
            if (plugged.empty() || random.bounded(2)) {
                const int m = int(random.bounded(quint32(unplugged.size())));
                hid.Plug(unplugged[size_t(m)]);
                plugged.push_back(unplugged[size_t(m)]);
                unplugged.erase(unplugged.begin() + m);
            }
            list.HidDeviceChange();
            if (list.HidDevices().Count != int(plugged.size()) ||
                list.DeviceCount() != int(plugged.size())) {
                State.SkipWithError("stale or missing device in the dongle list");
                return;
            }
            for (const auto& d : unplugged)
                if (d->OpenHandleCount() != 0) {
                    State.SkipWithError("an unplugged dongle still has open handles");
                    return;
                }
        }
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_HotPlug)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
