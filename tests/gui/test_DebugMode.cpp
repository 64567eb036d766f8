#include "HIDToolsErrorCodes.h"
#include "SimulatedApplication.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Streaming over I2C from "Start (Debug)", which sets the STREAM bit.
void StartI2C(Application& App) {
    App.form->StartTMButton->click();
    QCOMPARE(App.LastMessage(), QString("Device streaming started"));
}

QLineEdit* Edit(Application& App, int Bank, int Bit) {
    return App.form->FFuseBank[size_t(Bank)][size_t(Bit)];
}

// A bank as its edits show it, bit 7 first.
QString Shown(Application& App, int Bank) {
    QString bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += Edit(App, Bank, bit)->text();
    return bits;
}

void SetShown(Application& App, int Bank, quint8 Value) {
    for (int bit = 0; bit < 8; ++bit)
        Edit(App, Bank, bit)->setText(Value & (1 << bit) ? "1" : "0");
}

// Writes Banks in debug mode and resumes streaming: they are the banks saved.
void SaveBanks(Application& App, const FuseBanks::TBanks& Banks) {
    App.form->EnterTMButton->click();
    for (int bank = 0; bank < 5; ++bank)
        SetShown(App, bank, Banks[size_t(bank)]);
    App.form->WriteButton->click();
    App.form->StartButton->click(); // "Resume"
    App.form->MessageBox->clear();
}

// The requests of one command code since the list was last cleared, payload only.
QList<QByteArray> Payloads(Application& App, quint8 Code) {
    QList<QByteArray> payloads;
    for (const QByteArray& r : App.dongle->Requests())
        if (quint8(r[2]) == Code) payloads << r.mid(4, quint8(r[3]));
    return payloads;
}

// Whether the five banks were read at register 0x10 since the list was last cleared.
bool ReadsTheBanks(Application& App) {
    for (const QByteArray& r : App.dongle->Requests())
        if (quint8(r[2]) == DongleCode::I2CRead && r.mid(3, 3) == QByteArray("\x01\x10\x05", 3))
            return true;
    return false;
}

QByteArray Bytes(std::initializer_list<int> Values) {
    QByteArray bytes;
    for (int v : Values)
        bytes += char(v);
    return bytes;
}

// The controls that debug mode switches, as "on"/"-" in the order of the state table:
// the shown bit edits, "Enter Debug Mode", "Resume Streaming", Start with its caption,
// the other streaming controls.
QString DebugState(Application& App) {
    TPXS733MainForm& f = *App.form;
    auto on = [](const QWidget* w) { return w->isEnabled() ? "on" : "-"; };
    return QStringLiteral("bits:%1 enter:%2 resume:%3 %4:%5 others:%6%7%8%9")
        .arg(on(f.FFuseBank[0][0]))
        .arg(on(f.EnterTMButton))
        .arg(on(f.ContinueStrButton))
        .arg(f.StartButton->text())
        .arg(on(f.StartButton))
        .arg(on(f.StreamSetupButton))
        .arg(on(f.PauseButton))
        .arg(on(f.PowerButton))
        .arg(on(f.VoltageCombo));
}

const QString DebugMode = "bits:on enter:- resume:on Resume:on others:----";
const QString StreamingI2C = "bits:- enter:on resume:- Stop:on others:onononon";

} // namespace

class TestDebugMode : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void entryShowsTheBanksAndResumeStreamsWithThem() {
        Application app;
        StartI2C(app);
        QCOMPARE(DebugState(app), StreamingI2C);
        QVERIFY(app.form->ReadStrapButton->isEnabled());

        app.dongle->ClearRequests();
        app.form->EnterTMButton->click();
        QCOMPARE(app.LastMessage(), QString("Device in Debug Mode"));
        QCOMPARE(DebugState(app), DebugMode);
        QVERIFY(app.ic->InTestMode());
        QVERIFY(!app.dongle->State().Streaming);
        QVERIFY(Payloads(app, DongleCode::CommsWrite).isEmpty()); // nothing written
        // The fuses' banks, with the STREAM bit the debug start set.
        QCOMPARE(Shown(app, 0), QString("01001000"));
        QCOMPARE(Shown(app, 1), QString("00000001")); // a cold start loads the fuses
        QCOMPARE(Shown(app, 2), QString("00100100"));
        QCOMPARE(Shown(app, 3), QString("00000011"));
        QVERIFY(Edit(app, 3, 3)->isEnabled());
        QVERIFY(!Edit(app, 3, 4)->isEnabled() && !Edit(app, 3, 4)->isVisibleTo(app.form));
        QVERIFY(!Edit(app, 4, 0)->isEnabled());

        // Bank 1 with the STREAM bit cleared: the return sets it again before leaving test
        // mode, and the stream comes back.
        SetShown(app, 0, 0x5A);
        SetShown(app, 1, 0x00);
        app.dongle->ClearRequests();
        app.form->StartButton->click(); // reads "Resume"
        QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                 QStringList({"Data written successfully", "Streaming resumed"}));
        QCOMPARE(Payloads(app, DongleCode::CommsWrite).mid(0, 2),
                 QList<QByteArray>({Bytes({0x10, 0x5A}), Bytes({0x11, 0x00})}));
        QCOMPARE(Payloads(app, DongleCode::CommsWrite).last(), Bytes({0x11, 0x04}));
        QCOMPARE(DebugState(app), StreamingI2C);
        QVERIFY(!app.ic->InTestMode());
        QCOMPARE(app.ic->Banks()[0], quint8(0x5A));
        QTRY_VERIFY(app.dongle->State().Streaming && app.ic->Streams());

        // Entering again puts the written banks back instead of reading the IC.
        app.dongle->ClearRequests();
        app.form->EnterTMButton->click();
        QVERIFY(!ReadsTheBanks(app));
        QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                 QStringList({"Data written successfully", "Device in Debug Mode"}));
        QCOMPARE(Shown(app, 0), QString("01011010"));
        QCOMPARE(Shown(app, 1), QString("00000000"));
        QCOMPARE(app.ic->Banks()[1], quint8(0x00)); // written back in test mode
    }

    void savedBanksShowBitByBit() {
        // Which saved banks are written back is the session's; the window shows them.
        Application app;
        StartI2C(app);
        SaveBanks(app, {0xA5, 0, 0, 0, 0});
        app.form->EnterTMButton->click();
        QStringList edits;
        for (int n = 8; n >= 1; --n)
            edits << app.form->findChild<QLineEdit*>(QStringLiteral("F0Edit%1").arg(n))->text();
        QCOMPARE(edits.join(""), QString("10100101"));
    }

    void writeAllSoftAndHardConfig() {
        Application app;
        StartI2C(app);
        app.form->EnterTMButton->click();
        // An empty edit or one holding anything but "1" is a clear bit.
        SetShown(app, 2, 0xFF);
        Edit(app, 2, 0)->setText("");
        Edit(app, 2, 1)->setText("x");
        SetShown(app, 4, 0x81); // hidden, written all the same
        app.form->WriteButton->click();
        QCOMPARE(app.LastMessage(), QString("Data written successfully"));
        QCOMPARE(app.ic->Banks()[2], quint8(0xFC));
        QCOMPARE(app.ic->Banks()[4], quint8(0x81));
        QCOMPARE(app.form->Session->SavedBanks()[2], quint8(0xFC));

        // Soft Config reads banks 0 to 3; bank 4's edits keep their text.
        SetShown(app, 0, 0x00);
        SetShown(app, 4, 0x00);
        app.form->ReadButton->click();
        QCOMPARE(app.LastMessage(), QString("Device data read successfully"));
        QCOMPARE(Shown(app, 0), QString("01001000"));
        QCOMPARE(Shown(app, 4), QString("00000000"));

        // Hard Config forgets banks 0 to 3 and reads what the IC starts with.
        app.form->DeviceDefaultsButton->click();
        QCOMPARE(app.LastMessage(), QString("Defualt device values restored"));
        QCOMPARE(app.form->Session->SavedBanks(), (FuseBanks::TBanks{0, 0, 0, 0, 0x81}));
        QCOMPARE(Shown(app, 2), QString("00100100"));
        QCOMPARE(DebugState(app), DebugMode);

        // Powering off forgets the written banks: the next entry reads the IC.
        app.form->WriteButton->click();
        app.form->StartButton->click(); // "Resume"
        app.form->StartButton->click(); // "Stop"
        QCOMPARE(app.form->Session->SavedBanks(), FuseBanks::TBanks{});
    }

    void failuresReportTheirTextAndKeepTheWindowConsistent() {
        {
            // The stream does not restart at the end of the return.
            Application app;
            StartI2C(app);
            app.form->EnterTMButton->click();
            app.Fail(DongleCode::StartStreaming, 0x0C01);
            app.form->ContinueStrButton->click();
            const QStringList lines = app.Messages().mid(app.Messages().size() - 3);
            QCOMPARE(lines, QStringList({"Data written successfully", GetErrorText(0x0C01),
                                         "Error communicating with Device"}));
            QCOMPARE(app.dialogs.shown, QStringList{"Unable to start device streaming!"});
            QCOMPARE(DebugState(app), StreamingI2C); // only the messages tell
        }
        {
            // Write All fails at bank 2: banks 0 and 1 are written, the saved ones kept.
            Application app;
            StartI2C(app);
            app.form->EnterTMButton->click();
            const FuseBanks::TBanks before = app.ic->Banks();
            for (int bank = 0; bank < 5; ++bank)
                SetShown(app, bank, quint8(0x11 * (bank + 1)));
            TDongleFaults faults;
            faults.FailAfter = 2;
            faults.FailCode = 0x0B01;
            app.dongle->SetFaults(faults);
            app.form->WriteButton->click();
            QCOMPARE(app.LastMessage(), QString("Error communicating with Device"));
            QCOMPARE(app.ic->Banks()[0], quint8(0x11));
            QCOMPARE(app.ic->Banks()[1], quint8(0x22));
            QCOMPARE(app.ic->Banks()[2], before[2]);
            QCOMPARE(app.ic->Banks()[4], before[4]);
            QCOMPARE(app.form->Session->SavedBanks(), FuseBanks::TBanks{});
        }
        {
            // The IC does not enter test mode: the run ends, the IC is off.
            Application app;
            StartI2C(app);
            app.Fail(DongleCode::EnterTM, 0x0401);
            app.form->EnterTMButton->click();
            QCOMPARE(app.Messages().mid(app.Messages().size() - 2),
                     QStringList({GetErrorText(0x0401), "Unabled to enter Debug Mode!"}));
            QCOMPARE(app.State(), "Start/tm/Pause:off/Power On/link ----");
            QCOMPARE(DebugState(app), "bits:- enter:- resume:- Start:on others:on-onon");
            QVERIFY(!app.form->ReadStrapButton->isEnabled());
            QVERIFY(!app.ic->Powered());
        }
    }

    void debugModeEndsWithThePowerOrTheDongle() {
        for (const bool unplug : {false, true}) {
            Application app;
            app.form->Session->SetReconnectLimit(0); // the run ends at once
            StartI2C(app);
            app.form->EnterTMButton->click();
            if (unplug) {
                app.hid.Unplug(app.dongle);
                QTRY_VERIFY(app.Messages().contains("No compatible device(s) connected!"));
            } else {
                // F4 works although the power button is disabled.
                app.form->show();
                QTest::keyClick(app.form->windowHandle(), Qt::Key_F4);
            }
            QVERIFY(!app.form->ContinueStrButton->isEnabled());
            QVERIFY(!app.form->EnterTMButton->isEnabled());
            QVERIFY(!app.form->FFuseBank[0][0]->isEnabled());
            QVERIFY(!app.form->Session->State().Streaming && !app.form->Session->State().PowerOn);
            QCOMPARE(app.form->StartButton->text(), QString("Start"));
            QVERIFY(app.form->StreamSetupButton->isEnabled());
            if (!unplug) {
                QCOMPARE(app.LastMessage(), QString("Device powered off"));
                QVERIFY(!app.ic->Powered());
            }
        }
    }

    void entryFromAPauseStreamsAgainAfterwards() {
        Application app;
        StartI2C(app);
        app.form->PauseButton->click();
        app.form->EnterTMButton->click();
        QCOMPARE(app.LastMessage(), QString("Device in Debug Mode"));
        app.form->ContinueStrButton->click();
        QCOMPARE(app.LastMessage(), QString("Streaming resumed"));
        QCOMPARE(app.State(), "Stop/-/Pause:on/Power Off/- SPT-");
        QTRY_VERIFY(app.dongle->State().Streaming);
    }

    void keysMoveThroughTheBits() {
        Application app;
        app.form->show();
        QApplication::setActiveWindow(app.form);
        QVERIFY(QTest::qWaitForWindowActive(app.form));
        StartI2C(app);
        app.form->EnterTMButton->click();

        struct Case {
            int bank, bit;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* text; // of the edit afterwards
            int focusBank, focusBit;
        } const cases[] = {
            {0, 7, Qt::Key_1, {}, "1", 1, 0}, // next: the first bit of the next bank
            {0, 2, Qt::Key_0, {}, "0", 0, 3}, // next: one to the left
            {3, 3, Qt::Key_1, {}, "1", 3, 3}, // the last edit shown keeps the focus
            {0, 3, Qt::Key_X, {}, "1", 0, 3}, // dropped
            {0, 3, Qt::Key_V, Qt::ControlModifier, "1", 0, 3}, // no pasting
            {0, 3, Qt::Key_Backspace, {}, "", 0, 2},
            {0, 0, Qt::Key_Backspace, {}, "", 0, 0}, // the first edit keeps the focus
            {1, 7, Qt::Key_Return, {}, "1", 2, 0},
            {1, 0, Qt::Key_Return, Qt::ShiftModifier, "1", 0, 7},
            {0, 4, Qt::Key_Left, {}, "1", 0, 5},
            {0, 4, Qt::Key_Right, {}, "1", 0, 3},
        };
        for (const Case& c : cases) {
            SetShown(app, c.bank, 0xFF);
            QLineEdit* edit = Edit(app, c.bank, c.bit);
            edit->clearFocus();
            edit->setFocus(Qt::TabFocusReason); // selects the text, as a click does
            QVERIFY(edit->hasSelectedText());
            QTest::keyClick(edit, c.key, c.modifiers);
            const QString where = QStringLiteral("bank %1 bit %2 key %3")
                                      .arg(c.bank)
                                      .arg(c.bit)
                                      .arg(QKeySequence(c.key | c.modifiers).toString());
            QVERIFY2(edit->text() == c.text, qPrintable(where + ": " + edit->text()));
            QVERIFY2(QApplication::focusWidget() == Edit(app, c.focusBank, c.focusBit),
                     qPrintable(where + ": focus on " + QApplication::focusWidget()->objectName()));
        }
        // A click selects the whole text.
        QLineEdit* edit = Edit(app, 2, 5);
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(edit->selectedText(), edit->text());
    }
};

QTEST_MAIN(TestDebugMode)
#include "test_DebugMode.moc"
