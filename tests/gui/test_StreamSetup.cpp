#include "KelvraPXS731.h"
#include "KvrListBox.h"
#include "MainUnit.h"
#include "ModalDialogs.h"
#include "ScopeUnit.h"
#include "SimHidAccess.h"
#include "SimUpdater.h"
#include "StreamSetupUnit.h"
#include "TestDialogs.h"
#include "ToolTipManager.h"
#include "VirtualDongle.h"
#include "VirtualPXS733.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

struct Application {
    TTestDialogs dialogs;
    TSimHidAccess hid;
    std::shared_ptr<TVirtualDongle> dongle = std::make_shared<TVirtualDongle>(
        TVirtualDongleConfig{}, std::make_shared<TVirtualPXS733>());
    TSimUpdater updater{hid, dongle, dongle->Config().Firmware}; // the dongle is current
    std::unique_ptr<TPXS733Windows> windows;
    TPXS733MainForm* form = nullptr;
    TStreamSetupForm* setup = nullptr;

    Application() {
        hid.Plug(dongle);
        windows =
            std::make_unique<TPXS733Windows>(dialogs, hid, QStringList{updater.ConfigFolder()});
        form = windows->MainForm;
        setup = windows->StreamSetupForm;
        QCoreApplication::processEvents();
    }
    QStringList Messages() const {
        QStringList lines;
        for (int i = 0; i < form->MessageBox->count(); ++i)
            lines << form->MessageBox->item(i)->text().trimmed();
        return lines;
    }
    // Opens the dialog from the Setup button, clicks the given boxes, then the given button.
    void Setup(const QList<QCheckBox*>& clicks, QPushButton* button) {
        dialogs.act = [&clicks, button](QDialog&) {
            for (QCheckBox* box : clicks)
                box->click();
            button->click();
        };
        form->StreamSetupButton->click();
        dialogs.act = nullptr;
    }
    int StreamLength() const { return setup->Layout().StreamLength(); }
};

} // namespace

class TestStreamSetup : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void dialogLooksAsDesigned() {
        Application app;
        QCOMPARE(app.setup->windowTitle(), QString("Streaming Setup"));
        QVERIFY(!(app.setup->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(app.setup->PTCheck->isHidden());
        for (QCheckBox* box :
             {app.setup->CSCheck, app.setup->LTACheck, app.setup->PTCheck, app.setup->THCheck})
            QVERIFY(box->isChecked());
        QCOMPARE(app.StreamLength(), 20); // created over 1-Wire
    }

    void applyOverI2CRebuildsAndTellsTheScope() {
        Application app;
        app.setup->SetupStreaming(false); // the link changed to I2C
        QCOMPARE(app.StreamLength(), 24);

        app.Setup({app.setup->LTACheck}, app.setup->ApplyButton);
        QVERIFY(!app.setup->THCheck->isChecked()); // needs both counts and LTA
        QCOMPARE(app.StreamLength(), 16);          // LTA and thresholds gone
        QVERIFY(!app.windows->ScopeForm->CH0LTACheck->isEnabled());
        QVERIFY(app.windows->ScopeForm->CH0CurCheck->isEnabled());
        QCOMPARE(app.Messages().last(), QString("Streaming setup configured"));

        app.Setup({app.setup->LTACheck}, app.setup->ApplyButton);
        QCOMPARE(app.StreamLength(), 20);
        QVERIFY(app.windows->ScopeForm->CH0LTACheck->isEnabled());
    }

    void thresholdsUnticksItselfWithoutLTA() {
        Application app;
        app.Setup({app.setup->LTACheck, app.setup->THCheck}, app.setup->ApplyButton);
        QVERIFY(!app.setup->THCheck->isChecked());
        QVERIFY(!app.setup->LTACheck->isChecked());
        QVERIFY(app.setup->CSCheck->isChecked());
    }

    void cancelPutsTheBoxesBackWithoutARebuild() {
        Application app;
        app.setup->SetupStreaming(false);
        app.Setup({app.setup->CSCheck, app.setup->LTACheck}, app.setup->CancelButton);
        QVERIFY(app.setup->CSCheck->isChecked());
        QVERIFY(app.setup->LTACheck->isChecked());
        QVERIFY(app.setup->THCheck->isChecked());
        QCOMPARE(app.StreamLength(), 24);
        QCOMPARE(app.Messages().last(), QString("Streaming setup canceled"));

        // Escape cancels too.
        app.dialogs.act = [&](QDialog& dialog) {
            app.setup->CSCheck->click();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        };
        app.form->StreamSetupButton->click();
        QVERIFY(app.setup->CSCheck->isChecked());
    }

    void baselineViewWarnsOfWhatItCannotShow() {
        Application app;
        app.form->DeltaCheck->click();
        app.Setup({app.setup->CSCheck, app.setup->LTACheck}, app.setup->ApplyButton);
        QCOMPARE(app.Messages().mid(app.Messages().size() - 5),
                 QStringList({"Streaming setup configured", "Count Samples are disabled",
                              "Unable to calculate deltas!", "Long Term Averages are disabled",
                              "Unable to calculate deltas!"}));
        QCOMPARE(app.form->MessageBox->ItemType(app.form->MessageBox->count() - 1), aError);
    }

    void streamingRestartsOnceAfterTheDialog() {
        Application app;
        app.form->StartButton->click();
        QVERIFY(app.form->Session->State().Streaming);
        app.dongle->ClearRequests();

        app.Setup({app.setup->CSCheck}, app.setup->CancelButton);
        QList<int> codes;
        for (const QByteArray& r : app.dongle->Requests())
            codes << quint8(r[2]);
        QCOMPARE(codes.count(0x0D), 1); // one stop
        QCOMPARE(codes.count(0x0C), 1); // one start, the 20 bytes in one chunk
        QVERIFY(app.form->KelvraHidTool1->IsStreaming());
        app.form->StartButton->click();
    }

    void balloonsFollowTheButtonsAndTheHoverHints() {
        Application app;
        TToolTipManager& tips = *app.form->ToolTipManager1;
        QCOMPARE(tips.ToolTips.Count(), 6);
        QCOMPARE(tips.ToolTips[5].IconType, ttiNone);
        QCOMPARE(tips.ToolTips[1].IconType, ttiInformation);
        struct Case {
            int item;
            bool hints;
            QString title;
        };
        const Case cases[] = {
            {1, true, "Start Streaming (F1)"},
            {2, true, "Pause Streaming (F2)"},
            {3, true, "Open Scope (F3)"},
            {4, true, "Streaming Setup"},
            {5, true, "Start Streaming (Shift + F1)"},
            {1, false, ""},
            {0, false, "Kelvra LK600"}, // the dongle's balloon shows either way
        };
        for (const Case& c : cases) {
            app.form->ShowHintsItem->setChecked(c.hints);
            TToolTipItem& item = tips.ToolTips[c.item];
            tips.OnBeforeShow(&tips, &item);
            QCOMPARE(item.Title, c.title);
            QCOMPARE(item.Description.isEmpty(), c.title.isEmpty());
        }
        QVERIFY(tips.ToolTips[0].Description.startsWith("Firmware Version : 01.05\rVendor ID"));
    }
};

QTEST_MAIN(TestStreamSetup)
#include "test_StreamSetup.moc"
