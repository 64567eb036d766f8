// pxs733-cli: the run session from the command line, for test rigs and scripts.
#include "Companion.h"
#include "HidApiAccess.h"
#include "SimHidAccess.h"
#include "SimOptions.h"
#include "VirtualPXS733.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    // A closed pipe or a file-size limit fails the write with its reason instead of killing
    // the program in the middle of a row.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("pxs733-cli");
    QCoreApplication::setApplicationVersion(PXS733_VERSION);

    QCommandLineParser parser;
    AddCompanionOptions(parser);
    SimOptions::Add(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "pxs733-cli: %s (see pxs733-cli --help)\n",
                     qPrintable(parser.errorText()));
        return ExitCode::Usage;
    }
    if (parser.isSet("help")) {
        std::printf("%s", qPrintable(CompanionHelp(parser.positionalArguments().value(0))));
        return ExitCode::Success;
    }
    if (parser.isSet("version")) {
        std::printf("pxs733-cli %s\n", PXS733_VERSION);
        return ExitCode::Success;
    }

    std::unique_ptr<THidAccess> hid;
    if (parser.isSet("simulate")) {
        QString error;
        const auto simulation = SimOptions::Read(parser, error);
        if (!simulation) {
            std::fprintf(stderr, "pxs733-cli: %s\n", qPrintable(error));
            return ExitCode::Usage;
        }
        auto access = std::make_unique<TSimHidAccess>();
        access->Plug(SimOptions::MakeDongle(*simulation, std::make_shared<TVirtualPXS733>()));
        hid = std::move(access);
    } else {
        hid = std::make_unique<THidApiAccess>();
    }
    return RunCompanion(parser, *hid, fileno(stdout), fileno(stderr));
}
