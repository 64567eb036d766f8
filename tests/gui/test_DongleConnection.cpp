#include "KvrListBox.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "SimHidAccess.h"
#include "SimUpdater.h"
#include "TestDialogs.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

std::shared_ptr<TVirtualDongle> Dongle(quint16 ProductID, quint32 Firmware, bool RF = false,
                                       const QString& Serial = "SIM000001") {
    TVirtualDongleConfig config;
    config.Serial = Serial;
    config.ProductID = ProductID;
    config.Firmware = Firmware;
    config.RFModule = RF;
    return std::make_shared<TVirtualDongle>(config, std::make_shared<TVirtualPXS733>());
}

// The application on simulated HID access with a simulated updater whose minimum versions
// are Minimum; no updater at all when Minimum is 0.
struct Application {
    TTestDialogs dialogs;
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle;
    std::unique_ptr<TSimUpdater> updater;
    std::unique_ptr<TPXS733Windows> windows;
    TPXS733MainForm* form = nullptr;

    Application(std::shared_ptr<TVirtualDongle> Plugged, quint32 Minimum,
                const std::function<void(TPXS733MainForm&)>& Before = {})
        : dongle(std::move(Plugged)) {
        QStringList folders;
        if (Minimum > 0) {
            updater = std::make_unique<TSimUpdater>(hid, dongle, Minimum);
            updater->ReplugDelayMs = 10;
            folders << updater->ConfigFolder();
        }
        windows = std::make_unique<TPXS733Windows>(dialogs, hid, folders);
        form = windows->MainForm;
        if (Before) Before(*form);
        if (dongle) hid.Plug(dongle);
        Settle();
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    QStringList Messages() const {
        QStringList lines;
        for (int i = 0; i < form->MessageBox->count(); ++i)
            lines << form->MessageBox->item(i)->text().trimmed();
        return lines;
    }
    QString FirstDongleLine() const {
        return form->DevListBox->count() ? form->DevListBox->item(0)->text() : QString();
    }
    bool StreamingButtonsEnabled() const {
        const bool start = form->StartButton->isEnabled();
        for (QPushButton* b : {form->StreamSetupButton, form->PowerButton, form->StartTMButton})
            if (b->isEnabled() != start) qWarning() << b->objectName() << "differs";
        return start;
    }
};

} // namespace

class TestDongleConnection : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void lk600AtExactlyItsMinimumIsAccepted() {
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        QCOMPARE(app.Messages(), QStringList{"Compatible device(s) detected"});
        QVERIFY(app.StreamingButtonsEnabled());
        QVERIFY(app.form->FValidFirmware);
        QCOMPARE(app.FirstDongleLine(), QString(" Kelvra LK600"));
        QVERIFY(app.form->FInfoStr.startsWith("Firmware Version : 01.05\rVendor ID : 2150"));
        QVERIFY(app.dialogs.shown.isEmpty());
    }

    void outdatedDongleIsRefusedAndTheUpdateCanBeDeclined() {
        Application app(Dongle(0x0102, 0x0104), 0x0105);
        QVERIFY(!app.StreamingButtonsEnabled());
        QVERIFY(!app.form->FValidFirmware);
        QVERIFY(app.Messages().contains("USB Dongle firmware is outdated!"));
        QCOMPARE(app.FirstDongleLine(), QString(" Kelvra LK600  -  OUTDATED"));
        QCOMPARE(app.dialogs.shown, QStringList{"The connected USB Dongle firmware is outdated!\n\n"
                                                "Do you want to update the firmware now?"});
        QVERIFY(!app.form->FUpdating); // answered No (the default of the hook is OK, not Yes)
        QCOMPARE(app.dialogs.details,
                 QStringList{"Installed firmware: 0104; required: 0105 or later."});
    }

    void aQuestionAboutTheDongleComesBeforeTheTips() {
        // As at a start: the dongle is there before the windows, the window shows at once.
        TTestDialogs dialogs;
        TSimHidAccess hid;
        const auto dongle = Dongle(0x0102, 0x0104);
        hid.Plug(dongle);
        TSimUpdater updater(hid, dongle, 0x0105);
        TPXS733Windows windows(dialogs, hid, {updater.ConfigFolder()});
        // Under a window manager the window may be active before the first look at the
        // dongles has run.
        windows.MainForm->FormActivate();
        windows.MainForm->show();
        QTRY_COMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown, (QStringList{"The connected USB Dongle firmware is outdated!\n\n"
                                             "Do you want to update the firmware now?",
                                             "THintTipsForm"}));
    }

    void updaterRunsEndToEnd() {
        Application app(Dongle(0x0102, 0x0100), 0x0105); // refused, the offer declined
        // Plug it again, this time answering Yes.
        app.dialogs.shown.clear();
        app.dialogs.answers = {QMessageBox::Yes};
        app.hid.Unplug(app.dongle);
        Application::Settle();
        app.hid.Plug(app.dongle);
        Application::Settle();
        QVERIFY(app.form->FUpdating);
        QCOMPARE(app.Messages().last(), QString("Updating Firmware..."));
        // The updater program runs, the dongle goes, comes back current.
        QTRY_COMPARE_WITH_TIMEOUT(app.Messages().last(), QString("Firmware update completed"),
                                  10000);
        QVERIFY(!app.form->FUpdating);
        QVERIFY(app.StreamingButtonsEnabled());
        QCOMPARE(app.dialogs.shown.size(), 1); // one question, none while it was away
        const QStringList since =
            app.Messages().mid(app.Messages().lastIndexOf("Updating Firmware..."));
        QVERIFY(!since.contains("No compatible device(s) connected!"));
        QCOMPARE(app.updater->Dongle()->Config().Firmware, 0x0105u);
    }

    void rfModuleComparesTheLowByteOnly() {
        struct Case {
            quint32 minimum;
            bool accepted;
        };
        for (const Case& c : {Case{3, true}, Case{4, false}}) {
            Application app(Dongle(0x0102, 0x0203, true), c.minimum);
            QCOMPARE(app.StreamingButtonsEnabled(), c.accepted);
            QCOMPARE(app.form->FProductID, 0x0104);
            QVERIFY(app.Messages().contains("RF module detected"));
            QVERIFY(app.FirstDongleLine().startsWith(" Kelvra - RM800"));
            QCOMPARE(app.form->FInfoStr, QString("Firmware Version : 02.03"));
        }
    }

    void engineeringPanelSkipsTheCheck() {
        Application app(Dongle(0x0102, 0x0100), 0x0105,
                        [](TPXS733MainForm& form) { form.FFirmwareCheck = false; });
        QVERIFY(app.StreamingButtonsEnabled());
        QVERIFY(app.dialogs.shown.isEmpty());
        QVERIFY(app.form->FInfoStr.isEmpty()); // not rebuilt without a check
    }

    void unpluggingTheStreamingDongleResetsTheRun() {
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        app.form->Session->SetReconnectLimit(0); // the run ends at once
        app.form->StartButton->click();
        QVERIFY(app.form->Session->State().Streaming);
        app.hid.Unplug(app.dongle);
        Application::Settle();
        // With no dongle left, the last line says how to go on.
        QCOMPARE(
            app.Messages().mid(app.Messages().size() - 3),
            QStringList({"Streaming device disconnected!", "No compatible device(s) connected!",
                         "Plug in a Configuration Tool, or choose File > Plug Simulated "
                         "Dongle to try the application without one."}));
        QCOMPARE(app.form->StartButton->text(), QString("Start"));
        QCOMPARE(app.form->PowerButton->text(), QString("Power On"));
        QVERIFY(!app.form->PauseButton->isEnabled());
        QVERIFY(!app.form->Session->State().Streaming);
        QVERIFY(app.form->FValidFirmware); // kept when all dongles are gone
    }

    void aRunWaitsForItsDongleAndIsPutBackWhenItReturns() {
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        app.form->StartButton->click();
        app.form->PauseButton->click();
        app.hid.Unplug(app.dongle);
        QTRY_VERIFY(app.form->Session->State().Waiting);
        // Waiting: Stop and the power end it, nothing else is offered.
        QVERIFY(app.Messages().contains("Dongle SIM000001 unplugged; waiting for it to return"));
        QCOMPARE(app.form->StartButton->text(), QString("Stop"));
        QCOMPARE(app.form->PowerButton->text(), QString("Power Off"));
        QVERIFY(app.form->StartButton->isEnabled() && app.form->PowerButton->isEnabled());
        QVERIFY(!app.form->PauseButton->isEnabled() && !app.form->StartTMButton->isEnabled());
        QVERIFY(!app.form->CommsCombo->isEnabled());
        QCOMPARE(app.form->RunStatus->text(), QString("Waiting for dongle"));

        // Another dongle meanwhile is listed, not taken over.
        auto other = Dongle(0x0102, 0x0105, false, "SIM000002");
        app.hid.Plug(other);
        QTRY_COMPARE(app.form->DevListBox->count(), 1);
        QTest::qWait(2 * TRunSession::RestoreSettleMs);
        QVERIFY(app.form->Session->State().Waiting);
        QVERIFY(!other->State().Powered);

        // The run's own dongle comes back: selected, and the run is paused again on it.
        app.hid.Plug(app.dongle);
        QTRY_VERIFY(!app.form->Session->State().Waiting);
        QCOMPARE(app.form->DevListBox->count(), 2);
        QCOMPARE(app.form->KelvraHidTool1->SerialNumber(), QString("SIM000001"));
        QCOMPARE(app.form->DevListBox->currentRow(),
                 app.form->KelvraHidTool1->CurrentDeviceIndex());
        QVERIFY(app.Messages().last().startsWith("Dongle SIM000001 returned after "));
        QVERIFY(app.Messages().last().endsWith(" s: run restored (paused, 1-Wire)"));
        QCOMPARE(app.form->PauseButton->text(), QString("Resume"));
        QVERIFY(app.form->PauseButton->isEnabled());
        QVERIFY(app.dongle->State().Powered && !app.dongle->State().Streaming);
        app.form->PauseButton->click();
        QVERIFY(app.dongle->State().Streaming);
        app.form->StartButton->click(); // Stop
    }

    void theWaitEndsWithStopOrARefusedReturn() {
        for (const bool refused : {false, true}) {
            Application app(Dongle(0x0102, 0x0105), 0x0105);
            app.form->StartButton->click();
            app.hid.Unplug(app.dongle);
            QTRY_VERIFY(app.form->Session->State().Waiting);
            if (refused) {
                // It comes back with an older firmware (the update offered is declined).
                auto older = Dongle(0x0102, 0x0104);
                app.hid.Plug(older);
                QTRY_VERIFY(!app.form->Session->State().Waiting);
                QCOMPARE(app.Messages().last(),
                         QString("Dongle SIM000001 returned but cannot be used; the run ended"));
                QVERIFY(!older->State().Powered);
            } else {
                app.form->StartButton->click();
                QCOMPARE(app.Messages().last(),
                         QString("Stopped waiting for dongle SIM000001; the run ended"));
            }
            QCOMPARE(app.form->StartButton->text(), QString("Start"));
            QCOMPARE(app.form->PowerButton->text(), QString("Power On"));
            QVERIFY(app.form->CommsCombo->isEnabled());
        }
        // Closed while waiting, with the dongle returning just then.
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        app.form->StartButton->click();
        app.hid.Unplug(app.dongle);
        QTRY_VERIFY(app.form->Session->State().Waiting);
        app.hid.Plug(app.dongle);
        app.form->close();
    }

    void theSimulatedDongleIsPluggedFromTheFileMenu() {
        // No updater is installed: the simulated dongle is checked against its own.
        Application app(nullptr, 0);
        QVERIFY(!app.form->SimDongleItem->isVisible());
        auto simulated = Dongle(0x0102, 0x0105);
        TSimUpdater updater(app.hid, simulated, 0x0105);
        app.form->OfferSimulatedDongle(
            {[&](bool In) {
                 In ? app.hid.Plug(simulated) : app.hid.Unplug(simulated);
                 return In;
             },
             [&](const QString& Path) { return Path == simulated->Info().Path; },
             {updater.ConfigFolder()},
             false});
        QVERIFY(app.form->SimDongleItem->isVisible());
        QCOMPARE(app.form->SimDongleItem->text(), QString("Plug Simulated Dongle"));
        app.form->SimDongleItem->trigger();
        QTRY_COMPARE(app.form->DevListBox->count(), 1);
        QVERIFY(app.StreamingButtonsEnabled());
        QCOMPARE(app.form->SimDongleItem->text(), QString("Unplug Simulated Dongle"));
        app.form->SimDongleItem->trigger();
        QTRY_COMPARE(app.form->DevListBox->count(), 0);
        QCOMPARE(app.form->SimDongleItem->text(), QString("Plug Simulated Dongle"));
        QVERIFY(app.Messages().last().contains("File > Plug Simulated Dongle"));
    }

    void unpluggingTheStreamingDongleIsSeenWhileAnotherStays() {
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        TVirtualDongleConfig config;
        config.ProductID = 0x0102;
        config.Serial = "SIM000002";
        auto other = std::make_shared<TVirtualDongle>(config, std::make_shared<TVirtualPXS733>());
        app.hid.Plug(other);
        Application::Settle();
        app.form->Session->SetReconnectLimit(0);
        app.form->StartButton->click();
        QVERIFY(app.dongle->State().Streaming);
        app.hid.Unplug(app.dongle);
        QTRY_VERIFY(app.Messages().contains("Streaming device disconnected!"));
        QCOMPARE(app.form->StartButton->text(), QString("Start"));
        QCOMPARE(app.form->PowerButton->text(), QString("Power On"));
        QVERIFY(!app.form->PauseButton->isEnabled());
        QVERIFY(!app.form->Session->State().Streaming);
        // The dongle that stayed is taken and runs.
        QCOMPARE(app.form->KelvraHidTool1->SerialNumber(), QString("SIM000002"));
        app.form->StartButton->click();
        QVERIFY(other->State().Streaming);
        app.form->StartButton->click();
    }

    void fixedSupplyModelsGoBackTo3V3() {
        Application app(Dongle(0x0102, 0x0105), 0x0105,
                        [](TPXS733MainForm& form) { form.VoltageCombo->setCurrentIndex(1); });
        QCOMPARE(app.form->VoltageCombo->currentText(), QString("3.3 V"));
        QVERIFY(!app.form->VoltageCombo->isEnabled());
        QVERIFY(app.Messages().contains("Voltage changed successfully"));

        Application lk620(Dongle(0x0105, 0x0105), 0x0105);
        QVERIFY(lk620.form->VoltageCombo->isEnabled());
    }

    void foreignProductIsListedSilently() {
        Application app(Dongle(0x0201, 0x0105), 0x0105);
        QCOMPARE(app.form->DevListBox->count(), 1);
        QVERIFY(app.Messages().isEmpty());
        QVERIFY(!app.StreamingButtonsEnabled());
        QVERIFY(!app.form->FValidFirmware);
    }

    void missingMinimumVersionsRefuseWithTheDialog() {
        Application app(Dongle(0x0102, 0x0105), 0);
        QCOMPARE(app.Messages(), QStringList({"Compatible device(s) detected", "",
                                              "Error checking USB Dongle firmware version!", ""}));
        QCOMPARE(app.dialogs.shown,
                 QStringList{"Error checking USB Dongle firmware version!\nPlease reinstall the "
                             "application or contact Kelvra for support."});
        QVERIFY(!app.StreamingButtonsEnabled());
    }

    void lk510IsRefused() {
        Application app(Dongle(0x0101, 0x0105), 0x0105);
        QVERIFY(app.Messages().contains("The LK510 is not supported by the application!"));
        QCOMPARE(app.dialogs.shown,
                 QStringList({"The connected Configuration Tool might not be fully supported by "
                              "this application!",
                              "The LK510 is not supported by this application!"}));
        QVERIFY(!app.StreamingButtonsEnabled());
        QVERIFY(!app.form->FValidFirmware);
    }

    void dongleThatCannotBeOpenedIsExplainedOncePerPlugIn() {
        auto dongle = Dongle(0x0102, 0x0105);
        dongle->SetOpenError("permission denied (install the udev rule for the dongles)");
        Application app(dongle, 0x0105);
        auto udevLines = [&app] {
            return app.Messages().filter("packaging/udev/70-kelvra-dongles.rules").size();
        };
        QCOMPARE(udevLines(), 1);
        app.hid.Plug(Dongle(0x0105, 0x0105)); // another change: not said again
        Application::Settle();
        QCOMPARE(udevLines(), 1);
        app.hid.Unplug(dongle);
        Application::Settle();
        app.hid.Plug(dongle); // plugged in again: said again
        Application::Settle();
        QCOMPARE(udevLines(), 2);
    }

    void devListClickKeepsTheFirstDongleSelected() {
        Application app(Dongle(0x0102, 0x0105), 0x0105);
        app.hid.Plug(Dongle(0x0105, 0x0105));
        Application::Settle();
        QCOMPARE(app.form->DevListBox->count(), 2);
        app.form->DevListBox->setCurrentRow(1);
        app.form->DevListBoxClick();
        QCOMPARE(app.form->DevListBox->currentRow(), 0);
    }
};

QTEST_MAIN(TestDongleConnection)
#include "test_DongleConnection.moc"
