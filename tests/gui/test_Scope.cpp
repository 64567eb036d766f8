#include "CategoryPanel.h"
#include "FullDisk.h"
#include "ModalDialogs.h"
#include "ScopeUnit.h"
#include "TestDialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
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
    QStringList notSaved;
    void SettingsNotSaved(const QString& Reason) override { notSaved << Reason; }
    QStringList marks;
    void ScopeUserMark(const QString& Text) override { marks << Text; }
};

struct Scope {
    FakeHost host;
    TTestDialogs dialogs;
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
    // A drag over the chart from one point to another with the given button.
    void Drag(QPoint From, QPoint To, Qt::MouseButton Button = Qt::LeftButton) {
        QWidget* chart = form.ScopeGraph;
        QTest::mousePress(chart, Button, Qt::NoModifier, From);
        QMouseEvent move(QEvent::MouseMove, To, chart->mapToGlobal(To), Qt::NoButton, Button,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(chart, &move);
        QTest::mouseRelease(chart, Button, Qt::NoModifier, To);
    }
    QCPRange Y() const { return form.ScopeGraph->yAxis->range(); }
};

} // namespace

class TestScope : public QObject {
    Q_OBJECT

private slots:
    void exportsTheShownTracesAndThePicture() {
        QTemporaryDir dir;
        Scope s;
        s.form.resize(900, 600);
        s.Feed(2);
        s.form.AddMarker(TMarkKind::Write, "Bank 2 = 0x5A"); // at the next sample
        s.Feed(1);
        s.Tick();
        auto read = [](const QString& Path) {
            QFile file(Path);
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        };
        s.dialogs.savePath = dir.filePath("data.csv");
        s.form.ExportDataButton->click();
        QCOMPARE(read(s.dialogs.savePath),
                 QByteArray("sample,CS0,LTA0,marker\n0,1000,990,\n1,1000,990,\n"
                            "2,1000,990,[write] Bank 2 = 0x5A\n"));

        s.dialogs.savePath = dir.filePath("chart"); // a PNG without a suffix given
        s.form.SavePictureButton->click();
        const QImage picture(dir.filePath("chart.png"));
        QCOMPARE(picture.size(), s.form.ScopeGraph->size() * s.form.devicePixelRatio());
        s.dialogs.savePath = dir.filePath("chart.pdf");
        s.form.SavePictureButton->click();
        const QByteArray pdf = read(s.dialogs.savePath);
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QVERIFY(pdf.contains("/MediaBox [0 0 " + QByteArray::number(s.form.ScopeGraph->width())));
        s.dialogs.savePath = dir.filePath("drawing");
        s.dialogs.saveFilter = "SVG drawings (*.svg)"; // the type chosen in the dialog
        s.form.SavePictureButton->click();
        const QByteArray svg = read(dir.filePath("drawing.svg"));
        QVERIFY(svg.startsWith("<?xml"));
        QVERIFY(svg.contains("<svg") && svg.contains("PXS733 scope"));
        s.dialogs.saveFilter.clear();

        for (QPushButton* button : {s.form.ExportDataButton, s.form.SavePictureButton}) {
            s.dialogs.shown.clear();
            s.dialogs.savePath = dir.filePath("no/such/folder/out.pdf");
            button->click();
            QCOMPARE(s.dialogs.shown.size(), 1);
            QVERIFY(s.dialogs.shown[0].startsWith("Cannot "));
        }

        // A full disk: each save says why once and leaves the old file as it was.
        TFullDisk disk;
        const QByteArray old(600, 'o');
        for (const char* name : {"data.csv", "chart.png", "chart.pdf"})
            disk.Put(name, old);
        disk.Fill();
        const QList<std::pair<QPushButton*, QString>> saves = {
            {s.form.ExportDataButton, "data.csv"},
            {s.form.SavePictureButton, "chart.png"},
            {s.form.SavePictureButton, "chart.pdf"},
            {s.form.ExportDataButton, "new.csv"},
            {s.form.SavePictureButton, "new.pdf"}};
        for (const auto& [button, name] : saves) {
            s.dialogs.shown.clear();
            s.dialogs.savePath = disk.FilePath(name);
            button->click();
            QCOMPARE(s.dialogs.shown.size(), 1);
            QVERIFY2(s.dialogs.shown[0].endsWith(disk.FilePath(name) + ": " + disk.Reason()),
                     qPrintable(s.dialogs.shown[0]));
        }
        for (const char* name : {"data.csv", "chart.png", "chart.pdf"})
            QCOMPARE(disk.Read(name), old);
        QCOMPARE(disk.Files(), QStringList({"chart.pdf", "chart.png", "data.csv"}));
    }

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
        for (const char* text : {"-5", "0"}) { // below and equal to the minimum, 0
            s.form.MaxEdit->setText(text);
            s.form.SetMaxButton->click();
            QCOMPARE(s.dialogs.shown.last(),
                     QString("Maximum value must be larger than the minimum value!"));
            QCOMPARE(s.Y().upper, 1600.0); // no zero-height axis
        }
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
        QCOMPARE(s.dialogs.shown.size(), 5); // the accepted minimum showed nothing

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

    void zoomWhileStoppedAndWhileStreaming() {
        Scope s;
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        s.host.streaming = false;
        const QCPRange before = s.X();
        s.Drag({100, 100}, {110, 110}); // 10 pixels: nothing
        QCOMPARE(s.X(), before);
        s.Drag({100, 100}, {300, 300});
        QVERIFY(s.form.Zoomed());
        QVERIFY(s.X().size() < before.size());
        QVERIFY(s.Y().size() < 1600);
        s.Drag({300, 300}, {100, 100}); // leftwards: undone
        QVERIFY(!s.form.Zoomed());
        QCOMPARE(s.X().lower, before.lower);
        QCOMPARE(s.X().upper, before.lower + 600);

        s.host.streaming = true; // while streaming the X axis keeps following the data
        s.Feed(1000);
        s.Tick();
        const QCPRange following = s.X();
        s.Drag({100, 100}, {300, 300});
        QVERIFY(!s.form.Zoomed());
        QCOMPARE(s.X().upper, double(s.form.XPos()));
        QCOMPARE(s.X().size(), 600.0);
        QVERIFY(s.Y().size() < 1600); // only the Y zoom remains
        (void)following;
    }

    void wheelZoomsAroundThePointer() {
        Scope s;
        s.form.resize(900, 600);
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        QCPAxis* x = s.form.ScopeGraph->xAxis;
        QCPAxis* y = s.form.ScopeGraph->yAxis;
        const QPoint at(int(x->coordToPixel(300)), int(y->coordToPixel(800)));
        const struct {
            Qt::KeyboardModifiers modifiers;
            QCPAxis* zoomed;
            QCPAxis* kept;
        } cases[] = {{Qt::NoModifier, x, y}, {Qt::ControlModifier, y, x}};
        for (const auto& c : cases) {
            const QCPRange zoomed = c.zoomed->range(), kept = c.kept->range();
            const double under = c.zoomed->pixelToCoord(c.zoomed == x ? at.x() : at.y());
            QWheelEvent wheel(at, s.form.ScopeGraph->mapToGlobal(at), {}, {0, 120}, Qt::NoButton,
                              c.modifiers, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(s.form.ScopeGraph, &wheel);
            QVERIFY(c.zoomed->range().size() < zoomed.size());
            QCOMPARE(c.kept->range(), kept);
            // The value under the pointer stays under it.
            QVERIFY(std::abs(c.zoomed->pixelToCoord(c.zoomed == x ? at.x() : at.y()) - under) <
                    zoomed.size() / 100);
        }
        QCOMPARE(x->label(), QString("Sample"));
        QCOMPARE(y->label(), QString("Counts"));
    }

    void markersAreFoundAndHiddenByKind() {
        Scope s;
        s.Feed(100);
        s.form.AddMarker(TMarkKind::Write, "Bank 2 = 0x5A");
        s.Feed(100);
        s.form.AddMarker(TMarkKind::Flag, "Touch on");
        s.form.MarkerTextEdit->setText("probe");
        s.form.AddMarkerClick();
        QCOMPARE(s.host.marks, QStringList{"probe"}); // the host marks it through the run
        QCOMPARE(s.form.Markers().Count(), 2u);
        QCOMPARE(s.form.Markers()[0].X, 100);
        QCOMPARE(s.form.Markers()[1].X, 200);
        const auto [first, last] = s.form.Markers().Between(150, 250);
        QCOMPARE(first, 1u);
        QCOMPARE(last, 2u);
        s.form.FMarkerKindBoxes[size_t(TMarkKind::Flag)]->setChecked(false);
        QVERIFY(!s.form.MarkersShown(TMarkKind::Flag));
        QVERIFY(s.form.MarkersShown(TMarkKind::Write));
        // Markers leave with the points they belong to.
        s.Feed(TScopeBuffers::Capacity - 50); // the points before sample 150 are gone
        s.Tick();
        QCOMPARE(s.form.Markers().Count(), 1u);
    }

    // A mark shows at once on a still chart; on a refreshing one, with the next refresh.
    void aMarkShowsAtOnceOrWithTheNextRefresh() {
        Scope s;
        s.form.resize(900, 600);
        s.form.show();
        s.Feed(100);
        s.Tick();
        const auto shown = [&] {
            QTest::qWait(20); // a queued replot runs
            return s.form.ScopeGraph->grab().toImage();
        };
        QImage before = shown();
        s.form.AddMarker(TMarkKind::Write, "Bank 2 = 0x5A");
        QVERIFY(shown() != before);

        s.form.UpdateTimer->start(3'600'000); // refreshing, but the test ticks
        before = shown();
        s.form.AddMarker(TMarkKind::Flag, "Touch on");
        QCOMPARE(shown(), before);
        s.Tick();
        QVERIFY(shown() != before);
    }

    // While display frames come, the frame nearest a refresh's time takes it and the timer's
    // own tick passes; once they stop, the timer refreshes again.
    void displayFramesCarryTheRefresh() {
        Scope s;
        s.form.UpdateTimer->start(3'600'000); // refreshing, but the test ticks
        const auto plotted = [&] { return s.form.ScopeGraph->graph(0)->dataCount(); };
        s.Feed(10);
        s.Tick();
        QCOMPARE(plotted(), 10);

        // Long frames, so that a slow machine's sleeps still fall in the windows tested.
        constexpr int Frame = 60;
        s.Feed(10);
        s.form.FrameShown(Frame); // too soon after the refresh
        QCOMPARE(plotted(), 10);
        QThread::msleep(Frame / 2 + 5);
        s.Tick(); // the next frame is due within half a frame
        QCOMPARE(plotted(), 10);
        QThread::msleep(40); // 75 ms since the refresh: nearer 100 than the frame after
        s.form.FrameShown(Frame);
        QCOMPARE(plotted(), 20);

        s.Feed(10);
        QThread::msleep(2 * Frame + 10); // no frame came when due
        s.Tick();
        QCOMPARE(plotted(), 30);
    }

    void legendStatisticsAndCursorsReadTheView() {
        Scope s;
        s.form.resize(900, 600);
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        QCursor::setPos(s.form.mapToGlobal(QPoint(-300, -300))); // the keys use the view's middle
        QCustomPlot& chart = *s.form.ScopeGraph;
        for (int i = 0; i < 700; ++i) { // counts 1000 to 1009 over and over, a flat LTA
            s.form.SetNrOfChartPoints(s.form.NrOfChartPoints() + 1);
            s.form.AddXY(0, i, 1000 + i % 10);
            s.form.AddXY(8, i, 990);
            s.form.SetXPos(i + 1);
        }
        s.Tick();
        chart.xAxis->setRange(100, 700);
        chart.replot();
        QVERIFY(chart.legend->visible());
        QCOMPARE(chart.legend->itemCount(), 2);
        const auto legendName = [&](int Item) {
            return static_cast<QCPPlottableLegendItem*>(chart.legend->item(Item))
                ->plottable()
                ->name();
        };
        QCOMPARE(legendName(0), QString("CH1 Count"));
        QCOMPARE(legendName(1), QString("CH1 LTA"));
        const auto readings = [&] {
            chart.replot();
            return s.form.ReadingsLabel->text();
        };
        QCOMPARE(readings(),
                 QString("CH1 Count  n 600  min 1000  max 1009  p-p 9  mean 1004.5  sd 2.87\n"
                         "CH1 LTA  n 600  min 990  max 990  p-p 0  mean 990.0  sd 0.00"));
        // New figures in as many lines lay out the strip that holds them, not the window: the
        // figures change at every refresh.
        struct TLayoutRequests : QObject {
            int Count = 0;
            bool eventFilter(QObject*, QEvent* Event) override {
                Count += Event->type() == QEvent::LayoutRequest;
                return false;
            }
        } layouts;
        QCoreApplication::processEvents();
        s.form.installEventFilter(&layouts);
        chart.xAxis->setRange(100, 603);
        QVERIFY(readings().startsWith("CH1 Count  n 504"));
        QCoreApplication::processEvents();
        QCOMPARE(layouts.Count, 0);
        s.form.removeEventFilter(&layouts);
        QCOMPARE(s.form.ReadingsLabel->geometry(), s.form.ReadingsStrip->rect());
        QCOMPARE(s.form.ReadingsStrip->width(), chart.width());
        chart.xAxis->setRange(100, 700);
        // The figures can be selected while the pointer is over them.
        QLabel& label = *s.form.ReadingsLabel;
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QCoreApplication::sendEvent(&label, &enter);
        QCOMPARE(label.textInteractionFlags(), Qt::TextSelectableByMouse);
        QCoreApplication::sendEvent(&label, &leave);
        QCOMPARE(label.textInteractionFlags(), Qt::NoTextInteraction);
        chart.xAxis->setRange(100, 104); // a zoom: the statistics follow the view
        QVERIFY(readings().startsWith("CH1 Count  n 5  min 1000  max 1004  p-p 4  mean 1002.0"));

        // Keys: A in the view's middle, the arrows move it, Shift by ten.
        QTest::keyClick(&s.form, Qt::Key_A);
        QCOMPARE(s.form.Cursors()[0], 102);
        QTest::keyClick(&s.form, Qt::Key_Right);
        QTest::keyClick(&s.form, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(s.form.Cursors()[0], 93);
        // A drag from the X axis places B, the missing one.
        chart.xAxis->setRange(100, 700);
        chart.replot();
        const int axisY = chart.axisRect()->rect().bottom() + 8;
        const auto pixel = [&](double X) { return int(std::lround(chart.xAxis->coordToPixel(X))); };
        // (A pixel spans more than one sample: the sample under it is the one expected.)
        const auto sampleAt = [&](int Pixel) {
            return int(std::lround(chart.xAxis->pixelToCoord(Pixel)));
        };
        s.Drag({pixel(300), axisY}, {pixel(415), axisY});
        const int b = sampleAt(pixel(415));
        QCOMPARE(s.form.Cursors()[1], b);
        QCOMPARE(s.X(), QCPRange(100, 700)); // no zoom
        QVERIFY(readings().contains(QStringLiteral("Cursor A 93  B %1  B-A +%2 samples\n"
                                                   "CH1 Count  A 1003  B %3  B-A %4%5\n"
                                                   "CH1 LTA  A 990  B 990  B-A 0")
                                        .arg(b)
                                        .arg(b - 93)
                                        .arg(1000 + b % 10)
                                        .arg(b % 10 > 3 ? "+" : "")
                                        .arg(b % 10 - 3)));
        // A drag of B's line moves it; the settings panel's boxes hide the legend and statistics.
        s.Drag({pixel(b), 200}, {pixel(b) + 20, 150});
        QCOMPARE(s.form.Cursors()[1], sampleAt(pixel(b) + 20));
        s.form.LegendCheck->setChecked(false);
        s.form.StatisticsCheck->setChecked(false);
        QVERIFY(readings().startsWith("Cursor A 93  B "));
        QVERIFY(!chart.legend->visible());
        // Far out in a panned view the cursors stay sample numbers an int holds.
        chart.xAxis->setRange(4e9, 4e9 + 600);
        QTest::keyClick(&s.form, Qt::Key_A);
        QTest::keyClick(&s.form, Qt::Key_Right);
        QCOMPARE(s.form.Cursors()[0], 1000000000);
        chart.xAxis->setRange(100, 700);
        QTest::keyClick(&s.form, Qt::Key_Delete);
        QCOMPARE(readings(), QString());
        QVERIFY(s.form.ReadingsStrip->isHidden());

        // The coordinate label also names the nearest point.
        s.form.YCoordCheck->setChecked(true);
        const QPoint at(pixel(305), int(chart.yAxis->coordToPixel(1004)));
        QMouseEvent move(QEvent::MouseMove, at, chart.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&chart, &move);
        QVERIFY(s.form.CoordinatesLabel->text().startsWith("Y: "));
        QVERIFY(s.form.CoordinatesLabel->text().endsWith("\n CH1 Count: 1005 (sample 305)"));
        const QPoint empty(pixel(305), 20); // far above every point: nothing named
        QMouseEvent away(QEvent::MouseMove, empty, chart.mapToGlobal(empty), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&chart, &away);
        QVERIFY(!s.form.CoordinatesLabel->text().contains("CH1"));
    }

    void countsAndLTAAreBothDrawn() {
        Scope s;
        s.form.resize(900, 600);
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        s.form.CH0LTACheck->setChecked(true);
        for (int i = 0; i < 300; ++i) { // apart on the Y axis: counts at 1000, the LTA at 900
            s.form.SetNrOfChartPoints(s.form.NrOfChartPoints() + 1);
            s.form.AddXY(0, i, 1000);
            s.form.AddXY(8, i, 900);
            s.form.SetXPos(i + 1);
        }
        s.Tick();
        QCustomPlot& chart = *s.form.ScopeGraph;
        chart.yAxis->setRange(800, 1100);
        chart.replot(); // lays the axes out
        const QImage image = chart.toPixmap(chart.width(), chart.height(), 1).toImage();
        for (const int value : {1000, 900}) {
            const int row = int(std::lround(chart.yAxis->coordToPixel(value)));
            int drawn = 0;
            for (int y = row - 2; y <= row + 2; ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn +=
                        image.pixelColor(x, y).blue() > 200 && image.pixelColor(x, y).red() < 60;
            QVERIFY2(drawn >= 100,
                     qPrintable(QStringLiteral("%1: %2 pixels").arg(value).arg(drawn)));
        }
    }

    // A mark's label is drawn whole wherever the mark is, also at the plot's right edge,
    // where the newest marks are while the chart scrolls.
    void aMarksLabelIsWholeAtTheRightEdge() {
        // The pixels a mark at sample X changes in the labels' row, its line left out.
        const auto labelPixels = [](int X) {
            Scope s;
            s.form.resize(900, 600);
            s.form.show();
            s.Feed(X);
            s.Tick();
            QCustomPlot& chart = *s.form.ScopeGraph;
            const auto picture = [&] {
                chart.replot();
                return chart.toPixmap(chart.width(), chart.height(), 1).toImage();
            };
            const QImage before = picture();
            s.form.AddMarker(TMarkKind::User, "probe moved");
            s.Feed(600 - X);
            s.Tick();
            const QImage after = picture();
            const QRect area = chart.axisRect()->rect();
            const int line = int(std::lround(chart.xAxis->coordToPixel(X)));
            int changed = 0;
            for (int y = area.top() + 2; y < area.top() + chart.fontMetrics().lineSpacing(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    changed += std::abs(x - line) > 1 && before.pixel(x, y) != after.pixel(x, y);
            return changed;
        };
        const int inside = labelPixels(300);
        const int atEdge = labelPixels(600);
        QVERIFY2(inside > 20 && atEdge > inside * 9 / 10,
                 qPrintable(QStringLiteral("%1 inside, %2 at the edge").arg(inside).arg(atEdge)));
    }

    void coordinateLabelTexts() {
        Scope s;
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        QWidget* chart = s.form.ScopeGraph;
        auto moveTo = [&](QPoint at) {
            QMouseEvent move(QEvent::MouseMove, at, chart->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(chart, &move);
        };
        s.form.YCoordCheck->setChecked(true);
        moveTo({200, 150});
        QVERIFY(s.form.CoordinatesLabel->text().startsWith("Y: "));
        QCOMPARE(s.form.CoordinatesLabel->pos(), QPoint(220, 146));
        s.form.XCoordCheck->setChecked(true);
        moveTo({200, 150});
        QVERIFY(s.form.CoordinatesLabel->text().startsWith("X: "));
        QVERIFY(s.form.CoordinatesLabel->text().contains("\n Y: "));
        s.form.YCoordCheck->setChecked(false);
        moveTo({200, 150});
        QVERIFY(!s.form.CoordinatesLabel->text().contains("Y"));
        s.form.XCoordCheck->setChecked(false);
        QVERIFY(s.form.CoordinatesLabel->isHidden());
    }

    void settingsSurviveAndBadOnesAreReported() {
        QTemporaryDir dir;
        {
            Scope s;
            s.host.ini = dir.filePath("settings.ini");
            s.dialogs.chosenColour = QColor(10, 20, 30);
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(&s.form, &activate);
            QMouseEvent click(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2),
                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(s.form.ColorShape0, &click);
            s.form.XRangeSpin->setValue(900);
            s.form.SetXRangeButton->click();
            s.form.YIncSpin->setValue(25);
            s.form.YIncButton->click();
            s.form.CH0LTACheck->setChecked(true);
            s.form.LegendCheck->setChecked(false);
            s.form.FMarkerKindBoxes[size_t(TMarkKind::Flag)]->setChecked(false);
            s.form.resize(300, 200);
            s.form.move(123, 87); // Left and Top apart, so that one cannot pass for the other
        }                         // saved as the window goes
        QFile file(dir.filePath("settings.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("CH0Color=" + QByteArray::number(30 * 65536 + 20 * 256 + 10)));
        QVERIFY(text.contains("XRange=900"));
        QVERIFY(text.contains("YInc=25"));
        QVERIFY(text.contains("LT0=-1"));
        file.close();

        Scope again;
        again.host.ini = dir.filePath("settings.ini");
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&again.form, &activate);
        QCOMPARE(again.form.FScopeColors[0], QColor(10, 20, 30));
        QCOMPARE(again.form.XRangeSpin->value(), 900);
        QVERIFY(again.form.CH0LTACheck->isChecked());
        QVERIFY(!again.form.LegendCheck->isChecked());
        QVERIFY(again.form.StatisticsCheck->isChecked());
        QVERIFY(!again.form.MarkersShown(TMarkKind::Flag));
        QVERIFY(again.form.MarkersShown(TMarkKind::Write));
        QCOMPARE(again.host.loadErrors, 0);
        QCOMPARE(again.form.frameGeometry().topLeft(), QPoint(123, 87));

        // A placement at the screen's last pixel brings all of the window back on the screen.
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QRect area = again.form.screen()->availableGeometry();
        file.write(QStringLiteral("[ScopeForm]\nLeft=%1\nTop=%2\nWidth=300\nHeight=200\n")
                       .arg(area.right())
                       .arg(area.bottom())
                       .toLatin1());
        file.close();
        Scope corner;
        corner.host.ini = dir.filePath("settings.ini");
        QCoreApplication::sendEvent(&corner.form, &activate);
        QVERIFY(area.contains(corner.form.frameGeometry()));
        QCOMPARE(corner.host.loadErrors, 0);

        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[ScopeForm]\nCH0Color=blue\nXRange=100000\n");
        file.close();
        Scope bad;
        bad.host.ini = dir.filePath("settings.ini");
        QCoreApplication::sendEvent(&bad.form, &activate);
        QCOMPARE(bad.host.loadErrors, 1);
        QCOMPARE(bad.form.FScopeColors[0], QColor(0, 0, 255)); // the rest keeps its defaults
    }

    void settingsPanelSlidesOutAndIn() {
        Scope s;
        s.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.form));
        s.form.SettingsButton->click();
        QTRY_COMPARE(s.form.ScopeCategoryPanel->width(), 0);
        QVERIFY(s.form.SetupCategory->isHidden());
        s.form.SettingsButton->click();
        QTRY_VERIFY(s.form.ScopeCategoryPanel->width() >= 201);
        QVERIFY(s.form.SetupCategory->isVisible());
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
