#include "AboutDialogUnit.h"
#include "CategoryPanel.h"
#include "FullDisk.h"
#include "HintTipsUnit.h"
#include "KvrListBox.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "RemoteCommandServer.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "SimHidAccess.h"
#include "StreamSetupUnit.h"
#include "TestDialogs.h"
#include "VirtualDongle.h"
#include "adpInstanceControl.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <future>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// The six windows as the program creates them, on simulated HID access.
struct Application {
    TTestDialogs dialogs;
    TSimHidAccess hid;
    TPXS733Windows windows{dialogs, hid, {}};
    TPXS733MainForm* form = windows.MainForm;

    QString LastMessage() const {
        const int n = form->MessageBox->count();
        return n ? form->MessageBox->item(n - 1)->text() : QString();
    }
    QStringList Messages() const {
        QStringList lines;
        for (int i = 0; i < form->MessageBox->count(); ++i)
            lines << form->MessageBox->item(i)->text();
        return lines;
    }
};

// Sends raw bytes to the application's remote-command socket from another thread, while
// this thread keeps serving events, and returns the reply line.
QByteArray SendRaw(const QByteArray& bytes) {
    auto reply = std::async(std::launch::async, [bytes] {
        QLocalSocket socket;
        socket.connectToServer(TRemoteCommandServer::SocketName());
        if (!socket.waitForConnected(2000)) return QByteArray("no connection");
        socket.write(bytes);
        socket.waitForBytesWritten(2000);
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(3000)) return QByteArray("no reply");
        return socket.readLine().trimmed();
    });
    while (reply.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return reply.get();
}

void SendKey(QWindow* window, QEvent::Type type, int key, quint32 keysym, bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, 0, keysym, 0, QString(), autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString IniPath() const { return home->path() + "/data/Kelvra/PXS733/KelvraPXS733.ini"; }
    void WriteIni(const QByteArray& text) {
        QDir().mkpath(QFileInfo(IniPath()).path());
        QFile f(IniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray IniText() const {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", (home->path() + "/data").toUtf8());
        QDir().mkpath(home->path() + "/run");
        QFile::setPermissions(home->path() + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", (home->path() + "/run").toUtf8());
    }

    void startsWithItsTitlesAndHiddenEngineeringPanel() {
        Application app;
        QCOMPARE(app.form->windowTitle(), QString("Kelvra PXS733"));
        QCOMPARE(app.form->FAppVersion, QString("1.0.1.10"));
        QCOMPARE(app.form->ApplicationTitle, QString("Kelvra PXS733 V1.0.1.10 "));
        QVERIFY(app.form->EngineeringCategoryPanel->isHidden());
        QVERIFY(app.form->DisplayGroup->isHidden());
        QVERIFY(app.form->Session->State().Link1Wire);
        QVERIFY(app.form->FFirmwareCheck);
        QVERIFY(app.form->FSetupFormIni);
        QVERIFY(!app.form->CH0PTShape->pixmap().isNull());
        QCOMPARE(app.form->MessagesCategory->Caption(), QString("USB Dongle && Messages"));
    }

    void listsTheDonglesAsTheyComeAndGo() {
        Application app;
        auto dongle = std::make_shared<TVirtualDongle>();
        app.hid.Plug(dongle);
        QTRY_COMPARE(app.form->DevListBox->count(), 1);
        QCOMPARE(app.form->DevListBox->item(0)->text(), QString(" Kelvra LK600"));
        app.hid.Unplug(dongle);
        QTRY_COMPARE(app.form->DevListBox->count(), 0);
    }

    void firstRunCreatesSettingsAndShowsTipsOnce() {
        Application app;
        app.form->show();
        QVERIFY(QTest::qWaitForWindowActive(app.form));
        QTRY_COMPARE(app.dialogs.shown, QStringList{"THintTipsForm"});
        QCOMPARE(IniText(), QByteArray("[MainForm]\r\nWidth=") +
                                QByteArray::number(app.form->frameGeometry().width()) + "\r\n");
        QVERIFY(app.form->ShowHintsItem->isChecked());
        QVERIFY(!app.form->DeltaCheck->isChecked());
        QVERIFY(!app.form->FSetupFormIni);
        QVERIFY(app.windows.AboutDialog->InfoLabel->text().startsWith(
            "PXS733 GUI \nVersion 1.0.1.10\n"));
        // The first start names the keys that start a run.
        QCOMPARE(app.Messages()
                     .filter("press F1 (Start), Shift+F1 (Start in debug mode) or F4 "
                             "(Power On)")
                     .size(),
                 1);

        app.form->FormActivate();
        QTest::qWait(20);
        QCOMPARE(app.dialogs.shown.size(), 1);
    }

    void closeWritesSettingsThatTheNextStartApplies() {
        {
            Application app;
            app.form->FormActivate();
            app.form->ShowHintsItem->trigger(); // hover hints off
            app.form->resize(1300, 720);
            app.form->close();
        }
        const QByteArray text = IniText();
        QVERIFY(text.contains("Width=") &&
                text.contains("\r\nState=Nor\r\nHints=0\r\nDelta=0\r\nTips=-1\r\n"));
        QVERIFY(text.contains("\r\n[Run]\r\nReconnectSeconds=60\r\n"));

        Application next;
        next.form->FormActivate();
        QVERIFY(!next.form->ShowHintsItem->isChecked());
        QVERIFY(!next.form->FSetupFormIni);
        QVERIFY(next.Messages().filter("press F1").isEmpty());
    }

    void aFullDiskKeepsTheSettingsAndSaysSoOnce() {
        TFullDisk disk;
        qputenv("XDG_DATA_HOME", disk.Path().toUtf8());
        const QString path = disk.Path() + "/Kelvra/PXS733/KelvraPXS733.ini";
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const QByteArray old =
            "[MainForm]\r\nWidth=900\r\nTips=0\r\n\r\n[Other Program]\r\nKey=1\r\n";
        disk.Put("Kelvra/PXS733/KelvraPXS733.ini", old);
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType Type, const QMessageLogContext&, const QString& Text) {
                if (Type == QtWarningMsg) warnings << Text;
            });
        {
            Application app;
            app.form->FormActivate();
            for (QWidget* window : {static_cast<QWidget*>(app.windows.ScopeForm),
                                    static_cast<QWidget*>(app.windows.SendCommands)}) {
                window->show();
                QEvent activate(QEvent::WindowActivate);
                QCoreApplication::sendEvent(window, &activate);
            }
            disk.Fill();
            app.form->close();
        } // the scope and the trace window write their sections as they go
        qInstallMessageHandler(previous);
        QCOMPARE(warnings.filter("Settings not saved"),
                 QStringList("Settings not saved to " + path + ": " + disk.Reason()));
        QCOMPARE(disk.Read("Kelvra/PXS733/KelvraPXS733.ini"), old);
    }

    void baselineViewComesFromTheSettingsFile() {
        WriteIni("[MainForm]\r\nDelta=-1\r\nTips=0\r\n");
        Application app;
        app.form->FormActivate();
        QVERIFY(app.form->DeltaCheck->isChecked());
        QVERIFY(app.form->FDeltaOnly);
        QVERIFY(app.form->DeltaCheck->font().bold());
        QVERIFY(app.dialogs.shown.isEmpty()); // "Tips" off
    }

    void theReconnectTimeComesFromTheSettingsFile() {
        const struct {
            const char* value;
            int limitMs;
        } cases[] = {{"5", 5000}, {"0", 0}, {"-1", 0}, {"2147483647", 600000}};
        for (const auto& c : cases) {
            WriteIni(QByteArray("[MainForm]\r\nTips=0\r\n[Run]\r\nReconnectSeconds=") + c.value +
                     "\r\n");
            Application app;
            app.form->FormActivate();
            QCOMPARE(app.form->Session->ReconnectLimit(), c.limitMs);
        }
    }

    void unparsableValueIsReportedAndRetriedAtTheNextActivation() {
        WriteIni("[MainForm]\r\nState=Nor\r\nLeft=20\r\nTop=30\r\nHints=maybe\r\nTips=0\r\n");
        Application app;
        app.form->FormActivate();
        QCOMPARE(app.LastMessage(), QString(" Error loading saved settings!"));
        QCOMPARE(app.form->MessageBox->ItemType(0), aError);
        QCOMPARE(app.form->MessagesPanel->palette().color(QPalette::Window), QColor(255, 94, 94));
        QVERIFY(app.form->FSetupFormIni);
        QCOMPARE(app.form->pos(), QPoint(20, 30)); // applied before the failure

        WriteIni("[MainForm]\r\nState=Nor\r\nLeft=20\r\nTop=30\r\nHints=0\r\nTips=0\r\n");
        app.form->FormActivate();
        QVERIFY(!app.form->FSetupFormIni);
        QVERIFY(!app.form->ShowHintsItem->isChecked());
        QCOMPARE(app.form->MessageBox->count(), 1);
    }

    void brokenSettingsLocationsNeverStopTheApplication() {
        // The settings path is a folder; then the data folder is a plain file.
        QDir().mkpath(IniPath());
        {
            Application app;
            app.form->FormActivate();
            QCOMPARE(app.LastMessage(), QString(" Error loading saved settings!"));
            app.form->close();
        }
        QVERIFY(QDir().rmpath(IniPath()));
        QDir(home->path() + "/data").removeRecursively();
        QFile blocker(home->path() + "/data");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Application app;
        app.form->FormActivate();
        QCOMPARE(app.LastMessage(), QString(" Error loading saved settings!"));
        app.form->close();
    }

    void resetDeletesTheSettingsAfterTheyAreWrittenAtClose() {
        {
            Application app;
            app.form->FormActivate();
            app.form->ResetSettingsItem->trigger();
            QCOMPARE(app.LastMessage(), QString(" Saved settings will reset on next start-up"));
            app.form->close();
            QVERIFY(IniText().contains("Tips="));
        }
        QVERIFY(!QFile::exists(IniPath()));
        Application next;
        next.form->FormActivate();
        QTRY_COMPARE(next.dialogs.shown, QStringList{"THintTipsForm"}); // a first run again
    }

    void messageLinesColourThePanelAndOpenItOnError() {
        Application app;
        app.form->MessagesCategory->Collapse();
        app.form->MessageBox->KvrAddItem("fine", aInfo);
        QCOMPARE(app.form->MessagesPanel->palette().color(QPalette::Window), QColor(213, 255, 213));
        QVERIFY(app.form->MessagesCategory->Collapsed());
        app.form->MessageBox->KvrAddItem("bad", aError);
        QCOMPARE(app.form->MessagesPanel->palette().color(QPalette::Window), QColor(255, 94, 94));
        QVERIFY(!app.form->MessagesCategory->Collapsed());
    }

    void bothShiftKeysToggleTheEngineeringPanel() {
        Application app;
        app.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.form));
        QWindow* window = app.form->windowHandle();
        const quint32 left = 0xFFE1, right = 0xFFE2;

        SendKey(window, QEvent::KeyPress, Qt::Key_Shift, left);
        QVERIFY(app.form->EngineeringCategoryPanel->isHidden());
        SendKey(window, QEvent::KeyPress, Qt::Key_Shift, right);
        QVERIFY(app.form->EngineeringCategoryPanel->isVisible());
        QVERIFY(!app.form->FFirmwareCheck);
        QCOMPARE(app.LastMessage(), QString(" Engineering Enabled"));

        SendKey(window, QEvent::KeyPress, Qt::Key_Shift, right, true); // auto-repeat
        QVERIFY(app.form->EngineeringCategoryPanel->isHidden());
        QVERIFY(app.form->FFirmwareCheck);
        QCOMPARE(app.LastMessage(), QString(" Engineering Disabled"));

        SendKey(window, QEvent::KeyRelease, Qt::Key_Shift, right);
        SendKey(window, QEvent::KeyPress, Qt::Key_A, 'a');
        SendKey(window, QEvent::KeyPress, Qt::Key_Shift, left, true);
        QVERIFY(app.form->EngineeringCategoryPanel->isHidden());
    }

    void f3ShowsAndClosesTheScope() {
        Application app;
        app.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.form));
        QTest::keyClick(app.form->windowHandle(), Qt::Key_F3);
        QVERIFY(app.windows.ScopeForm->isVisible());
        QTest::keyClick(app.form->windowHandle(), Qt::Key_F3);
        QVERIFY(!app.windows.ScopeForm->isVisible());
    }

    void oneCopyPerProgramPath() {
        // Two guards in one process are refused; the shared name drops backslashes and blanks.
        {
            TadpInstanceControl guard;
            QVERIFY_THROWS_EXCEPTION(EInstanceControl, TadpInstanceControl());
            QCOMPARE(TadpInstanceControl::MappingName("C:\\Tools\\Sensor GUI\\app.exe"),
                     QString("C:ToolsSensorGUIapp.exe"));
        }
        auto start = [](const QString& program) {
            auto copy = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            copy->setProcessEnvironment(env);
            copy->start(program, {"--simulate"});
            return copy;
        };
        auto first = start(PXS733_EXECUTABLE);
        QVERIFY(first->waitForStarted());
        // Registered and listening once it answers a remote command (its server starts after
        // the guard has admitted it).
        auto answers = [] {
            QProcess remote;
            remote.start(PXS733_EXECUTABLE, {"--remote", "Status"});
            return remote.waitForFinished(10000) && remote.readAllStandardOutput().trimmed() == "1";
        };
        QTRY_VERIFY_WITH_TIMEOUT(answers(), 30000);
        auto second = start(PXS733_EXECUTABLE);
        QVERIFY(second->waitForFinished(5000)); // refused: ends at once, showing nothing
        QCOMPARE(second->exitCode(), 0);

        // A copy of the program in another folder is another program.
        QTemporaryDir other;
        const QString copyPath = other.filePath("pxs733");
        QVERIFY(QFile::copy(PXS733_EXECUTABLE, copyPath));
        auto elsewhere = start(copyPath);
        QVERIFY(!elsewhere->waitForFinished(1500));

        first->kill();
        first->waitForFinished();
        auto third = start(PXS733_EXECUTABLE); // the first has ended: runs normally
        QVERIFY(!third->waitForFinished(1500));
        for (auto* copy : {elsewhere.get(), third.get()}) {
            copy->kill();
            copy->waitForFinished();
        }
    }

    void commandLineAnswersWithoutAWindow() {
        struct Case {
            QStringList arguments;
            int exitCode;
            QStringList printed; // on standard output or error
        };
        const Case cases[] = {
            {{"--version"}, 0, {"pxs733 1.0.1.10"}},
            {{"--help"},
             0,
             {"--simulate", "--sim-model", "--sim-firmware", "--sim-serial", "--sim-latency-ms",
              "--remote", "--screenshots", "--version", "--replay", "--replay-speed"}},
            {{"--no-such-option"}, 2, {"Unknown option 'no-such-option'", "Usage:"}},
        };
        for (const Case& c : cases) {
            QProcess program;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("DISPLAY"); // no window system is needed for these
            env.remove("QT_QPA_PLATFORM");
            program.setProcessEnvironment(env);
            program.start(PXS733_EXECUTABLE, c.arguments);
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitCode(), c.exitCode);
            const QString printed =
                program.readAllStandardOutput() + program.readAllStandardError();
            for (const QString& text : c.printed)
                QVERIFY2(printed.contains(text), qPrintable(text));
        }
    }

    void replayRefusesWhatItCannotPlay() {
        QTemporaryDir dir;
        auto file = [&dir](const QString& Name, const QByteArray& Text) {
            QFile f(dir.filePath(Name));
            f.open(QIODevice::WriteOnly);
            f.write(Text);
            return f.fileName();
        };
        const QByteArray binary = QByteArray::fromHex("7F454C460201010000") + QByteArray(5000, 1);
        const QString fifo = dir.filePath("fifo.csv"); // no writer: opening it would block
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        struct Case {
            QStringList arguments;
            QString printed;
        } const cases[] = {
            {{"--replay", dir.filePath("missing.csv")},
             "Cannot replay " + dir.filePath("missing.csv")},
            {{"--replay", file("empty.csv", "")}, "line 1: the file is empty, not a recording"},
            {{"--replay", file("binary.csv", binary)},
             "line 1: not a recording of this application"},
            {{"--replay", file("other.csv", "time,value\n0,1\n")},
             "line 1: not a recording of this application"},
            {{"--replay", fifo}, "Cannot replay " + fifo + ": not a regular file"},
            {{"--replay", file("header.csv", "# PXS733 recording\n"), "--replay-speed", "0"},
             "Invalid --replay-speed: 0"},
        };
        for (const Case& c : cases) {
            QProcess program;
            program.start(PXS733_EXECUTABLE, c.arguments);
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitCode(), 2);
            const QString printed = program.readAllStandardError();
            QVERIFY2(printed.contains(c.printed), qPrintable(printed));
        }
    }

    void exitMenuClosesTheWindow() {
        Application app;
        app.form->show();
        QSignalSpy closed(app.form, &TPXS733MainForm::Closed);
        app.form->ExitItem->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!app.form->isVisible());
    }

    void remoteCommandsAreAnswered() {
        Application app;
        app.form->show();
        TRemoteCommandServer server(
            [&app](const QString& text) { return app.form->HandleRemoteCommand(text); });
        QVERIFY(server.Listen());
        QSignalSpy closed(app.form, &TPXS733MainForm::Closed);

        QCOMPARE(SendRaw("Status please\n"), QByteArray("1"));
        QCOMPARE(SendRaw("hello\n"), QByteArray("0"));
        QCOMPARE(SendRaw(QByteArray(100000, 'C') + "lose\n"), QByteArray("0")); // over-long
        QCOMPARE(SendRaw("Cl\xff\xfeose\n"), QByteArray("0"));                  // not UTF-8
        QTest::qWait(20);
        QCOMPARE(closed.count(), 0);
        QVERIFY(app.form->isVisible());

        // Another copy of the program hands its text over and prints the answer.
        QProcess remote;
        remote.start(PXS733_EXECUTABLE, {"--remote", "Close"});
        QTRY_COMPARE_WITH_TIMEOUT(remote.state(), QProcess::NotRunning, 10000);
        QCOMPARE(remote.readAllStandardOutput().trimmed(), QByteArray("2"));
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!app.form->isVisible());
    }

    void aFileSizeLimitFailsWritesInsteadOfKillingTheProgram() {
        // The screenshots are larger than the limit; the program says so and ends normally.
        QTemporaryDir shots;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.setChildProcessModifier([] {
            const rlimit limit{1000, 1000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        program.start(PXS733_EXECUTABLE, {"--simulate", "--screenshots", shots.path()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(errors.contains(QString("TPXS733MainForm.png: ") + std::strerror(EFBIG)),
                 qPrintable(errors));
        QCOMPARE(QDir(shots.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void remoteCommandWithoutRunningCopyFails() {
        QProcess remote;
        remote.start(PXS733_EXECUTABLE, {"--remote", "Status"});
        QVERIFY(remote.waitForFinished(10000));
        QCOMPARE(remote.exitCode(), 1);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_MainForm.moc"
