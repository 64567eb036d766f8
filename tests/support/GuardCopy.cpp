// One copy of a program under the single-instance guard, for the guard's tests:
// GuardCopy [--max N] [--disabled] HOLD_MS. Prints "admitted" (and stays HOLD_MS, printing
// "raised" whenever a refused copy asks it to come forward) or "refused" (exit code 3).
#include "adpInstanceControl.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    TadpInstanceControl guard;
    if (args.size() >= 2 && args[0] == "--max") {
        guard.MaxInstances = args[1].toUInt();
        args = args.mid(2);
    }
    if (!args.isEmpty() && args[0] == "--disabled") {
        guard.Enabled = false;
        args = args.mid(1);
    }
    guard.OnRaiseRequest = [] {
        std::printf("raised\n");
        std::fflush(stdout);
    };
    if (!guard.Register(QCoreApplication::applicationFilePath())) {
        std::printf("refused\n");
        return 3;
    }
    std::printf("admitted\n");
    std::fflush(stdout);
    QTimer::singleShot(args.value(0, "1000").toInt(), &app, &QCoreApplication::quit);
    return app.exec();
}
