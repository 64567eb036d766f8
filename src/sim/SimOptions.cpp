#include "SimOptions.h"

namespace SimOptions {

void Add(QCommandLineParser& Parser) {
    Parser.addOption({"simulate", "Run against a simulated dongle instead of real hardware."});
    Parser.addOption({"sim-model",
                      "Model of the simulated dongle (LK600, LK610, LK620, MV800, "
                      "RM800, LK510).",
                      "MODEL", "LK600"});
    Parser.addOption(
        {"sim-firmware", "Firmware version of the simulated dongle, hexadecimal.", "HEX", "0105"});
    Parser.addOption({"sim-serial", "Serial number of the simulated dongle.", "TEXT", "SIM000001"});
    Parser.addOption({"sim-latency-ms", "Reply latency of the simulated dongle.", "MS", "0"});
    Parser.addOption(
        {"sim-rate", "Samples per second the simulated dongle streams (1 to 8000).", "N", "100"});
    Parser.addOption({"sim-drop", "Share of streaming reports the simulated dongle loses (0 to 1).",
                      "SHARE", "0"});
}

std::optional<TSimulation> Read(const QCommandLineParser& Parser, QString& Error) {
    TSimulation simulation;
    TVirtualDongleConfig& config = simulation.Config;
    const QString model = Parser.value("sim-model");
    const auto productID = TVirtualDongle::ProductIDOfModel(model);
    if (!productID) {
        Error = "Unknown dongle model: " + model;
        return std::nullopt;
    }
    config.ProductID = *productID;
    config.Product = "Kelvra " + model.toUpper();
    config.RFModule = model.compare("RM800", Qt::CaseInsensitive) == 0;
    bool ok = false;
    config.Firmware = Parser.value("sim-firmware").toUInt(&ok, 16);
    if (!ok) {
        Error = "Firmware version is not hexadecimal: " + Parser.value("sim-firmware");
        return std::nullopt;
    }
    config.Serial = Parser.value("sim-serial");
    const int latencyMs = Parser.value("sim-latency-ms").toInt(&ok);
    if (!ok || latencyMs < 0) {
        Error = "Reply latency is not a number of milliseconds: " + Parser.value("sim-latency-ms");
        return std::nullopt;
    }
    config.Latency = std::chrono::milliseconds(latencyMs);
    config.SampleRate = Parser.value("sim-rate").toInt(&ok);
    if (!ok || config.SampleRate < 1 || config.SampleRate > TVirtualDongle::MaxSampleRate) {
        Error = "Sample rate is not a number from 1 to 8000: " + Parser.value("sim-rate");
        return std::nullopt;
    }
    simulation.DropShare = Parser.value("sim-drop").toDouble(&ok);
    if (!ok || !(simulation.DropShare >= 0 && simulation.DropShare <= 1)) {
        Error = "Share of lost reports is not a number from 0 to 1: " + Parser.value("sim-drop");
        return std::nullopt;
    }
    return simulation;
}

std::shared_ptr<TVirtualDongle> MakeDongle(const TSimulation& Simulation,
                                           std::shared_ptr<TSimIC> IC) {
    auto dongle = std::make_shared<TVirtualDongle>(Simulation.Config, std::move(IC));
    if (Simulation.DropShare > 0) {
        TDongleFaults faults = dongle->Faults();
        faults.DropShare = Simulation.DropShare;
        dongle->SetFaults(faults);
    }
    return dongle;
}

} // namespace SimOptions
