#pragma once

#include <QCommandLineParser>
#include <QStringList>

class THidAccess;

// The companion's exit codes.
namespace ExitCode {
enum : int { Success = 0, Failed = 1, Usage = 2, NoDongle = 3, DataMissed = 4 };
}

// The companion's options, every command's included; --help after a command explains it.
void AddCompanionOptions(QCommandLineParser& Parser);

// The text --help prints: the whole program's, or a command's.
QString CompanionHelp(const QString& Command);

// Runs one parsed command line of pxs733-cli against the HID access: results on OutFd,
// messages on ErrFd. Returns the exit code.
int RunCompanion(const QCommandLineParser& Parser, THidAccess& Hid, int OutFd, int ErrFd);
