#include "Companion.h"

#include "DongleAcceptance.h"
#include "EngineeringFields.h"
#include "FuseBanks.h"
#include "HidLayer.h"
#include "KelvraDevList.h"
#include "KelvraHIDTool.h"
#include "RunSession.h"
#include "SampleOutput.h"
#include "ScopeMarkers.h"
#include "SnrCapture.h"
#include "SnrFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int StopCheckMs = 50;
constexpr int FlushMs = 100;
constexpr int MaxReconnectSeconds = 600;

bool Supported(quint16 ProductID) {
    return DongleAcceptance::IsCompatible(ProductID) && ProductID != DongleAcceptance::LK510;
}

std::atomic<bool> StopRequested = false;

extern "C" void RequestStop(int) {
    StopRequested = true;
}

// Ctrl+C and SIGTERM ask a stream or capture to stop while this lives, on every way out.
class TStopSignals {
public:
    TStopSignals() {
        StopRequested = false;
        std::signal(SIGINT, RequestStop);
        std::signal(SIGTERM, RequestStop);
    }
    ~TStopSignals() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;
};

struct TCommandHelp {
    const char* Name;
    const char* Usage;
    const char* Text;
};

const TCommandHelp Commands[] = {
    {"list", "list",
     "Lists the dongles as CSV: model, serial, firmware, whether it can be opened and, when\n"
     "not, why."},
    {"power", "power on|off", "Switches the IC's supply on or off."},
    {"version", "version",
     "Prints the IC's version bytes (product, software) in hex. The dongle reads them over\n"
     "I2C only (--link i2c); over 1-Wire it answers 'Comms type not selected'."},
    {"read", "read ADDR [COUNT]",
     "Reads COUNT (1 to 256, default 1) bytes of the memory map from ADDR; prints one\n"
     "'ADDR VALUE' line per byte, in hex. The dongle reads them over I2C only (--link i2c);\n"
     "over 1-Wire it answers 'Comms type not selected'."},
    {"write", "write ADDR VALUE", "Writes one byte of the memory map."},
    {"indirect", "indirect read ADDR | indirect write ADDR VALUE",
     "Reads or writes one indirect register."},
    {"banks", "banks read | banks write B0 B1 B2 B3 [B4]",
     "Reads or writes the five configuration banks through debug mode (over I2C). The IC\n"
     "starts from its fuses, and stays powered, not streaming, with the banks in force."},
    {"strap", "strap read | strap write AT ST LT MT",
     "Reads or writes the four strap settings (indirect registers 53, 79, 7A, DF)."},
    {"snr",
     "snr [--channel 0|1] [--samples N] [--threshold T] [--pass X] [--good Y]\n"
     "    [--seconds N]",
     "Measures the signal-to-noise ratio of a touch on the streaming IC: waits until it has\n"
     "settled, captures N (default 500, at least 100) untouched samples, asks on standard\n"
     "error for a light touch, and captures as many touched ones once the touch has\n"
     "reached its plateau. Prints the figures as 'name: value' lines: verdict (FAIL below\n"
     "X:1, default 5; PASS; GOOD from Y:1, default 10), snr, snr_db, signal, noise figures\n"
     "and, with a touch threshold T, the margins. A capture with lost samples, RF noise or\n"
     "a re-calibration, or without a touch within N seconds (default 60), fails (exit 1)."},
    {"stream",
     "stream [--seconds N] [--samples N] [--format csv|jsonl] [--output FILE]\n"
     "       [--reconnect SECONDS]",
     "Streams decoded samples with the recording's columns, or one JSON object per line,\n"
     "to FILE or standard output (-). A sample after lost ones has missed=1. Ends after N\n"
     "seconds or samples, on Ctrl+C or SIGTERM with every sample written, or quietly when\n"
     "the reader of standard output goes away. The CSV output can be replayed with\n"
     "pxs733 --replay. With --reconnect (1 to 600), an unplugged dongle that returns within\n"
     "SECONDS streams on into the same output: the first sample after the gap has missed=1,\n"
     "and in CSV a '#' line before it tells when the dongle was away."},
};

const char* Overview =
    "Usage: pxs733-cli [options] COMMAND [ARGS]\n"
    "Runs the PXS733 through its dongle from the command line. Addresses and values are\n"
    "hexadecimal, with or without 0x. Results go to standard output, messages to standard\n"
    "error; add --verbose for the information lines too.\n\n"
    "Exit codes: 0 success; 1 an IC or dongle command (or the output) failed; 2 bad usage;\n"
    "3 no dongle, none that can be opened, several with the --serial given, or the dongle\n"
    "went away; 4 data missed while streaming (the data is still written).\n\nCommands:\n";

const char* CommonOptions =
    "\nOptions:\n"
    "  --serial S          the dongle with serial number S (needed when several are present)\n"
    "  --link 1wire|i2c    the link to the IC (default 1wire)\n"
    "  --voltage 3.3|1.8   the IC's supply (default: as the dongle has it)\n"
    "  --verbose           information lines on standard error too\n"
    "  --simulate          a simulated dongle instead of real hardware; --sim-model,\n"
    "                      --sim-firmware, --sim-serial, --sim-latency-ms, --sim-rate and\n"
    "                      --sim-drop describe it\n"
    "  -h, --help          this text, or a command's after it\n"
    "  -v, --version       the program's version\n";

// A byte given in hex, "0x" optional; nothing when it is none or above Limit.
std::optional<uint> HexNumber(QString Text, uint Limit) {
    if (Text.startsWith("0x", Qt::CaseInsensitive)) Text = Text.mid(2);
    bool ok = false;
    const uint value = Text.toUInt(&ok, 16);
    if (!ok || Text.isEmpty() || value > Limit) return std::nullopt;
    return value;
}

// Bytes as two hexadecimal digits each, separated by blanks, as one line.
template <typename TBytes> QByteArray HexLine(const TBytes& Bytes) {
    QStringList digits;
    for (quint8 byte : Bytes)
        digits << EngineeringFields::TwoDigits(byte);
    return digits.join(' ').toLatin1() + '\n';
}

class TCompanion {
public:
    TCompanion(const QCommandLineParser& Parser, THidAccess& Hid, int OutFd, int ErrFd)
        : FParser(Parser), FList(Hid), FOutFd(OutFd), FErrFd(ErrFd) {}

    int Run();

private:
    int List();
    int Open();
    int Power(const QStringList& Args);
    int Version();
    int Read(const QStringList& Args);
    int Write(const QStringList& Args);
    int Indirect(const QStringList& Args);
    int Banks(const QStringList& Args);
    int Strap(const QStringList& Args);
    int Stream();
    int Snr();
    bool EnsurePowered();
    // While a stream waits for its dongle: selects it when it is back.
    void TakeBackWaitedDongle();

    int Usage(const QString& Text);
    void Err(const QString& Text);
    void Out(const QByteArray& Text);
    // Arguments as bytes; nothing (and the usage error told) when one is no byte.
    std::optional<QList<quint8>> Bytes(const QStringList& Args, const QString& What);
    Recording::TInfo Info() const;

    const QCommandLineParser& FParser;
    TKelvraDevList FList;
    TKelvraHidTool FTool;
    std::unique_ptr<TRunSession> FSession;
    TSubscription FTold;
    int FOutFd;
    int FErrFd;
    quint32 FFirmware = 0;
};

void TCompanion::Err(const QString& Text) {
    const QByteArray line = "pxs733-cli: " + Text.toLocal8Bit() + '\n';
    [[maybe_unused]] const ssize_t n = ::write(FErrFd, line.constData(), size_t(line.size()));
}

void TCompanion::Out(const QByteArray& Text) {
    [[maybe_unused]] const ssize_t n = ::write(FOutFd, Text.constData(), size_t(Text.size()));
}

int TCompanion::Usage(const QString& Text) {
    Err(Text + " (see pxs733-cli --help)");
    return ExitCode::Usage;
}

std::optional<QList<quint8>> TCompanion::Bytes(const QStringList& Args, const QString& What) {
    QList<quint8> bytes;
    for (const QString& arg : Args) {
        const std::optional<uint> value = HexNumber(arg, 0xFF);
        if (!value) {
            Usage(QStringLiteral("%1 %2 is not a hexadecimal byte (00 to FF)").arg(What, arg));
            return std::nullopt;
        }
        bytes << quint8(*value);
    }
    return bytes;
}

int TCompanion::Run() {
    const QStringList args = FParser.positionalArguments();
    if (args.isEmpty()) return Usage("no command given");
    const QString command = args[0];
    const QStringList rest = args.mid(1);
    const bool known = std::any_of(std::begin(Commands), std::end(Commands),
                                   [&](const TCommandHelp& c) { return command == c.Name; });
    if (!known) return Usage("unknown command: " + command);
    const QString link = FParser.value("link");
    if (link != "1wire" && link != "i2c") return Usage("--link is 1wire or i2c, not " + link);
    if (FParser.isSet("voltage") && FParser.value("voltage") != "3.3" &&
        FParser.value("voltage") != "1.8")
        return Usage("--voltage is 3.3 or 1.8, not " + FParser.value("voltage"));

    FList.Activate();
    for (int i = 0; i < 3; ++i) // the first pass over the present devices
        QCoreApplication::processEvents();
    if (command == "list") return List();
    if (const int opened = Open(); opened != ExitCode::Success) return opened;
    if (command == "power") return Power(rest);
    if (command == "version") return Version();
    if (command == "read") return Read(rest);
    if (command == "write") return Write(rest);
    if (command == "indirect") return Indirect(rest);
    if (command == "banks") return Banks(rest);
    if (command == "strap") return Strap(rest);
    if (command == "snr") return Snr();
    return Stream();
}

int TCompanion::List() {
    Out("model,serial,firmware,open,reason\n");
    const TCTData& dongles = FList.HidDevices();
    bool anyOpen = false;
    for (int i = 0; i < dongles.Count; ++i) {
        THidDevice* device = dongles.Objects[i];
        QString firmware;
        if (device->IsOpen()) {
            anyOpen = true;
            quint32 version = 0;
            FTool.SetKelvraDevList(&FList);
            if (FTool.SetCurrentDevice(i) && FTool.GetCTFWVersion(version) == 0)
                firmware = DongleAcceptance::Hex4(version);
        }
        QString reason = device->OpenError();
        reason.replace(',', ';');
        Out(QStringLiteral("%1,%2,%3,%4,%5\n")
                .arg(dongles.Name[i].trimmed(), device->SerialNumber(), firmware,
                     device->IsOpen() ? "yes" : "no", reason)
                .toUtf8());
        if (device->OpenError().contains("permission"))
            Err(dongles.Name[i].trimmed() + ": copy packaging/udev/70-kelvra-dongles.rules to "
                                            "/etc/udev/rules.d/, run 'udevadm control --reload' "
                                            "and 'udevadm trigger', then replug the dongle");
    }
    return anyOpen ? ExitCode::Success : ExitCode::NoDongle;
}

int TCompanion::Open() {
    const TCTData& dongles = FList.HidDevices();
    int index = -1;
    if (FParser.isSet("serial")) {
        const QString serial = FParser.value("serial");
        int matches = 0;
        for (int i = 0; i < dongles.Count; ++i)
            if (dongles.Objects[i]->SerialNumber() == serial) index = i, ++matches;
        if (matches == 0) {
            Err("no dongle with serial " + serial);
            return ExitCode::NoDongle;
        }
        // No option tells them apart, and which one a command reached could change from run
        // to run.
        if (matches > 1) {
            Err(QStringLiteral("%1 dongles have serial %2: leave one of them plugged in")
                    .arg(matches)
                    .arg(serial));
            return ExitCode::NoDongle;
        }
    } else if (dongles.Count == 0) {
        Err("no dongle found");
        return ExitCode::NoDongle;
    } else if (dongles.Count > 1) {
        QStringList serials;
        for (int i = 0; i < dongles.Count; ++i)
            serials << dongles.Objects[i]->SerialNumber();
        return Usage(QStringLiteral("%1 dongles present: choose one with --serial (%2)")
                         .arg(dongles.Count)
                         .arg(serials.join(", ")));
    } else {
        index = 0;
    }
    THidDevice* device = dongles.Objects[index];
    if (!device->IsOpen()) {
        Err(dongles.Name[index].trimmed() + " cannot be opened: " + device->OpenError());
        return ExitCode::NoDongle;
    }
    FTool.SetKelvraDevList(&FList);
    FTool.SetCurrentDevice(index);
    if (!Supported(FTool.ProductID())) {
        Err(dongles.Name[index].trimmed() + " is not supported by this application");
        return ExitCode::NoDongle;
    }
    FTool.GetCTFWVersion(FFirmware);

    FSession = std::make_unique<TRunSession>(FTool);
    FTold = FSession->OnMessage.Subscribe([this](const QString& Text, TRunMessage Kind) {
        if (Kind != TRunMessage::Info || FParser.isSet("verbose")) Err(Text);
    });
    FSession->SetDongleUsable(true);
    FSession->ChooseLink(FParser.value("link") == "1wire");
    if (FParser.isSet("voltage") && !FSession->SetSupply(FParser.value("voltage") == "3.3"))
        return ExitCode::Failed;
    return ExitCode::Success;
}

void TCompanion::TakeBackWaitedDongle() {
    const TCTData& dongles = FList.HidDevices();
    const int index = int(dongles.SerialNumber.indexOf(FSession->WaitingFor()));
    if (index < 0 || !dongles.Objects[index]->IsOpen() || !FTool.SetCurrentDevice(index)) return;
    // A dongle that returns as a model this program does not run ends the wait.
    FSession->SetDongleUsable(Supported(FTool.ProductID()));
    FSession->DongleReady();
}

bool TCompanion::EnsurePowered() {
    return FSession->SetUpDongle() && (FSession->State().PowerOn || FSession->PowerOn());
}

int TCompanion::Power(const QStringList& Args) {
    if (Args.size() != 1 || (Args[0] != "on" && Args[0] != "off"))
        return Usage("power takes on or off");
    if (!FSession->SetUpDongle()) return ExitCode::Failed;
    if (Args[0] == "on") return FSession->State().PowerOn || FSession->PowerOn() ? 0 : 1;
    if (FSession->State().PowerOn) FSession->PowerOff();
    return FSession->State().PowerOn ? ExitCode::Failed : ExitCode::Success;
}

int TCompanion::Version() {
    if (!EnsurePowered()) return ExitCode::Failed;
    const auto version = FSession->ReadVersion();
    if (!version) return ExitCode::Failed;
    Out(HexLine(*version));
    return ExitCode::Success;
}

int TCompanion::Read(const QStringList& Args) {
    if (Args.isEmpty() || Args.size() > 2) return Usage("read takes ADDR [COUNT]");
    const auto address = Bytes(Args.mid(0, 1), "address");
    if (!address) return ExitCode::Usage;
    uint count = 1;
    if (Args.size() == 2) {
        bool ok = false;
        count = Args[1].toUInt(&ok);
        if (!ok || count < 1 || count > 256u - address->first())
            return Usage(QStringLiteral("COUNT %1 is not a number from 1 to %2")
                             .arg(Args[1])
                             .arg(256 - address->first()));
    }
    if (!EnsurePowered()) return ExitCode::Failed;
    for (uint i = 0; i < count; ++i) {
        const quint8 at = quint8(address->first() + i);
        const std::optional<quint8> value = FSession->ReadMemory(at);
        if (!value) return ExitCode::Failed;
        Out(HexLine(std::array{at, *value}));
    }
    return ExitCode::Success;
}

int TCompanion::Write(const QStringList& Args) {
    if (Args.size() != 2) return Usage("write takes ADDR VALUE");
    const auto bytes = Bytes(Args, "address or value");
    if (!bytes) return ExitCode::Usage;
    if (!EnsurePowered()) return ExitCode::Failed;
    return FSession->WriteMemory((*bytes)[0], (*bytes)[1]) ? ExitCode::Success : ExitCode::Failed;
}

int TCompanion::Indirect(const QStringList& Args) {
    const bool read = Args.size() == 2 && Args[0] == "read";
    const bool write = Args.size() == 3 && Args[0] == "write";
    if (!read && !write) return Usage("indirect takes read ADDR or write ADDR VALUE");
    const auto bytes = Bytes(Args.mid(1), "address or value");
    if (!bytes) return ExitCode::Usage;
    if (!EnsurePowered()) return ExitCode::Failed;
    if (write)
        return FSession->WriteIndirect((*bytes)[0], (*bytes)[1]) ? ExitCode::Success
                                                                 : ExitCode::Failed;
    const std::optional<quint8> value = FSession->ReadIndirect((*bytes)[0]);
    if (!value) return ExitCode::Failed;
    Out(HexLine(std::array{*value}));
    return ExitCode::Success;
}

int TCompanion::Banks(const QStringList& Args) {
    const bool read = Args.size() == 1 && Args[0] == "read";
    const bool write = (Args.size() == 5 || Args.size() == 6) && Args[0] == "write";
    if (!read && !write) return Usage("banks takes read, or write B0 B1 B2 B3 [B4]");
    const auto given = Bytes(Args.mid(1), "bank");
    if (!given) return ExitCode::Usage;
    // Debug mode is entered from a run over I2C, as in the window.
    if (!FSession->Start(true)) return ExitCode::Failed;
    std::optional<FuseBanks::TBanks> banks = FSession->EnterDebugMode();
    if (!banks) return ExitCode::Failed;
    if (write) std::copy(given->begin(), given->end(), banks->begin());
    if (!FSession->LeaveDebugMode(*banks) || !FSession->Pause()) return ExitCode::Failed;
    if (read) Out(HexLine(*banks));
    return ExitCode::Success;
}

int TCompanion::Strap(const QStringList& Args) {
    const bool read = Args.size() == 1 && Args[0] == "read";
    const bool write = Args.size() == 5 && Args[0] == "write";
    if (!read && !write) return Usage("strap takes read, or write AT ST LT MT");
    const auto given = Bytes(Args.mid(1), "strap value");
    if (!given) return ExitCode::Usage;
    if (!EnsurePowered()) return ExitCode::Failed;
    if (write) {
        TStraps straps;
        std::copy(given->begin(), given->end(), straps.Values.begin());
        return FSession->WriteStraps(straps) ? ExitCode::Success : ExitCode::Failed;
    }
    const std::optional<TStraps> straps = FSession->ReadStraps();
    if (!straps) return ExitCode::Failed;
    Out(HexLine(straps->Values));
    return ExitCode::Success;
}

Recording::TInfo TCompanion::Info() const {
    Recording::TInfo info;
    info.Application = QStringLiteral("pxs733-cli %1").arg(QCoreApplication::applicationVersion());
    info.Dongle = FList.HidDevices().Name.value(FTool.CurrentDeviceIndex()).trimmed();
    info.Serial = FTool.SerialNumber();
    info.Firmware = DongleAcceptance::Hex4(FFirmware);
    info.Link = FSession->State().Link1Wire ? "1-Wire" : "I2C";
    info.Supply = FParser.value("voltage") == "1.8" ? "1.8 V" : "3.3 V";
    info.Stream = "Count Samples, Long Term Averages (LTA), Prox & Touch, Thresholds";
    info.Start = QDateTime::currentDateTimeUtc();
    return info;
}

int TCompanion::Stream() {
    bool ok = true;
    const double seconds = FParser.isSet("seconds") ? FParser.value("seconds").toDouble(&ok) : 0;
    if (!ok || (FParser.isSet("seconds") && !(seconds > 0 && seconds <= 1e6)))
        return Usage("--seconds is a number above 0, not " + FParser.value("seconds"));
    const qint64 samples = FParser.isSet("samples") ? FParser.value("samples").toLongLong(&ok) : 0;
    if (!ok || (FParser.isSet("samples") && samples < 1))
        return Usage("--samples is a number above 0, not " + FParser.value("samples"));
    const QString format = FParser.value("format");
    if (format != "csv" && format != "jsonl")
        return Usage("--format is csv or jsonl, not " + format);
    const int reconnect = FParser.isSet("reconnect") ? FParser.value("reconnect").toInt(&ok) : 0;
    if (!ok || (FParser.isSet("reconnect") && (reconnect < 1 || reconnect > MaxReconnectSeconds)))
        return Usage("--reconnect is a number of seconds from 1 to 600, not " +
                     FParser.value("reconnect"));
    FSession->SetReconnectLimit(reconnect * 1000);

    int fd = FOutFd;
    const QString path = FParser.value("output");
    if (path != "-") {
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    0666);
        if (fd < 0) {
            Err("cannot write " + path + ": " + QString::fromLocal8Bit(std::strerror(errno)));
            return ExitCode::Failed;
        }
    }
    const auto closeOutput = qScopeGuard([fd, this] {
        if (fd != FOutFd) ::close(fd);
    });
    TSampleOutput output(fd, format == "csv" ? TSampleOutput::TFormat::Csv
                                             : TSampleOutput::TFormat::JsonLines);
    output.Begin(Info());

    QEventLoop loop;
    QElapsedTimer clock;
    bool missed = false;
    bool missedBefore = false;
    QString gapNote;          // why samples are missing before the next one
    bool gone = false;        // the dongle went and did not come back
    bool away = false;        // it went, and its run waits for it
    std::vector<TMark> marks; // what the session marked since the last row
    auto marked = FSession->OnMark.Subscribe([&](TMarkKind Kind, const QString& Text) {
        marks.push_back({Kind, Text});
    });
    auto sampled = FSession->OnSample.Subscribe(
        [&](const TDecodedSample& Decoded, const quint8* Data, int Size) {
            if (samples > 0 && output.Samples() >= samples) return; // as many as asked for
            output.Add({clock.nsecsElapsed() / 1e6, Recording::RawSample(Data, Size), Decoded,
                        std::exchange(missedBefore, false), std::exchange(gapNote, QString()),
                        MarkColumn(std::exchange(marks, {}))});
            if (output.Samples() == samples) loop.quit();
        });
    auto lost = FSession->OnDataMissed.Subscribe([&] { missed = missedBefore = true; });
    auto restored = FSession->OnRunRestored.Subscribe([&](const TDongleAbsence& Absence) {
        away = false;
        missed = missedBefore = true;
        gapNote = Absence.Text();
    });
    auto changed = FList.OnDeviceChange.Subscribe([&](QObject*, bool) {
        if (FSession->State().Waiting) {
            TakeBackWaitedDongle();
            return;
        }
        if (FTool.ReselectDevice()) return;
        FSession->DongleGone();
        away = FSession->State().Waiting;
        if (!away) {
            gone = true;
            loop.quit();
        }
    });

    const TStopSignals stopSignals;
    QTimer checks;
    QObject::connect(&checks, &QTimer::timeout, &loop, [&] {
        const TRunState& state = FSession->State();
        if (!state.Streaming && !state.Waiting) gone = gone || away; // the wait ended
        if (StopRequested || !output.Flush() || (!state.Streaming && !state.Waiting)) loop.quit();
        if (seconds > 0 && clock.elapsed() >= seconds * 1000) loop.quit();
    });

    if (!FSession->SetUpDongle() || !FSession->Start(false)) return ExitCode::Failed;
    clock.start();
    checks.start(std::min(StopCheckMs, FlushMs));
    loop.exec();
    checks.stop();
    if (!gone) FSession->Stop(); // a wait for the dongle ends too
    // The samples that came in while stopping are written too, then the marks without a row.
    QCoreApplication::processEvents();
    output.End(MarkedAfterLastSample(marks));
    output.Flush();

    if (!output.Error().isEmpty()) {
        Err("cannot write " + (path == "-" ? "to standard output" : path) + ": " + output.Error());
        return ExitCode::Failed;
    }
    if (gone) {
        Err(QStringLiteral("the dongle went away; %1 samples written").arg(output.Samples()));
        return ExitCode::NoDongle;
    }
    if (missed && !output.ReaderGone()) {
        Err("samples were missed while streaming (rows with missed=1)");
        return ExitCode::DataMissed;
    }
    return ExitCode::Success;
}

int TCompanion::Snr() {
    bool ok = true;
    const int channel = FParser.value("channel").toInt(&ok);
    if (!ok || (channel != 0 && channel != 1))
        return Usage("--channel is 0 or 1, not " + FParser.value("channel"));
    const int samples = FParser.isSet("samples") ? FParser.value("samples").toInt(&ok)
                                                 : TSnrCapture::DefaultSamples;
    if (!ok || samples < TSnrCapture::MinSamples || samples > 1000000)
        return Usage("--samples is a number from 100 to 1000000, not " + FParser.value("samples"));
    const double seconds = FParser.isSet("seconds") ? FParser.value("seconds").toDouble(&ok) : 60;
    if (!ok || !(seconds > 0 && seconds <= 1e6))
        return Usage("--seconds is a number above 0, not " + FParser.value("seconds"));
    bool passOk = false;
    bool goodOk = false;
    const Snr::TLevels levels{FParser.value("pass").toDouble(&passOk),
                              FParser.value("good").toDouble(&goodOk)};
    QString error = passOk && goodOk ? Snr::CheckLevels(levels) : "--pass and --good are numbers";
    std::optional<double> threshold;
    if (error.isEmpty() && FParser.isSet("threshold")) {
        threshold = FParser.value("threshold").toDouble(&ok);
        error = ok ? Snr::CheckThreshold(*threshold) : "--threshold is a number";
    }
    if (!error.isEmpty()) return Usage(error);

    TSnrCapture capture(channel, samples);
    bool missed = false;
    QEventLoop loop;
    QElapsedTimer clock;
    TSnrCapture::TStep told = TSnrCapture::TStep::Settling;
    Err("waiting for the IC to settle");
    auto sampled =
        FSession->OnSample.Subscribe([&](const TDecodedSample& Decoded, const quint8*, int) {
            capture.Add(Decoded, std::exchange(missed, false), clock.nsecsElapsed() / 1e6);
            if (capture.Step() == told) return;
            told = capture.Step();
            if (told == TSnrCapture::TStep::Untouched) Err("capturing untouched: do not touch");
            if (told == TSnrCapture::TStep::WaitingForTouch)
                Err("touch the sensor now, lightly, and hold the touch");
            if (told == TSnrCapture::TStep::Touched) Err("capturing touched: hold the touch");
            if (capture.Finished()) loop.quit();
        });
    auto lost = FSession->OnDataMissed.Subscribe([&] { missed = true; });
    bool gone = false;
    auto changed = FList.OnDeviceChange.Subscribe([&](QObject*, bool) {
        if (FTool.ReselectDevice()) return;
        gone = true;
        capture.Fail("the dongle went away");
        loop.quit();
    });
    const TStopSignals stopSignals;
    QTimer checks;
    QObject::connect(&checks, &QTimer::timeout, &loop, [&] {
        if (StopRequested) capture.Cancel();
        if (clock.elapsed() >= seconds * 1000)
            capture.Fail(QStringLiteral("no complete capture within %1 s").arg(seconds));
        if (!FSession->State().Streaming) capture.Fail("the stream stopped");
        if (capture.Finished()) loop.quit();
    });
    if (!FSession->SetUpDongle() || !FSession->Start(false)) return ExitCode::Failed;
    clock.start();
    checks.start(StopCheckMs);
    loop.exec();
    checks.stop();
    if (!gone) FSession->Stop();
    if (capture.Step() == TSnrCapture::TStep::Cancelled) {
        Err("cancelled");
        return ExitCode::Failed;
    }
    if (capture.Step() == TSnrCapture::TStep::Invalid) {
        Err("invalid capture: " + capture.InvalidReason());
        return gone ? ExitCode::NoDongle : ExitCode::Failed;
    }
    Err("done: release the touch");
    const Snr::TFigures f =
        Snr::Compute(capture.UntouchedCounts(), capture.TouchedCounts(), levels, threshold);
    QByteArray text;
    auto line = [&text](const char* Name, const QString& Value) {
        text += QByteArray(Name) + ": " + Value.toUtf8() + '\n';
    };
    auto number = [](double Value, int Decimals) { return QString::number(Value, 'f', Decimals); };
    line("verdict", Snr::VerdictText(f.Verdict));
    line("snr", f.RatioText());
    line("snr_db", f.Decibels ? number(*f.Decibels, 1) : "");
    line("signal", number(f.Signal, 2));
    line("signal_percent", f.SignalPercent ? number(*f.SignalPercent, 3) : "");
    line("noise_pp", QString::number(f.Untouched.PeakToPeak));
    line("noise_peak", number(f.Untouched.PeakFromMean, 2));
    line("noise_std", number(f.Untouched.StdDev, 3));
    line("touched_noise_pp", QString::number(f.Touched.PeakToPeak));
    line("touched_noise_std", number(f.Touched.StdDev, 3));
    if (threshold) {
        line("margin_in", number(*f.MarginIn, 2));
        line("margin_out", number(*f.MarginOut, 2));
    }
    line("samples", QString::number(f.Untouched.N));
    Out(text);
    return ExitCode::Success;
}

} // namespace

void AddCompanionOptions(QCommandLineParser& Parser) {
    Parser.addHelpOption();
    Parser.addVersionOption();
    Parser.addOption({"serial", "The dongle with this serial number.", "S"});
    Parser.addOption({"link", "The link to the IC: 1wire or i2c.", "LINK", "1wire"});
    Parser.addOption({"voltage", "The IC's supply: 3.3 or 1.8.", "V"});
    Parser.addOption({"verbose", "Information lines on standard error too."});
    Parser.addOption({"seconds", "stream, snr: how long at most.", "N"});
    Parser.addOption({"samples", "stream: how many samples; snr: how many per phase.", "N"});
    Parser.addOption({"format", "stream: csv or jsonl.", "FORMAT", "csv"});
    Parser.addOption({"output", "stream: the file, or - for standard output.", "FILE", "-"});
    Parser.addOption(
        {"reconnect", "stream: wait this long for an unplugged dongle to return.", "SECONDS"});
    Parser.addOption({"channel", "snr: the channel, 0 or 1.", "C", "0"});
    Parser.addOption({"threshold", "snr: the touch threshold in counts.", "T"});
    Parser.addOption({"pass", "snr: the SNR from which a capture passes.", "X", "5"});
    Parser.addOption({"good", "snr: the SNR from which a capture is good.", "Y", "10"});
}

QString CompanionHelp(const QString& Command) {
    for (const TCommandHelp& c : Commands)
        if (Command == c.Name)
            return QStringLiteral("Usage: pxs733-cli [options] %1\n%2\n%3")
                .arg(c.Usage, c.Text, CommonOptions);
    QString text = Overview;
    for (const TCommandHelp& c : Commands)
        text += QStringLiteral("  %1\n").arg(c.Usage);
    return text + CommonOptions + "\nEach command explains itself: pxs733-cli COMMAND --help\n";
}

int RunCompanion(const QCommandLineParser& Parser, THidAccess& Hid, int OutFd, int ErrFd) {
    TCompanion companion(Parser, Hid, OutFd, ErrFd);
    return companion.Run();
}
