#pragma once

#include "VirtualDongle.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// The simulated dongle's command-line options, the same for every program.
namespace SimOptions {

// --simulate and the --sim-... options.
void Add(QCommandLineParser& Parser);

// The simulated dongle as the options describe it.
struct TSimulation {
    TVirtualDongleConfig Config;
    double DropShare = 0; // share of streaming reports lost on the way
};

// Nothing, and Error set, when an option's value is invalid.
std::optional<TSimulation> Read(const QCommandLineParser& Parser, QString& Error);

// A dongle made from the options, with the faults they ask for.
std::shared_ptr<TVirtualDongle> MakeDongle(const TSimulation& Simulation,
                                           std::shared_ptr<TSimIC> IC);

} // namespace SimOptions
