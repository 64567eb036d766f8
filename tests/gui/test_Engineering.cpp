#include "HIDToolsErrorCodes.h"
#include "SimulatedApplication.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The stream and I2C configuration commands since the list was last cleared, as letters:
// S stop streaming, C configure I2C (the stop command's), R restart streaming.
QString StreamSteps(Application& App) {
    QString steps;
    for (const QByteArray& r : App.dongle->Requests()) {
        switch (quint8(r[2])) {
        case DongleCode::StopStreaming:
            steps += 'S';
            break;
        case DongleCode::ConfigI2C:
            steps += 'C';
            break;
        case DongleCode::StartStreaming:
            steps += 'R';
            break;
        }
    }
    return steps;
}

QList<QByteArray> Writes(Application& App) {
    QList<QByteArray> writes;
    for (const QByteArray& r : App.dongle->Requests())
        if (quint8(r[2]) == DongleCode::CommsWrite) writes << r.mid(4, quint8(r[3]));
    return writes;
}

// Streaming over I2C, with the request list cleared.
void StartI2C(Application& App) {
    App.form->StartTMButton->click();
    QCOMPARE(App.LastMessage(), QString("Device streaming started"));
    App.dongle->ClearRequests();
}

} // namespace

class TestEngineering : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void strapReadFillsTheSpinsAndTheTimerLabels() {
        struct Case {
            quint8 shortTimer, longTimer;
            const char *shortText, *longText;
        } const cases[] = {{0, 0, "= 0.5s", "= 15s"}, {3, 3, "= 2s", "= 60s"}};
        for (const Case& c : cases) {
            Application app;
            StartI2C(app);
            app.ic->SetIndirect(0x79, c.shortTimer);
            app.ic->SetIndirect(0x7A, c.longTimer);
            app.form->STSpin->setValue(99); // so that the read changes it
            app.form->LTSpin->setValue(99);
            const int lines = app.form->MessageBox->count();
            app.form->ReadStrapButton->click();
            QCOMPARE(app.form->MessageBox->count(), lines); // no line
            QCOMPARE(StreamSteps(app), QString("SCR"));
            QCOMPARE(app.form->ATSpin->value(), 0x0A);
            QCOMPARE(app.form->MTSpin->value(), 0x05);
            QCOMPARE(app.form->Label33->text(), QString(c.shortText));
            QCOMPARE(app.form->Label35->text(), QString(c.longText));
        }
        // An emptied spin leaves its label as it was.
        Application app;
        app.form->STSpin->setValue(1);
        app.form->STSpin->clear();
        QCOMPARE(app.form->Label33->text(), QString("= 1s"));
    }

    void strapWriteAndReadFailures() {
        Application app;
        StartI2C(app);
        app.form->ATSpin->setValue(1);
        app.form->STSpin->setValue(2);
        app.form->LTSpin->setValue(3);
        app.form->MTSpin->setValue(255);
        app.form->WriteStrapButton->click();
        QCOMPARE(StreamSteps(app), QString()); // the stream runs on
        QCOMPARE(Writes(app), QList<QByteArray>({"\xFC\x53\x01", "\xFC\x79\x02", "\xFC\x7A\x03",
                                                 "\xFC\xDF\xFF"}));
        QCOMPARE(app.ic->Indirect(0xDF), quint8(255));
        QCOMPARE(app.LastMessage(), QString("Device streaming started"));

        // A failing read ends the tool; the stream goes on.
        app.dongle->ClearRequests();
        app.Fail(DongleCode::CommsRead, 0x0A01);
        app.form->ReadStrapButton->click();
        QCOMPARE(app.LastMessage(), GetErrorText(0x0A01));
        QCOMPARE(StreamSteps(app), QString("SR"));
        QTRY_VERIFY(app.dongle->State().Streaming);
        QCOMPARE(app.State(), QString("Stop/-/Pause:on/Power Off/- SPT-"));

        // When the stream cannot be restarted either, the run ends and the buttons say so.
        app.dongle->SetFaults({});
        for (QPushButton* tool : {app.form->ReadStrapButton, app.form->ReadMMButton,
                                  app.form->InDirReadButton, app.form->GetVersionButton}) {
            if (!app.form->Session->State().Streaming) StartI2C(app);
            app.form->MMAddressEdit->setText("10");
            app.form->DirAddrEdit->setText("10");
            app.Fail(DongleCode::StartStreaming, 0x0C01);
            tool->click();
            app.dongle->SetFaults({});
            QVERIFY2(app.LastMessage() == GetErrorText(0x0C01), qPrintable(tool->objectName()));
            QCOMPARE(app.State(), QString("Start/tm/Pause:off/Power On/link ----"));
            QVERIFY(!app.dongle->State().Streaming);
        }
    }

    void indirectAndMemoryMapWhileStreaming() {
        Application app;
        StartI2C(app);
        app.form->DirAddrEdit->setText("53");
        app.form->InDirReadButton->click();
        QCOMPARE(app.LastMessage(), QString("Indirect read done"));
        QCOMPARE(app.form->DirDataEdit->text(), QString("0A"));
        QCOMPARE(StreamSteps(app), QString("SCR"));
        QTRY_VERIFY(app.dongle->State().Streaming);

        struct Case {
            const char* name;
            QPushButton* button;
            QLineEdit* address;
            const char* steps;
        } const empty[] = {
            {"indirect read", app.form->InDirReadButton, app.form->DirAddrEdit, "SCR"},
            {"memory-map read", app.form->ReadMMButton, app.form->MMAddressEdit, "SR"},
        };
        for (const Case& c : empty) {
            app.dongle->ClearRequests();
            c.address->clear();
            c.button->click();
            QVERIFY2(app.LastMessage() == "No address specified!", c.name);
            QVERIFY2(StreamSteps(app) == c.steps, c.name);
        }

        app.dongle->ClearRequests();
        app.form->MMAddressEdit->setText("01");
        app.form->ReadMMButton->click();
        QCOMPARE(app.form->MMDataEdit->text(), QString("03"));
        QCOMPARE(StreamSteps(app), QString("SR"));

        app.dongle->ClearRequests();
        const int lines = app.form->MessageBox->count();
        app.form->MMAddressEdit->setText("10");
        app.form->MMDataEdit->setText("FF");
        app.form->WriteMMButton->click();
        QCOMPARE(Writes(app), QList<QByteArray>{"\x10\xFF"});
        QCOMPARE(app.form->MessageBox->count(), lines); // success stays silent
        QCOMPARE(StreamSteps(app), QString());

        app.form->DirAddrEdit->setText("79");
        app.form->DirDataEdit->setText("2A");
        app.form->InDirWriteButton->click();
        QCOMPARE(app.LastMessage(), QString("Indirect write done"));
        QCOMPARE(app.ic->Indirect(0x79), quint8(0x2A));
    }

    void missingFieldsAndFailedWrites() {
        Application app;
        StartI2C(app);
        struct Case {
            QPushButton* button;
            QLineEdit* address;
            QLineEdit* data;
            const char *addressText, *dataText;
        } const cases[] = {
            {app.form->InDirWriteButton, app.form->DirAddrEdit, app.form->DirDataEdit, "79", ""},
            {app.form->InDirWriteButton, app.form->DirAddrEdit, app.form->DirDataEdit, "", "01"},
            {app.form->WriteMMButton, app.form->MMAddressEdit, app.form->MMDataEdit, "", "01"},
            {app.form->WriteMMButton, app.form->MMAddressEdit, app.form->MMDataEdit, "10", ""},
        };
        for (const Case& c : cases) {
            app.dongle->ClearRequests();
            c.address->setText(c.addressText);
            c.data->setText(c.dataText);
            c.button->click();
            QCOMPARE(app.LastMessage(), QString("No address or data specified!"));
            QVERIFY(app.dongle->Requests().empty());
        }
        // A write the dongle refuses is told, for the memory map as for the indirect space.
        app.Fail(DongleCode::CommsWrite, 0x0B01);
        for (QPushButton* write : {app.form->WriteMMButton, app.form->InDirWriteButton}) {
            app.form->MMAddressEdit->setText("10");
            app.form->MMDataEdit->setText("FF");
            app.form->DirAddrEdit->setText("79");
            app.form->DirDataEdit->setText("01");
            app.form->MessageBox->KvrClear();
            write->click();
            QCOMPARE(app.Messages(), QStringList{GetErrorText(0x0B01)});
        }
    }

    void fieldsThatAreNoHexNumberEndTheTool() {
        struct Case {
            QPushButton* TPXS733MainForm::*button;
            QLineEdit* TPXS733MainForm::*edit;
            const char* text;
        } const cases[] = {
            {&TPXS733MainForm::ReadMMButton, &TPXS733MainForm::MMAddressEdit, "G1"},
            {&TPXS733MainForm::ReadMMButton, &TPXS733MainForm::MMAddressEdit, "$1"},
            {&TPXS733MainForm::ReadMMButton, &TPXS733MainForm::MMAddressEdit, "-1"},
            {&TPXS733MainForm::ReadMMButton, &TPXS733MainForm::MMAddressEdit, " 1"},
            {&TPXS733MainForm::InDirReadButton, &TPXS733MainForm::DirAddrEdit, "ZZ"},
            {&TPXS733MainForm::WriteMMButton, &TPXS733MainForm::MMDataEdit, "G1"},
            {&TPXS733MainForm::InDirWriteButton, &TPXS733MainForm::DirAddrEdit, "G1"},
        };
        for (const Case& c : cases) {
            Application app;
            StartI2C(app);
            for (QLineEdit* e : {app.form->MMAddressEdit, app.form->MMDataEdit,
                                 app.form->DirAddrEdit, app.form->DirDataEdit})
                e->setText("10");
            (app.form->*c.edit)->setText(c.text);
            (app.form->*c.button)->click();
            QCOMPARE(app.dialogs.shown,
                     QStringList{QStringLiteral("'$%1' is not a valid integer value").arg(c.text)});
            // Nothing was sent: the stream runs on and the buttons still tell the truth.
            QCOMPARE(StreamSteps(app), QString());
            QVERIFY(Writes(app).isEmpty());
            QCOMPARE(app.State(), QString("Stop/-/Pause:on/Power Off/- SPT-"));
        }
        // Typed letters turn to upper case; what is no hex digit is not taken; a third
        // character does not fit.
        Application app;
        QTest::keyClicks(app.form->MMAddressEdit, "zG-a 5f");
        QCOMPARE(app.form->MMAddressEdit->text(), QString("A5"));
    }

    void versionInBothLabelsAndTheMessages() {
        Application app;
        StartI2C(app);
        app.form->VersionLbl->clear();
        app.form->VersionLbl2->clear();
        app.form->GetVersionButton->click();
        QCOMPARE(app.form->VersionLbl->text(), QString("0B : 03"));
        QCOMPARE(app.form->VersionLbl2->text(), QString("0B : 03"));
        QCOMPARE(app.LastMessage(), QString("Device Version (PROD:SW):  0B : 03"));
        QCOMPARE(StreamSteps(app), QString("SR"));

        // A restart that fails leaves the labels as they were.
        app.form->VersionLbl->clear();
        app.Fail(DongleCode::StartStreaming, 0x0C01);
        app.form->GetVersionButton->click();
        QCOMPARE(app.LastMessage(), GetErrorText(0x0C01));
        QCOMPARE(app.form->VersionLbl->text(), QString());
    }

    void everyToolNeedsThePower() {
        Application app;
        for (QLineEdit* e : {app.form->MMAddressEdit, app.form->MMDataEdit, app.form->DirAddrEdit,
                             app.form->DirDataEdit})
            e->setText("10");
        for (QPushButton* tool :
             {app.form->ReadStrapButton, app.form->WriteStrapButton, app.form->ReadMMButton,
              app.form->WriteMMButton, app.form->InDirReadButton, app.form->InDirWriteButton,
              app.form->GetVersionButton}) {
            app.dongle->ClearRequests();
            tool->setEnabled(true); // the strap buttons are enabled only while streaming
            tool->click();
            QVERIFY2(app.LastMessage() == "Device power is off!", qPrintable(tool->objectName()));
            QVERIFY(app.dongle->Requests().empty());
        }
    }

    void toolsInDebugModeLeaveTheStreamAlone() {
        Application app;
        StartI2C(app);
        app.form->EnterTMButton->click();
        app.dongle->ClearRequests();
        app.form->DirAddrEdit->setText("53");
        app.form->InDirReadButton->click();
        app.form->ReadStrapButton->click();
        app.form->GetVersionButton->click();
        QCOMPARE(app.LastMessage(), QString("Device Version (PROD:SW):  0B : 03"));
        QCOMPARE(StreamSteps(app), QString("CC")); // the two stop commands, no stream
        app.form->ContinueStrButton->click();
        QCOMPARE(app.LastMessage(), QString("Streaming resumed"));
        QTRY_VERIFY(app.dongle->State().Streaming);
    }
};

QTEST_MAIN(TestEngineering)
#include "test_Engineering.moc"
