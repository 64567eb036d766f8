// Program start: creates the six windows in their order and runs until the main window closes.
#include "HidApiAccess.h"
#include "JoinedHidAccess.h"
#include "KvrListBox.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "Recording.h"
#include "RemoteCommandServer.h"
#include "ReplayIC.h"
#include "SafeFile.h"
#include "SimHidAccess.h"
#include "SimOptions.h"
#include "SimUpdater.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"
#include "adpInstanceControl.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr int HintShowDelayMs = 350;
constexpr int ScreenshotDelayMs = 3000;

// Hover hints appear after a short, fixed delay.
class THintDelayStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_ToolTip_WakeUpDelay) return HintShowDelayMs;
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

// pxs733 --remote TEXT: hands TEXT to the running copy and prints its answer.
int RunRemote(int argc, char** argv, const char* Text) {
    QCoreApplication app(argc, argv);
    const int answer = TRemoteCommandServer::Send(QString::fromLocal8Bit(Text));
    if (answer < 0) {
        std::fprintf(stderr, "No running PXS733 application answered.\n");
        return 1;
    }
    std::printf("%d\n", answer);
    return 0;
}

// Saves a picture of every shown window, prints the paths and closes the application.
void SaveScreenshotsAndQuit(const QString& Folder, QWidget* MainForm) {
    QDir().mkpath(Folder);
    QTextStream out(stdout);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->objectName().isEmpty()) continue;
        const QString path = Folder + '/' + w->objectName() + ".png";
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!w->grab().save(&buffer, "PNG")) continue;
        const QString error = SafeFile::Write(path, png);
        if (error.isEmpty())
            out << path << Qt::endl;
        else
            qWarning().noquote() << "Cannot write" << path + ":" << error;
    }
    while (QWidget* modal = QApplication::activeModalWidget())
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    MainForm->close();
}

// The program's options; help and version are answered before any window system is needed.
void AddOptions(QCommandLineParser& Parser) {
    Parser.setApplicationDescription("PXS733 debug and display application");
    Parser.addHelpOption();
    Parser.addVersionOption();
    Parser.addOption(
        {"remote", "Send TEXT to the running application and print its answer.", "TEXT"});
    Parser.addOption({"screenshots",
                      "Save a PNG of every shown window to DIR after a few "
                      "seconds, then exit.",
                      "DIR"});
    SimOptions::Add(Parser);
    Parser.addOption({"replay",
                      "Play a recording back through a simulated dongle, as if it came live.",
                      "FILE"});
    Parser.addOption(
        {"replay-speed", "How much faster than recorded to play it back.", "FACTOR", "1"});
    Parser.addOption(
        {"replay-paused", "With --replay: wait for Start instead of starting at once."});
}

// Adds a line to the main window's messages from any thread, once the window exists.
class TMessagePoster {
public:
    void SetWindow(TPXS733MainForm* Window) { FWindow = Window; }
    // Shows a message line; with EndsRun the run then ends as Stop ends it.
    void Post(const QString& Text, TKvrItemType Kind, bool EndsRun = false) {
        QMetaObject::invokeMethod(
            &FContext,
            [this, Text, Kind, EndsRun] {
                if (!FWindow) return;
                FWindow->MessageBox->KvrAddItem(Text, Kind);
                if (EndsRun) FWindow->StreamEnded();
            },
            Qt::QueuedConnection);
    }

private:
    QObject FContext;
    QPointer<TPXS733MainForm> FWindow; // looked at on the user-interface thread only
};

// The IC that plays the recording the command line names, and the link it was recorded over;
// nothing (and the reason printed) when it cannot be played.
std::shared_ptr<TReplayIC> ReplayedIC(const QCommandLineParser& Parser, TMessagePoster& Messages,
                                      TReplayMarks& Marks, QString& RecordedLink) {
    const QString path = Parser.value("replay");
    bool ok = false;
    const double speed = Parser.value("replay-speed").toDouble(&ok);
    if (!ok || !(speed > 0) || speed > 1000) {
        std::fprintf(stderr, "Invalid --replay-speed: %s (a factor above 0, at most 1000)\n",
                     qPrintable(Parser.value("replay-speed")));
        return nullptr;
    }
    auto file = std::make_shared<Recording::TReplayFile>();
    if (!file->Open(path)) {
        std::fprintf(stderr, "Cannot replay %s: %s\n", qPrintable(path), qPrintable(file->Error()));
        return nullptr;
    }
    RecordedLink = file->Comment("link");
    Messages.Post(QStringLiteral("Replaying %1 (link: %2; supply: %3; stream: %4): %5")
                      .arg(path, RecordedLink, file->Comment("supply"), file->Comment("stream"),
                           Parser.isSet("replay-paused")
                               ? "start streaming with the same set-up"
                               : "streaming starts now, with the set-up the window has"),
                  aInfo);
    auto played = std::make_shared<qint64>(0);
    // Runs on the simulated dongle's streaming thread.
    auto next = [file, played, path, &Messages, &Marks]() -> std::optional<TReplayIC::TSample> {
        std::optional<Recording::TRow> row = file->Next();
        if (row) {
            Marks.Add(++*played, row->Marker);
            return TReplayIC::TSample{row->TimeMs, row->Lost, row->SampleBytes()};
        }
        if (!file->Error().isEmpty())
            Messages.Post("Replay of " + path + " stopped at " + file->Error(), aError, true);
        else
            Messages.Post(QStringLiteral("Replay finished: %1 samples").arg(*played), aInfo, true);
        return std::nullopt;
    };
    return std::make_shared<TReplayIC>(next, speed);
}

// The simulator's dongle, plugged in and out as File > Plug Simulated Dongle asks.
class TSimulatedDongle {
public:
    TSimulatedDongle(TSimHidAccess& Hid, std::shared_ptr<TVirtualDongle> Dongle)
        : FHid(Hid), FDongle(std::move(Dongle)) {}
    // Plugs it in or out; returns whether it is plugged in.
    bool Plug(bool In) {
        if (In && !FDongle->PluggedIn()) FHid.Plug(FDongle);
        if (!In) FHid.Unplug(FDongle);
        return FDongle->PluggedIn();
    }
    // The firmware updater plugged in an updated dongle instead.
    void Replaced(std::shared_ptr<TVirtualDongle> Dongle) { FDongle = std::move(Dongle); }
    std::shared_ptr<TVirtualDongle> Dongle() const { return FDongle; }

private:
    TSimHidAccess& FHid;
    std::shared_ptr<TVirtualDongle> FDongle;
};

// Answers --help, --version and a command line that does not parse; nothing when the
// program is to run.
std::optional<int> AnswerCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(PXS733_VERSION);
    QCommandLineParser parser;
    AddOptions(parser);
    // The window system's own options (-platform, -style, ...) are taken by it later.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    static const QStringList windowSystemOptions = {"platform",
                                                    "platformpluginpath",
                                                    "platformtheme",
                                                    "plugin",
                                                    "qwindowgeometry",
                                                    "qwindowicon",
                                                    "qwindowtitle",
                                                    "reverse",
                                                    "session",
                                                    "style",
                                                    "stylesheet",
                                                    "widgetcount",
                                                    "display",
                                                    "geometry",
                                                    "nograb",
                                                    "dograb",
                                                    "sync"};
    const bool parsed = parser.parse(QCoreApplication::arguments());
    const QStringList unknown = parser.unknownOptionNames();
    const bool onlyWindowSystem =
        !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), [](const QString& o) {
            return windowSystemOptions.contains(o);
        });
    if (!parsed && !onlyWindowSystem) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet("help")) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (parser.isSet("version")) {
        std::printf("pxs733 %s\n", PXS733_VERSION);
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // Under a file-size limit a write that goes past it fails (EFBIG) and is reported like a
    // full disk, instead of the signal killing the program in the middle of a row.
    std::signal(SIGXFSZ, SIG_IGN);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--remote") == 0) return RunRemote(argc, argv, argv[i + 1]);
    if (const std::optional<int> answered = AnswerCommandLine(argc, argv)) return *answered;

    QApplication app(argc, argv);
    app.setStyle(new THintDelayStyle);
    app.setApplicationDisplayName("Kelvra PXS733");
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(app);

    // One copy per program path: a second one brings the first forward and ends unseen.
    TadpInstanceControl adpInstanceControl1;
    if (!adpInstanceControl1.Register(QCoreApplication::applicationFilePath())) return 0;

    // The HID accesses outlive every window; the messages of a replay outlive the accesses.
    // The simulated dongle is plugged in from the start with --simulate or --replay, and
    // from File > Plug Simulated Dongle beside the real ones otherwise.
    TMessagePoster replayMessages;
    auto replayMarks = std::make_shared<TReplayMarks>();
    QString recordedLink;
    QString error;
    std::optional<SimOptions::TSimulation> simulation = SimOptions::Read(parser, error);
    if (!simulation) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const bool simulate = parser.isSet("simulate") || parser.isSet("replay");
    std::shared_ptr<TVirtualPXS733> ic = std::make_shared<TVirtualPXS733>();
    if (parser.isSet("replay")) {
        ic = ReplayedIC(parser, replayMessages, *replayMarks, recordedLink);
        if (!ic) return 2;
        simulation->Config.SampleRate = TVirtualDongle::MaxSampleRate; // the finest pace
    }
    TSimHidAccess simulated;
    TSimulatedDongle simulatedDongle(simulated, SimOptions::MakeDongle(*simulation, ic));
    std::unique_ptr<THidApiAccess> real;
    std::unique_ptr<TJoinedHidAccess> joined;
    THidAccess* hid = &simulated;
    // The simulated updater brings every model to the simulator's default firmware.
    TSimUpdater updater(simulated, simulatedDongle.Dongle(), TVirtualDongleConfig{}.Firmware);
    QObject::connect(&updater, &TSimUpdater::Updated,
                     [&] { simulatedDongle.Replaced(updater.Dongle()); });
    QStringList updaterFolders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    if (simulate) {
        simulatedDongle.Plug(true);
        updaterFolders = {updater.ConfigFolder()};
    } else {
        real = std::make_unique<THidApiAccess>();
        joined = std::make_unique<TJoinedHidAccess>(*real, simulated);
        hid = joined.get();
    }

    TModalDialogs dialogs;
    TPXS733Windows windows(dialogs, *hid, updaterFolders);
    TPXS733MainForm* mainForm = windows.MainForm;
    replayMessages.SetWindow(mainForm);
    // A replay decodes its samples as they were decoded when recorded: over the same link.
    if (const int link = mainForm->CommsCombo->findText(recordedLink); link >= 0)
        mainForm->CommsCombo->setCurrentIndex(link);
    QObject::connect(mainForm, &TPXS733MainForm::Closed, &app, &QCoreApplication::quit);
    if (parser.isSet("replay")) mainForm->PlayReplay(!parser.isSet("replay-paused"), replayMarks);
    mainForm->OfferSimulatedDongle(
        {[&simulatedDongle](bool In) { return simulatedDongle.Plug(In); },
         [&simulatedDongle](const QString& Path) {
             return simulatedDongle.Dongle()->Info().Path == Path;
         },
         {updater.ConfigFolder()},
         simulate});

    TRemoteCommandServer remote(
        [mainForm](const QString& Text) { return mainForm->HandleRemoteCommand(Text); });
    remote.Listen();
    adpInstanceControl1.OnRaiseRequest = [mainForm] {
        mainForm->showNormal();
        mainForm->raise();
        mainForm->activateWindow();
    };

    if (parser.isSet("screenshots")) {
        const QString folder = parser.value("screenshots");
        QTimer::singleShot(ScreenshotDelayMs, mainForm,
                           [folder, mainForm] { SaveScreenshotsAndQuit(folder, mainForm); });
    }

    mainForm->show();
    const int result = app.exec();
    return result;
}
