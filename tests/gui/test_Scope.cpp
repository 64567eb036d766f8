#include "CategoryPanel.h"
#include "ModalDialogs.h"
#include "ScopeUnit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <qcustomplot.h>

namespace {

struct FakeHost : TScopeHost {
    bool streaming = true;
    bool deltas = false;
    std::array<int, 2> counts{}, ltas{};
    bool ScopeStreaming() const override { return streaming; }
    bool ScopeDeltaOnly() const override { return deltas; }
    int ScopeChannelCount(int i) const override { return counts[size_t(i)]; }
    int ScopeChannelLTA(int i) const override { return ltas[size_t(i)]; }
    void ShowMainWindow() override {}
    QString ini;
    int loadErrors = 0;
    QString ScopeIniFilePath() const override { return ini; }
    void ScopeLoadError() override { ++loadErrors; }
};

struct RecordingDialogs : TModalDialogs {
    QStringList shown;
    QMessageBox::StandardButton Message(QMessageBox::Icon, const QString& text,
                                        QMessageBox::StandardButtons) override {
        shown << text;
        return QMessageBox::Ok;
    }
};

struct Scope {
    FakeHost host;
    RecordingDialogs dialogs;
    TScopeForm form;
    Scope() { form.Bind(host, dialogs); }
    // Samples as the main window feeds them: count, points of slots 0 and 8, position.
    void Feed(int Samples) {
        for (int i = 0; i < Samples; ++i) {
            form.SetNrOfChartPoints(form.NrOfChartPoints() + 1);
            form.AddXY(0, form.XPos(), 1000);
            form.AddXY(8, form.XPos(), 990);
            form.SetXPos(form.XPos() + 1);
        }
    }
    void Tick() { form.UpdateTimerTimer(); }
    QCPRange X() const { return form.ScopeGraph->xAxis->range(); }
    QCPRange Y() const { return form.ScopeGraph->yAxis->range(); }
};

} // namespace

class TestScope : public QObject {
    Q_OBJECT

private slots:
    void xAxisStaysThenScrollsWithTheData() {
        Scope s;
        s.Feed(100);
        s.Tick();
        QCOMPARE(s.X().lower, 0.0);
        QCOMPARE(s.X().upper, 600.0);
        QCOMPARE(s.form.ScopeGraph->graph(0)->dataCount(), 100);
        s.Feed(501); // X position 601
        s.Tick();
        QCOMPARE(s.X().upper, 600.0 + 501); // moved by the samples since the last tick
        QCOMPARE(s.X().size(), 600.0);
        s.Feed(50); // still inside the axis: it waits for the data
        s.Tick();
        QCOMPARE(s.X().upper, 1101.0);
        // The chart holds what the buffers hold: the newest 5000.
        s.Feed(6000);
        s.Tick();
        QCOMPARE(s.form.ScopeGraph->graph(0)->dataCount(), 5000);
        QCOMPARE(s.form.ScopeGraph->graph(0)->data()->begin()->key, double(s.form.XPos() - 5000));
        // Not streaming: no refresh.
        s.host.streaming = false;
        s.Feed(10);
        s.Tick();
        QCOMPARE(s.form.ScopeGraph->graph(0)->dataCount(), 5000);
        QCOMPARE(s.form.ScopeGraph->graph(0)->data()->at(4999)->key, double(s.form.XPos() - 11));
    }

    void setXRange() {
        Scope s;
        s.form.XRangeSpin->setValue(700); // before the data reached 600
        s.form.SetXRangeButton->click();
        QCOMPARE(s.X().lower, 0.0);
        QCOMPARE(s.X().upper, 700.0);
        s.Feed(3000); // the axis follows the data to X position 3000
        s.Tick();
        s.form.XRangeSpin->setValue(1500);
        s.form.SetXRangeButton->click();
        QCOMPARE(s.X().lower, 1500.0);
        QCOMPARE(s.X().upper, 3000.0);
    }

    void yMaxMinAndStepRefuseWhatCannotBe() {
        Scope s;
        s.form.MaxEdit->setText("1500.5");
        s.form.SetMaxButton->click();
        QCOMPARE(s.dialogs.shown.last(),
                 QString("Invalid value entered! (no decimal values allowed)"));
        QCOMPARE(s.form.MaxEdit->text(), QString("1600"));
        s.form.MaxEdit->setText("-5");
        s.form.SetMaxButton->click();
        QCOMPARE(s.dialogs.shown.last(),
                 QString("Maximum value must be larger than the minimum value!"));
        s.form.MaxEdit->setText("1200");
        s.form.SetMaxButton->click();
        QCOMPARE(s.Y().upper, 1200.0);
        s.form.MinEdit->setText("1200");
        s.form.SetMinButton->click();
        QCOMPARE(s.dialogs.shown.last(),
                 QString("Minimum value must be smaller than the maximum value!"));
        QCOMPARE(s.form.MinEdit->text(), QString("0"));
        s.form.MinEdit->setText("abc");
        s.form.SetMinButton->click();
        QCOMPARE(s.dialogs.shown.last(),
                 QString("Invalid value entered! (no decimal values allowed)"));
        s.form.MinEdit->setText("-2147483648");
        s.form.SetMinButton->click();
        QCOMPARE(s.Y().lower, -2147483648.0);
        QCOMPARE(s.dialogs.shown.size(), 4); // the accepted minimum showed nothing

        // The step: within 1..1000 it is taken; the spin keeps it in range.
        s.form.YIncSpin->setValue(50);
        s.form.YIncButton->click();
        QCOMPARE(
            qSharedPointerCast<QCPAxisTickerFixed>(s.form.ScopeGraph->yAxis->ticker())->tickStep(),
            50.0);
        s.form.YIncSpin->setValue(0);
        QCOMPARE(s.form.YIncSpin->value(), 1);
    }

    void rescaleFollowsTheChannels() {
        struct Case {
            int count, lta;
            bool deltas;
            double lower, upper;
        };
        const Case cases[] = {
            {1000, 1010, false, 850, 1717},
            {60000, 60000, false, 51000, 102000}, // the minimum starts at the first value
            {0, 0, false, 0, 1},                  // all zero: the smallest range there is
            {500, 500, true, 900, 1700},
        };
        for (const Case& c : cases) {
            Scope s;
            s.host.counts = {c.count, c.count};
            s.host.ltas = {c.lta, c.lta};
            s.host.deltas = c.deltas;
            s.form.RescaleScopeButton->click();
            QCOMPARE(s.Y().lower, c.lower);
            QCOMPARE(s.Y().upper, c.upper);
            QCOMPARE(s.form.MinEdit->text(), QString::number(c.lower));
        }
    }

    void disabledBoxesComeBackAsTheyWere() {
        Scope s;
        QVERIFY(s.form.CH0CurCheck->isChecked());
        s.form.SetCurCHs(false);
        QVERIFY(!s.form.CH0CurCheck->isEnabled());
        QVERIFY(!s.form.CH0CurCheck->isChecked());
        QVERIFY(!s.form.ActiveChannels()); // the LTA box is unchecked
        s.form.SetCurCHs(false);           // again: the remembered state is kept
        s.form.SetCurCHs(true);
        QVERIFY(s.form.CH0CurCheck->isChecked());
        QVERIFY(s.form.ActiveChannels());

        s.form.CH0LTACheck->setChecked(true);
        s.form.CH0CurCheck->setChecked(false);
        QVERIFY(s.form.ActiveChannels());
        s.host.deltas = true; // LTA is not plotted in Baseline View
        s.form.CH0CurCheckClick();
        QVERIFY(!s.form.ActiveChannels());
    }

    void baselineViewShowsDeltas() {
        Scope s;
        s.form.ShowDeltas(true);
        QCOMPARE(s.form.CurValCategory->Caption(), QString("Deltas"));
        QVERIFY(s.form.LTACategory->isHidden());
        QVERIFY(!s.form.RescaleScopeButton->isEnabled());
        QCOMPARE(s.Y().lower, -600.0);
        QCOMPARE(s.form.MaxEdit->text(), QString("600"));
        s.host.deltas = true; // still in deltas while leaving, as the main window does
        s.form.ShowDeltas(false);
        QCOMPARE(s.form.CurValCategory->Caption(), QString("Count"));
        QCOMPARE(s.Y().lower, 900.0);
        QCOMPARE(s.Y().upper, 1700.0);
    }
};

QTEST_MAIN(TestScope)
#include "test_Scope.moc"
