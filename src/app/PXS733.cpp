// Program start: creates the six windows in their order and runs until the main window closes.
#include "AboutDialogUnit.h"
#include "HintTipsUnit.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "RemoteCommandServer.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "StreamSetupUnit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QProxyStyle>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr int HintShowDelayMs = 350;
constexpr int ScreenshotDelayMs = 3000;

// Hover hints appear after a short, fixed delay.
class THintDelayStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_ToolTip_WakeUpDelay)
            return HintShowDelayMs;
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
        if (!w->isVisible() || w->objectName().isEmpty())
            continue;
        const QString path = Folder + '/' + w->objectName() + ".png";
        if (w->grab().save(path))
            out << path << Qt::endl;
    }
    while (QWidget* modal = QApplication::activeModalWidget())
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    MainForm->close();
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--remote") == 0)
            return RunRemote(argc, argv, argv[i + 1]);

    QApplication app(argc, argv);
    app.setStyle(new THintDelayStyle);
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription("PXS733 debug and display application");
    parser.addHelpOption();
    parser.addOption({"remote", "Send TEXT to the running application and print its answer.",
                      "TEXT"});
    parser.addOption({"screenshots", "Save a PNG of every shown window to DIR after a few "
                                     "seconds, then exit.",
                      "DIR"});
    parser.process(app);

    TModalDialogs dialogs;
    TPXS733Windows windows;
    windows.MainForm = new TPXS733MainForm(windows, dialogs);
    windows.ScopeForm = new TScopeForm;
    windows.StreamSetupForm = new TStreamSetupForm;
    windows.SendCommands = new TSendCommands;
    windows.AboutDialog = new TAboutDialog;
    windows.HintTipsForm = new THintTipsForm;
    TPXS733MainForm* mainForm = windows.MainForm;
    QObject::connect(mainForm, &TPXS733MainForm::Closed, &app, &QCoreApplication::quit);

    TRemoteCommandServer remote(
        [mainForm](const QString& Text) { return mainForm->HandleRemoteCommand(Text); });
    remote.Listen();

    if (parser.isSet("screenshots")) {
        const QString folder = parser.value("screenshots");
        QTimer::singleShot(ScreenshotDelayMs, mainForm,
                           [folder, mainForm] { SaveScreenshotsAndQuit(folder, mainForm); });
    }

    mainForm->show();
    const int result = app.exec();

    // The other windows go first; the main window's destruction runs last.
    delete windows.HintTipsForm;
    delete windows.AboutDialog;
    delete windows.SendCommands;
    delete windows.StreamSetupForm;
    delete windows.ScopeForm;
    delete windows.MainForm;
    return result;
}
