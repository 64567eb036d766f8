#include "FullDisk.h"
#include "SimulatedApplication.h"
#include "SnrUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A touch of the simulated IC, Depth counts deep, held for Seconds.
void Touch(Application& App, double Seconds, int Depth) {
    App.dongle->WithIC([&](TSimIC& IC) { static_cast<TVirtualPXS733&>(IC).Touch(Seconds, Depth); });
}

} // namespace

class TestSnr : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void aCaptureOfAScriptedTouchGivesItsFiguresAndExport() {
        Application app;
        app.ic->SetEventPeriod(0); // the scripted touch alone
        TSnrForm& snr = *app.windows->SnrForm;
        app.form->SnrButton->click();
        QVERIFY(snr.isVisible());
        app.form->StartButton->click();
        snr.SamplesSpin->setValue(100);
        snr.ThresholdEdit->setText("30");
        snr.StartButton->click();
        QVERIFY(!snr.StartButton->isEnabled() && snr.CancelButton->isEnabled());
        // The simulated LTA settles by itself; then the untouched capture runs.
        QTRY_COMPARE_WITH_TIMEOUT(snr.Capture()->Step(), TSnrCapture::TStep::WaitingForTouch,
                                  10000);
        QVERIFY(snr.StepLabel->text().startsWith("Touch the sensor now"));
        Touch(app, 6, 100);
        QTRY_VERIFY_WITH_TIMEOUT(snr.Figures().has_value(), 10000);
        const Snr::TFigures& f = *snr.Figures();
        QCOMPARE(f.Untouched.N, 100);
        QCOMPARE(f.Touched.N, 100);
        QVERIFY2(std::abs(f.Signal - 100) < 3, qPrintable(QString::number(f.Signal))); // the depth
        QVERIFY(f.MarginIn && f.MarginOut);
        QVERIFY(snr.ResultCard->text().contains(Snr::VerdictText(f.Verdict)));
        QVERIFY(snr.ResultCard->text().contains("Margin out"));
        QCOMPARE(snr.RunsTable->rowCount(), 1);
        QCOMPARE(snr.RunsTable->item(0, 6)->text(), Snr::VerdictText(f.Verdict));
        QVERIFY(snr.ExportButton->isEnabled() && snr.StartButton->isEnabled());

        const QString path = home.filePath("snr.csv");
        app.dialogs.savePath = path;
        snr.ExportButton->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines[0], QByteArray("# PXS733 SNR capture"));
        QVERIFY(lines.contains("# verdict: " + Snr::VerdictText(f.Verdict).toLatin1() +
                               " (PASS from 5:1, GOOD from 10:1)"));
        const qsizetype header = lines.indexOf(Recording::ColumnNames() + ",phase");
        QVERIFY(header > 0);
        int untouched = 0, touched = 0;
        for (qsizetype i = header + 1; i < lines.size(); ++i) {
            untouched += lines[i].endsWith(",untouched");
            touched += lines[i].endsWith(",touched");
        }
        QCOMPARE(untouched, 100);
        QCOMPARE(touched, 100);

        // On a full disk the export and the picture say why once; the old file stays.
        TFullDisk disk;
        disk.Put("snr.csv", "old");
        disk.Fill();
        for (QPushButton* button : {snr.ExportButton, snr.PictureButton}) {
            app.dialogs.shown.clear();
            app.dialogs.savePath =
                disk.FilePath(button == snr.ExportButton ? "snr.csv" : "snr.png");
            button->click();
            QCOMPARE(app.dialogs.shown.size(), 1);
            QVERIFY2(app.dialogs.shown[0].endsWith(": " + disk.Reason()),
                     qPrintable(app.dialogs.shown[0]));
        }
        QCOMPARE(disk.Read("snr.csv"), QByteArray("old"));
    }

    void badSettingsAndAStreamThatStopsAreTold() {
        Application app;
        TSnrForm& snr = *app.windows->SnrForm;
        snr.show();
        // Not streaming yet.
        snr.StartButton->click();
        QCOMPARE(snr.StepLabel->text(), QString("Start streaming first (F1), then start the "
                                                "capture."));
        app.form->StartButton->click();
        const struct {
            const char* pass;
            const char* good;
            const char* threshold;
            const char* told;
        } bad[] = {
            {"12", "10", "", "The PASS level must not be above the GOOD level."},
            {"x", "10", "", "The SNR levels must be numbers."},
            {"5", "10", "-3", "The touch threshold must be a count from 1 to 65535."},
            {"5", "10", "70000", "The touch threshold must be a count from 1 to 65535."},
        };
        for (const auto& b : bad) {
            snr.PassEdit->setText(b.pass);
            snr.GoodEdit->setText(b.good);
            snr.ThresholdEdit->setText(b.threshold);
            snr.StartButton->click();
            QCOMPARE(snr.StepLabel->text(), QString(b.told));
            QVERIFY(!snr.Capture());
        }
        // The dongle goes mid-capture: no samples, an invalid capture, no result.
        snr.PassEdit->setText("5");
        snr.ThresholdEdit->clear();
        snr.StartButton->click();
        QVERIFY(snr.Capture());
        app.hid.Unplug(app.dongle);
        QTRY_COMPARE_WITH_TIMEOUT(snr.Capture()->Step(), TSnrCapture::TStep::Invalid, 5000);
        QVERIFY(snr.StepLabel->text().startsWith("Invalid capture: No samples came for 2 s"));
        QVERIFY(!snr.Figures());
        QVERIFY(!snr.ExportButton->isEnabled());
        QVERIFY(snr.StartButton->isEnabled());
    }
};

QTEST_MAIN(TestSnr)
#include "test_Snr.moc"
