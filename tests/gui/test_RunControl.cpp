#include "CategoryPanel.h"
#include "HIDToolsErrorCodes.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "ScopeUnit.h"
#include "SimHidAccess.h"
#include "SimUpdater.h"
#include "SimulatedApplication.h"
#include "StreamSetupUnit.h"
#include "TestDialogs.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include <memory>

namespace {

const QString Idle = "Start/tm/Pause:off/Power On/link ----";
const QString Powered = "Start/tm/Pause:off/Power Off/link SP--";
const QString Streaming = "Stop/-/Pause:on/Power Off/- SPT-";
const QString Paused = "Stop/-/Resume:on/Power Off/- SP-Z";

// Counts the paint events a widget gets.
struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* Event) override {
        Paints += Event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void theScopeGetsChannel0sCountAndLTAInTheirSlots() {
        Application app;
        TScopeForm& scope = *app.windows->ScopeForm;
        scope.CH0CurCheck->setChecked(true);
        scope.CH0LTACheck->setChecked(true);
        app.form->StartButton->click();
        QTRY_VERIFY(scope.NrOfChartPoints() > 20);
        app.form->StartButton->click(); // the last sample stays on screen
        const int last = scope.NrOfChartPoints() - 1;
        // The values the main window shows for the last sample.
        const double count = app.form->CS0Lbl->text().toDouble();
        const double lta = app.form->LTA0Lbl->text().toDouble();
        QVERIFY(count > 0 && lta > 0);
        QCOMPARE(scope.Buffers().At(0, last).Y, count);
        QCOMPARE(scope.Buffers().At(8, last).Y, lta);
        for (int slot = 0; slot < TScopeBuffers::SlotCount; ++slot)
            if (slot != 0 && slot != 8) QCOMPARE(scope.Buffers().At(slot, last).Y, 0.0);
    }

    void walksThroughEveryState() {
        Application app;
        QCOMPARE(app.State(), Idle);
        app.form->PowerButton->click();
        QCOMPARE(app.LastMessage(), QString("Device powered on"));
        QCOMPARE(app.State(), Powered);

        app.form->StartButton->click();
        QCOMPARE(app.LastMessage(), QString("Device streaming started"));
        QCOMPARE(app.State(), Streaming);
        QVERIFY(app.form->BarTimer->isActive());
        // Samples arrive and show.
        QTRY_VERIFY(app.form->CS0Lbl->text() != "0");
        QTRY_VERIFY(app.form->GetChannelCount(0) > 500);

        app.form->PauseButton->click();
        QCOMPARE(app.LastMessage(), QString("Device streaming paused"));
        QCOMPARE(app.State(), Paused);
        QVERIFY(!app.form->BarTimer->isActive());

        app.form->PauseButton->click();
        QCOMPARE(app.LastMessage(), QString("Device streaming resumed"));
        QCOMPARE(app.State(), Streaming);

        app.form->StartButton->click(); // "Stop"
        QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                 QStringList({"Device streaming stopped", "Device powered off"}));
        QCOMPARE(app.State(), Idle);
        QVERIFY(!app.dongle->State().Streaming);
    }

    // ... and only where they changed, so what the screen shows must be the whole chart.
    void theBarsRepaintOnlyWhenTheyLookDifferent() {
        Application app;
        TPXS733MainForm& f = *app.form;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        TPaintCounter counter;
        f.BarGraph->installEventFilter(&counter);
        const auto tick = [&] {
            QCoreApplication::processEvents();
            counter.Paints = 0;
            QMetaObject::invokeMethod(f.BarTimer, "timeout");
            QCoreApplication::processEvents();
            return counter.Paints;
        };
        // The part of the chart not covered by the window's other widgets.
        const QRect shown = f.BarGraph->visibleRegion().boundingRect();
        const auto onScreen = [&] {
            const QPoint at = f.BarGraph->mapTo(&f, shown.topLeft());
            return f.screen()
                ->grabWindow(f.winId(), at.x(), at.y(), shown.width(), shown.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        const auto whole = [&] {
            return f.BarGraph->grab(shown).toImage().convertToFormat(QImage::Format_RGB32);
        };
        const auto afresh = [&] { // not from the chart's buffers
            return f.BarGraph->toPixmap().copy(shown).toImage().convertToFormat(
                QImage::Format_RGB32);
        };
        // A count whose bar top lies on a whole pixel row.
        QCPAxis& y = *f.BarGraph->yAxis;
        const double base = y.pixelToCoord(std::round(y.coordToPixel(1000)));
        const double pixel = base - y.pixelToCoord(y.coordToPixel(base) + 1); // counts per pixel
        f.Series1->setData({0.0}, {base});
        QCOMPARE(tick(), 1);
        const struct {
            const char* what;
            std::function<void()> change;
            int paints;
        } cases[] = {
            {"nothing", [] {}, 0},
            {"less than a pixel", [&] { f.Series1->setData({0.0}, {base + pixel / 4}); }, 0},
            {"a pixel and more", [&] { f.Series1->setData({0.0}, {base + 2 * pixel}); }, 1},
            {"far down", [&] { f.Series1->setData({0.0}, {base - 300.5 * pixel}); }, 1},
            {"far up", [&] { f.Series1->setData({0.0}, {base + 200 * pixel}); }, 1},
            {"both",
             [&] {
                 f.Series1->setData({0.0}, {base});
                 f.Series2->setData({0.0}, {base - 50 * pixel});
             },
             1},
            {"a colour", [&] { f.Series2->setBrush(Qt::red); }, 1},
            {"no bar", [&] { f.Series1->data()->clear(); }, 1},
            {"the whole chart drawn", [&] { f.BarGraph->replot(); }, 1},
        };
        for (const auto& c : cases) {
            c.change();
            const int paints = tick();
            QVERIFY2(paints == c.paints,
                     qPrintable(QStringLiteral("%1: %2").arg(c.what).arg(paints)));
            QVERIFY2(onScreen() == whole(), c.what);
            // A moved end of less than a pixel is not drawn, by design.
            if (c.paints) QVERIFY2(onScreen() == afresh(), c.what);
        }
    }

    void theRunMenuFollowsTheButtons() {
        Application app;
        TPXS733MainForm& f = *app.form;
        auto same = [&](const char* when) {
            const std::pair<QAction*, QPushButton*> pairs[] = {
                {f.StartItem, f.StartButton},
                {f.StartDebugItem, f.StartTMButton},
                {f.PauseItem, f.PauseButton},
                {f.PowerItem, f.PowerButton},
                {f.StreamSetupItem, f.StreamSetupButton}};
            for (const auto& [item, button] : pairs) {
                QVERIFY2(item->isEnabled() == button->isEnabled(), when);
                if (item != f.StreamSetupItem)
                    QVERIFY2(item->text().startsWith(button->text() + '\t'), when);
            }
        };
        same("idle");
        QCOMPARE(f.StartItem->text(), QString("Start\tF1"));
        f.StartItem->trigger();
        QVERIFY(f.Session->State().Streaming);
        same("streaming");
        f.PauseItem->trigger();
        QVERIFY(f.Session->State().Paused);
        same("paused");
        QCOMPARE(f.PauseItem->text(), QString("Resume\tF2"));
        f.PowerItem->trigger();
        QVERIFY(!f.Session->State().PowerOn);
        same("powered off");
    }

    void aReplayRunStartsOnceItsDongleIsAccepted() {
        // As at a start: the windows exist before the first look at the dongles.
        TTestDialogs dialogs;
        TSimHidAccess hid;
        const auto dongle = std::make_shared<TVirtualDongle>();
        hid.Plug(dongle);
        TSimUpdater updater(hid, dongle, TVirtualDongleConfig{}.Firmware);
        TPXS733Windows windows(dialogs, hid, {updater.ConfigFolder()});
        TPXS733MainForm& form = *windows.MainForm;
        form.PlayReplay(true, nullptr);
        QVERIFY(!form.Session->State().DongleUsable);
        QTRY_VERIFY(form.Session->State().Streaming);
        form.StartButton->click(); // Stop works as usual, and nothing starts it again
        Application::Settle();
        QVERIFY(!form.Session->State().Streaming);
    }

    void theStatusBarTellsTheRunAndTheValuesGreyWhenItEnds() {
        Application app(std::make_shared<TVirtualPXS733>(), 1000);
        TPXS733MainForm& f = *app.form;
        QCOMPARE(f.RunStatus->text(), QString("Idle"));
        QVERIFY(f.DongleStatus->text().endsWith("SIM000001"));
        QCOMPARE(f.LinkStatus->text(),
                 f.CommsCombo->currentText() + ", " + f.VoltageCombo->currentText());
        f.StartButton->click();
        QCOMPARE(f.RunStatus->text(), QString("Streaming"));
        QVERIFY(f.CS0Lbl->isEnabled() && !f.StaleLabel->isVisibleTo(&f));
        // The rate over the last second, near what the dongle streams.
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^(9\\d\\d|10\\d\\d|1100) samples/s$")
                                     .match(f.RateStatus->text())
                                     .hasMatch(),
                                 5000);
        QCOMPARE(f.GapsStatus->text(), QString("0 gaps"));
        TDongleFaults faults = app.dongle->Faults();
        faults.DropShare = 0.05;
        app.dongle->SetFaults(faults);
        QTRY_VERIFY(f.GapsStatus->text() != "0 gaps");

        f.PauseButton->click();
        QCOMPARE(f.RunStatus->text(), QString("Paused"));
        QCOMPARE(f.RateStatus->text(), QString("0 samples/s"));
        QVERIFY(f.CS0Lbl->isEnabled()); // a pause is no end
        f.PowerButton->click();
        QCOMPARE(f.RunStatus->text(), QString("Idle"));
        for (QLabel* value : {f.CS0Lbl, f.LTA0Lbl, f.DT0Lbl, f.PCC0Label, f.ActivationLabel})
            QVERIFY2(!value->isEnabled(), qPrintable(value->objectName()));
        QVERIFY(f.CS0Lbl->text() != "0"); // the last values stay
        QVERIFY(f.StaleLabel->isVisibleTo(&f));
        QVERIFY(f.StaleLabel->text().startsWith("Last values, taken at "));
    }

    void theMessagesAreSavedWithTheirTimes() {
        Application app;
        app.dialogs.savePath = home.filePath("messages"); // typed without an extension
        app.form->MessageBox->OnSaveLines(app.form->MessageBox);
        QFile file(home.filePath("messages.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), app.form->MessageBox->count());
        QVERIFY(QRegularExpression(R"(^\d\d:\d\d:\d\d Compatible device\(s\) detected$)")
                    .match(lines.first())
                    .hasMatch());
    }

    void stopWhilePausedSendsNoStop() {
        Application app;
        app.form->StartButton->click();
        app.form->PauseButton->click();
        app.dongle->ClearRequests();
        app.form->StartButton->click();
        for (const QByteArray& r : app.dongle->Requests())
            QVERIFY(quint8(r[2]) != 0x0D);
        QCOMPARE(app.LastMessage(), QString("Device powered off"));
        QCOMPARE(app.State(), Idle);
    }

    void powerButtonWhileStreamingKeepsTheLinkListDisabled() {
        Application app;
        app.form->StartButton->click();
        app.form->PowerButton->click();
        QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                 QStringList({"Device streaming stopped", "Device powered off"}));
        QCOMPARE(app.State(), "Start/tm/Pause:off/Power On/- ----");
    }

    void debugStartRunsOverI2CAndGoesBackTo1Wire() {
        Application app;
        app.form->StartTMButton->click();
        QCOMPARE(app.LastMessage(), QString("Device streaming started"));
        QCOMPARE(app.form->CommsCombo->currentText(), QString("I²C"));
        QVERIFY(app.ic->Streams()); // the STREAM bit is set
        QVERIFY(
            app.Messages().contains("Device Version (PROD:SW):  " + app.form->VersionLbl2->text()));
        QTRY_VERIFY(app.form->CS0Lbl->text() != "0");

        app.form->StartButton->click();
        QCOMPARE(app.form->CommsCombo->currentText(), QString("1-Wire"));
        QVERIFY(app.form->Session->State().Link1Wire);
        QCOMPARE(app.State(), Idle);
    }

    void debugStartRetriesOnceWhenTheICIsPowered() {
        Application app;
        // The first test-mode entry is refused as on a powered IC, the second goes through.
        int entries = 0;
        auto refuseFirst =
            app.form->KelvraHidTool1->OnSendCommands.Subscribe([&](const TKvrByteArray& request) {
                if (request[2] == 0x13 && entries == 0) app.Fail(0x04, 0x0403);
                if (request[2] == 0x04 && ++entries == 1) app.dongle->SetFaults({});
            });
        app.form->StartTMButton->click();
        QCOMPARE(entries, 2);
        QCOMPARE(app.LastMessage(), QString("Device streaming started"));
        QVERIFY(!app.Messages().contains("Power should be off")); // the retry is not reported
        QVERIFY(app.dialogs.shown.isEmpty());
    }

    void failedStartsEndIdleWithTheirText() {
        struct Case {
            const char* name;
            bool debug;
            quint8 code;
            quint16 error;
        };
        const Case cases[] = {
            {"set-up", false, 0x01, 0x0101},
            {"start streaming", false, 0x0C, 0x0C01},
            {"debug preparation", true, 0x04, 0x0401},
            {"version read over I2C", true, 0x12, 0x1201},
        };
        for (const Case& c : cases) {
            Application app;
            app.Fail(c.code, c.error);
            (c.debug ? app.form->StartTMButton : app.form->StartButton)->click();
            QVERIFY2(app.Messages().filter("Device streaming started").isEmpty(), c.name);
            QCOMPARE(app.dialogs.shown, QStringList{"Unable to start device streaming!"});
            QVERIFY(app.form->MessageBox->ItemType(app.form->MessageBox->count() - 1) == aError);
            QVERIFY(!app.form->Session->State().Streaming && !app.form->Session->State().PowerOn &&
                    !app.form->Session->State().CTSetup);
            QCOMPARE(app.State(), Idle); // the captions match the flags
            QVERIFY(!app.dongle->State().Streaming);
        }
    }

    void refusedSupplyKeepsTheSetting() {
        Application app;
        app.Fail(0x07, 0x0701);
        app.form->VoltageCombo->setCurrentIndex(1);
        emit app.form->VoltageCombo->activated(1);
        QCOMPARE(app.LastMessage(), QString("Not a valid DUT voltage"));
        QCOMPARE(app.form->PXS731Device1->DUTVoltage(), vAdjustable);
        QCOMPARE(app.form->PXS731Device1->AdjustableDUTVoltage(), 1.8);
    }

    void displayRules() {
        Application app;
        TPXS733MainForm& f = *app.form;
        // 1-Wire layout: flags at 4, count 5..6, LTA 7..8, multipliers 20, compensation 22.
        QByteArray sample(23, '\0');
        sample[4] = char(0xC8);                   // activation, movement, Is CH0
        sample[5] = 0x03, sample[6] = char(0xE8); // 1000
        sample[7] = 0x03, sample[8] = char(0xDE); // 990
        sample[20] = 0x35;
        sample[22] = 90;
        // A sample, and the events until the display has shown it.
        auto feed = [&](int size = -1) {
            f.PXS731Device1->OnStreaming(quint16(size < 0 ? sample.size() : size), 0,
                                         reinterpret_cast<const quint8*>(sample.constData()));
            QTRY_VERIFY(!f.DisplayTimer->isActive());
        };
        feed();
        QCOMPARE(f.CS0Lbl->text(), QString("1000"));
        QCOMPARE(f.LTA0Lbl->text(), QString("990"));
        QCOMPARE(f.DT0Lbl->text(), QString("-10"));
        QCOMPARE(f.Sens0Label->text(), QString("3"));
        QCOMPARE(f.Comp0Label->text(), QString("5"));
        QCOMPARE(f.PCC0Label->text(), QString("90"));
        QCOMPARE(f.ActivationLabel->text(), QString("Active"));
        QCOMPARE(f.ActivationLabel->palette().color(QPalette::WindowText), QColor(0, 128, 0));
        QCOMPARE(f.ZoomLabel->text(), QString("Not Active"));
        QCOMPARE(f.Series1->brush().color(), QColor(0, 107, 215));
        const qint64 image = f.ActivationImage->pixmap().cacheKey();
        feed(); // the same state: the image is not loaded again
        QCOMPARE(f.ActivationImage->pixmap().cacheKey(), image);
        sample[4] = 0;
        feed();
        QVERIFY(f.ActivationImage->pixmap().cacheKey() != image);
        QCOMPARE(f.Series1->brush().color(), QColor(180, 180, 180));

        // Count Samples unticked: its labels read N/A and its bar goes, though still streamed.
        app.windows->StreamSetupForm->CSCheck->setChecked(false);
        feed();
        QCOMPARE(f.CS0Lbl->text(), QString("N/A"));
        QCOMPARE(f.DT0Lbl->text(), QString("N/A"));
        QVERIFY(f.Series1->data()->isEmpty());
        QCOMPARE(f.Series2->data()->size(), 1);

        // Baseline View with counts off: warned at once.
        f.DeltaCheck->click();
        QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                 QStringList({"Count Samples are disabled", "Unable to calculate deltas!"}));
        QCOMPARE(f.BarGraph->yAxis->range().lower, -600.0);

        // A sample shorter than the layout and one while closing change nothing harmful.
        feed(4);
        QCOMPARE(f.LTA0Lbl->text(), QString("N/A"));
    }

    void missedDataAndStreamErrorsAreShown() {
        Application app;
        app.form->StartButton->click();
        TDongleFaults faults;
        faults.DropShare = 0.5;
        app.dongle->SetFaults(faults);
        QTRY_VERIFY(app.form->DataMissLabel->isVisibleTo(app.form->EngineeringCategoryPanel));
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(app.form->DataMissLabel, &release);
        QVERIFY(app.form->DataMissLabel->isHidden());

        // An error the dongle reports while streaming: its text, and streaming goes on.
        faults = {};
        faults.StreamingError = 0x00FD;
        app.dongle->SetFaults(faults);
        QTRY_COMPARE(app.Messages().count(GetErrorText(0x00FD)), 1);
        QCOMPARE(app.State(), Streaming);
    }

    void unplugWhileRunningEndsIdleAndSaysSoOnce() {
        struct Case {
            const char* name;
            bool pause;
            int unplugAtRequest; // 0: after the start; else during it, at this request code
        };
        const Case cases[] = {
            {"streaming", false, 0},
            {"paused", true, 0},
            {"in the middle of Start", false, 0x0C},
        };
        for (const Case& c : cases) {
            Application app;
            app.form->Session->SetReconnectLimit(0); // the run ends at once
            TSubscription unplugger;
            if (c.unplugAtRequest)
                unplugger = app.form->KelvraHidTool1->OnSendCommands.Subscribe(
                    [&](const TKvrByteArray& request) {
                        if (request[2] == c.unplugAtRequest) app.hid.Unplug(app.dongle);
                    });
            app.form->StartButton->click();
            if (c.pause) app.form->PauseButton->click();
            if (!c.unplugAtRequest) app.hid.Unplug(app.dongle);
            Application::Settle();
            const QStringList messages = app.Messages();
            QCOMPARE(messages.count("No compatible device(s) connected!"), 1);
            QCOMPARE(messages.count("Streaming device disconnected!"), c.unplugAtRequest ? 0 : 1);
            QCOMPARE(app.dialogs.shown.size(), c.unplugAtRequest ? 1 : 0);
            QVERIFY2(app.State().startsWith("Start/tm/Pause:off/Power On/link"), c.name);
            QVERIFY(!app.form->Session->State().Streaming && !app.form->Session->State().Paused &&
                    !app.form->Session->State().PowerOn);
        }
    }

    void shortcutsActOnAnAcceptedDongle() {
        Application app;
        QWindow* window = app.form->windowHandle();
        if (!window) {
            app.form->show();
            window = app.form->windowHandle();
        }
        auto release = [window](int key, Qt::KeyboardModifiers modifiers = {}) {
            QKeyEvent event(QEvent::KeyRelease, key, modifiers);
            QCoreApplication::sendEvent(window, &event);
        };
        {
            // A modal dialog owns the keyboard: F1 starts nothing underneath it.
            QMessageBox box(QMessageBox::Warning, "", "Unable to start device streaming!");
            box.setWindowModality(Qt::ApplicationModal);
            box.show();
            release(Qt::Key_F1);
            QCOMPARE(app.State(), Idle);
        }
        release(Qt::Key_F1);
        QCOMPARE(app.State(), Streaming);
        release(Qt::Key_F2);
        QCOMPARE(app.State(), Paused);
        release(Qt::Key_F4);
        QCOMPARE(app.State(), "Start/tm/Pause:off/Power On/- ----");
        // Shift counts as it was when F1 came up.
        release(Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(app.State(), Streaming);
        QCOMPARE(app.form->CommsCombo->currentText(), QString("I²C"));
    }
};

QTEST_MAIN(TestRunControl)
#include "test_RunControl.moc"
