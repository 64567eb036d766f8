// Round trips of SendReceive against a zero-latency simulated dongle: the application-side
// cost of one request/reply transaction (the dongle's own work is a few hundred bytes copied).
#include "KelvraHIDTool.h"
#include "SimHidAccess.h"
#include "VirtualDongle.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

static void BM_SendReceive(benchmark::State& State) {
    TSimHidAccess hid;
    hid.Plug(std::make_shared<TVirtualDongle>());
    TKelvraDevList list(hid);
    list.Activate(); // with the background reader running, as in the application
    QCoreApplication::processEvents();
    TKelvraHidTool tool;
    tool.SetKelvraDevList(&list);
    TKvrByteArray request{};
    TKvrByteArray reply{};
    request[2] = 0x09;
    for (auto _ : State) {
        if (tool.SendReceive(request, reply) != 0) State.SkipWithError("transaction failed");
        QCoreApplication::processEvents(); // the reader's copies of the replies
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_SendReceive)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
