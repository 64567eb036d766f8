#include "FullDisk.h"
#include "KelvraPXS731.h"
#include "Recording.h"
#include "ReplayIC.h"
#include "SimulatedApplication.h"
#include "StreamSetupUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A recording's rows without their times: what a replay must reproduce.
QStringList ValuesOf(const QString& Path, QString* Error = nullptr) {
    QFile file(Path);
    file.open(QIODevice::ReadOnly);
    QStringList rows;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#') && !line.startsWith("time_ms"))
            rows << QString::fromLatin1(line.mid(line.indexOf(',') + 1));
    if (Error) {
        file.seek(0);
        Recording::TReader reader(file);
        while (reader.Next()) {
        }
        *Error = reader.Error();
    }
    return rows;
}

// Records a run of the application into Path until the file holds Samples rows; the recording
// stops with the stream, after the samples the dongle sent before it stopped. With a Mark,
// the user marks the run halfway.
void RecordRun(Application& App, const QString& Path, int Samples, const QString& Mark = {}) {
    App.dialogs.savePath = Path;
    App.form->RecordButton->click();
    QCOMPARE(App.LastMessage(), "Recording to " + Path);
    QVERIFY(App.form->RecordButton->isChecked());
    App.form->StartButton->click();
    if (!Mark.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(App.form->SamplesRecorded() >= Samples / 2, 60000);
        App.windows->ScopeForm->MarkerTextEdit->setText(Mark);
        App.windows->ScopeForm->AddMarkerButton->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(App.form->SamplesRecorded() >= Samples, 60000);
    App.form->StartButton->click(); // "Stop"
    QVERIFY(!App.form->Recording());
    QVERIFY(!App.form->RecordButton->isChecked());
}

} // namespace

class TestRecording : public QObject {
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase() { UsePrivateFolders(home); }

    void aReplayShowsWhatWasRecorded() {
        const QString recorded = home.filePath("recorded.csv");
        {
            Application app(std::make_shared<TVirtualPXS733>(), 1000);
            TDongleFaults faults;
            faults.DropShare = 0.02; // gaps
            app.dongle->SetFaults(faults);
            RecordRun(app, recorded, 600, "probe");
            const QStringList stopped = app.Messages().filter("Recording stopped: ");
            QCOMPARE(stopped.size(), 1);
            QVERIFY(stopped[0].endsWith(" samples in " + recorded));
        }
        QString error;
        const QStringList original = ValuesOf(recorded, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(original.size() > 500);
        QVERIFY(original.filter(QRegularExpression(",1,[0-9A-F]+,[^,]*$")).size() > 0); // gaps seen
        QCOMPARE(original.filter(QRegularExpression(",\\[user\\] probe$")).size(), 1);

        // Played back ten times as fast through a simulated dongle, recorded again: the same
        // rows, the mark on the same one.
        auto file = std::make_shared<Recording::TReplayFile>();
        QVERIFY(file->Open(recorded));
        auto marks = std::make_shared<TReplayMarks>();
        auto ic = std::make_shared<TReplayIC>(
            [file, marks, rows = qint64(0)]() mutable -> std::optional<TReplayIC::TSample> {
                const std::optional<Recording::TRow> row = file->Next();
                if (!row) return std::nullopt;
                marks->Add(++rows, row->Marker);
                return TReplayIC::TSample{row->TimeMs, row->Lost, row->SampleBytes()};
            },
            10.0);
        const QString replayed = home.filePath("replayed.csv");
        Application app(ic, TVirtualDongle::MaxSampleRate);
        app.form->PlayReplay(false, marks);
        RecordRun(app, replayed, original.size());
        QCOMPARE(ValuesOf(replayed), original);
        const TScopeMarkers& shown = app.windows->ScopeForm->Markers();
        QVERIFY(shown.Count() >= 1);
        bool probe = false;
        for (std::size_t i = 0; i < shown.Count(); ++i)
            probe = probe || (shown[i].Kind == TMarkKind::User && shown[i].Text == "probe");
        QVERIFY(probe);
    }

    void anI2CRecordingPlaysWithAPlainStart() {
        // The replaying IC streams without its STREAM bit: the recorded one did stream.
        int left = 3;
        auto ic = std::make_shared<TReplayIC>(
            [&left]() -> std::optional<TReplayIC::TSample> {
                if (left == 0) return std::nullopt;
                --left;
                return TReplayIC::TSample{double(3 - left), 0, QByteArray(20, '\x11')};
            },
            1.0);
        Application app(ic, TVirtualDongle::MaxSampleRate);
        int received = 0;
        auto counted = app.form->PXS731Device1->OnStreaming.Subscribe(
            [&](quint16, quint8, const quint8*) { ++received; });
        app.form->CommsCombo->setCurrentIndex(1); // I2C
        app.form->StartButton->click();
        QCOMPARE(app.LastMessage(), QString("Device streaming started"));
        QTRY_COMPARE(received, 3);
    }

    void theFileTellsWhereItsSamplesComeFrom() {
        Application app;
        const QString path = home.filePath("header.csv");
        RecordRun(app, path, 5);
        Recording::TReplayFile file;
        QVERIFY(file.Open(path));
        const QStringList comments = file.Comments();
        QCOMPARE(comments.size(), 8);
        QVERIFY(comments[0].startsWith("application: pxs733 "));
        QCOMPARE(comments.mid(1, 6), QStringList({"dongle: Kelvra LK620", "serial: SIM000001",
                                                  "firmware: 0105", "link: 1-Wire", "supply: 3.3 V",
                                                  "stream: Count Samples, Long Term "
                                                  "Averages (LTA), Prox & Touch, Thresholds"}));
        QVERIFY(QDateTime::fromString(comments[7].mid(7), Qt::ISODateWithMs).isValid());
        QCOMPARE(file.Comment("link"), QString("1-Wire"));
        QCOMPARE(file.Comment("no such"), QString());
        // Every sample the dongle sent has its row, the last ones before the stop too.
        QCOMPARE(ValuesOf(path).size(), qsizetype(app.dongle->SamplesSent()));
    }

    void placesThatCannotBeWrittenAndCancelling() {
        Application app;
        const int lines = app.form->MessageBox->count();
        app.dialogs.savePath.clear(); // cancelled
        app.form->RecordButton->click();
        QCOMPARE(app.form->MessageBox->count(), lines);
        QVERIFY(!app.form->RecordButton->isChecked());

        app.dialogs.savePath = home.path(); // a folder
        app.form->RecordItem->trigger();
        QVERIFY(app.LastMessage().startsWith("Cannot record to " + home.path() + ": "));
        QVERIFY(!app.form->Recording());
        QCOMPARE(app.form->RecordItem->text(), QString("Record..."));
    }

    void aNameIsProposedAndTheFolderRemembered() {
        QDir(home.path()).mkpath("runs");
        {
            Application app;
            app.form->FormActivate(); // reads the settings file, which the close writes
            app.dialogs.savePath = home.filePath("runs/first"); // typed without an extension
            app.form->RecordButton->click();
            QVERIFY(app.form->Recording());
            QCOMPARE(app.form->RecordButton->text(), QString("Stop Recording"));
            QVERIFY(!app.form->RecordButton->icon().isNull());
            QVERIFY(app.form->RecordingStatus->text().startsWith("\u25CF REC 0:00:0"));
            QVERIFY(QFile::exists(home.filePath("runs/first.csv")));
            const TSaveRequest& asked = app.dialogs.saveRequests.last();
            QCOMPARE(asked.Filters, QStringList{"CSV files (*.csv)"});
            QVERIFY2(
                QRegularExpression(R"(/pxs733-\d{8}-\d{6}\.csv$)").match(asked.Proposed).hasMatch(),
                qPrintable(asked.Proposed));
            app.form->RecordButton->click();
            QCOMPARE(app.form->RecordButton->text(), QString("Record"));
            QVERIFY(!app.form->RecordingStatus->isVisibleTo(app.form));
            app.form->close();
        }
        Application next;
        next.form->FormActivate();
        next.dialogs.savePath.clear(); // cancelled
        next.form->RecordButton->click();
        QCOMPARE(QFileInfo(next.dialogs.saveRequests.last().Proposed).absolutePath(),
                 home.filePath("runs"));
    }

    void aDiskFillingUpStopsTheRecordingWithOneLine() {
        TFullDisk disk;
        disk.Fill(100000);
        Application app(std::make_shared<TVirtualPXS733>(), 2000);
        const QString path = disk.FilePath("full.csv");
        app.dialogs.savePath = path;
        app.form->RecordButton->click();
        app.form->StartButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!app.form->Recording(), 20000);
        QCOMPARE(app.Messages().filter("cannot be written").size(), 1);
        QCOMPARE(app.LastMessage(),
                 "Recording stopped, " + path + " cannot be written: " + disk.Reason());
        QString error;
        QVERIFY(ValuesOf(path, &error).size() > 10);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void aDeletedFileIsToldAsLost() {
        Application app;
        const QString path = home.filePath("deleted.csv");
        app.dialogs.savePath = path;
        app.form->RecordButton->click();
        app.form->StartButton->click();
        QTRY_VERIFY(app.form->SamplesRecorded() > 0);
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(!app.form->Recording()); // seen at the status tick
        QVERIFY2(app.LastMessage().startsWith("Recording stopped: " + path +
                                              " was deleted while recording, its "),
                 qPrintable(app.LastMessage()));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(app.form->StartButton->text(), QString("Stop")); // the run goes on
    }

    void aNewStreamingSetUpEndsTheRecording() {
        Application app;
        app.dialogs.savePath = home.filePath("setup.csv");
        app.form->RecordButton->click();
        app.form->StartButton->click();
        QTRY_VERIFY(app.form->SamplesRecorded() > 0);
        // The same set-up applied again changes nothing.
        app.form->StreamSetupButtonClick();
        QVERIFY(app.form->Recording());
        app.dialogs.act = [](QDialog& Dialog) {
            auto& setup = static_cast<TStreamSetupForm&>(Dialog);
            setup.LTACheck->click();
            setup.ApplyButton->click();
        };
        app.form->StreamSetupButtonClick();
        QVERIFY(!app.form->Recording());
        const QStringList lines = app.Messages();
        QVERIFY(lines.contains("The streaming set-up changed: the recording ends with it"));
        QVERIFY(lines.last().startsWith("Recording stopped: "));
        QCOMPARE(app.form->StartButton->text(), QString("Stop")); // streaming with the new set-up
    }

    void aReplayEndsTheRunAtItsEnd() {
        int left = 5;
        TPXS733MainForm* form = nullptr;
        auto ic = std::make_shared<TReplayIC>(
            [&]() -> std::optional<TReplayIC::TSample> {
                if (left == 0) {
                    // Told from the dongle's thread, as the program's replay does.
                    QMetaObject::invokeMethod(form, [&form] { form->StreamEnded(); });
                    return std::nullopt;
                }
                --left;
                return TReplayIC::TSample{double(5 - left), 0, QByteArray(20, '\x11')};
            },
            1.0);
        Application app(ic, TVirtualDongle::MaxSampleRate);
        form = app.form;
        int received = 0;
        auto counted = app.form->PXS731Device1->OnStreaming.Subscribe(
            [&](quint16, quint8, const quint8*) { ++received; });
        app.form->StartButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.form->StartButton->text(), QString("Start"), 10000);
        QCOMPARE(received, 5); // every sample came through first
        QVERIFY(!app.form->PauseButton->isEnabled());
        QVERIFY(!app.form->Session->State().Streaming && !app.form->Session->State().PowerOn);
    }

    void theDongleGoingEndsTheRecording() {
        Application app;
        app.dialogs.savePath = home.filePath("unplugged.csv");
        app.form->RecordButton->click(); // waiting for a stream
        QVERIFY(app.form->Recording());
        app.hid.Unplug(app.dongle);
        QTRY_VERIFY(!app.form->Recording());
        QCOMPARE(app.Messages().filter("Recording stopped: 0 samples in ").size(), 1);

        // Without a dongle to name in its header no recording starts, also when the dongle
        // goes while the file is being chosen.
        QVERIFY(!app.form->RecordButton->isEnabled() && !app.form->RecordItem->isEnabled());
        app.hid.Plug(app.dongle);
        QTRY_VERIFY(app.form->RecordButton->isEnabled() && app.form->RecordItem->isEnabled());
        app.dialogs.savePath = home.filePath("never.csv");
        app.dialogs.whileSaving = [&] {
            app.hid.Unplug(app.dongle);
            QTRY_VERIFY(!app.form->RecordButton->isEnabled());
        };
        app.form->RecordButton->click();
        QVERIFY(!app.form->Recording());
        QCOMPARE(app.LastMessage(), QString("No dongle to record from: connect one, then record"));
        QVERIFY(!QFile::exists(app.dialogs.savePath));
        QVERIFY(!app.form->RecordButton->isEnabled());
    }

    void aRecordingGoesOnThroughAReplugWithTheGapNoted() {
        Application app;
        const QString path = home.filePath("replugged.csv");
        app.dialogs.savePath = path;
        app.form->StartButton->click();
        app.form->RecordButton->click();
        QTRY_VERIFY(app.form->SamplesRecorded() >= 50);
        app.hid.Unplug(app.dongle);
        QTRY_VERIFY(app.form->Session->State().Waiting);
        QVERIFY(app.form->Recording());
        QTRY_VERIFY(app.form->RecordStatusLabel->text().endsWith("(waiting for the dongle)"));
        app.hid.Plug(app.dongle);
        QTRY_VERIFY(app.form->Session->State().Streaming);
        const qint64 before = app.form->SamplesRecorded();
        QTRY_VERIFY(app.form->SamplesRecorded() >= before + 50);
        app.form->StartButton->click(); // Stop
        QVERIFY(!app.form->Recording());

        QString error;
        QVERIFY(ValuesOf(path, &error).size() >= 100);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // The row after the gap is marked and follows a comment line with the times.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        const auto gap = std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) {
            return l.startsWith("# Dongle SIM000001 away from ");
        });
        QVERIFY(gap != lines.end() && gap + 1 != lines.end());
        QVERIFY(QRegularExpression(",1,[0-9A-F]+,[^,]*$")
                    .match(QString::fromLatin1(*(gap + 1)))
                    .hasMatch());
        QCOMPARE(app.Messages().filter("Recording stopped: ").size(), 1);
    }

    void marksGoOnTheScopeAndIntoTheRecording() {
        Application app;
        const QString path = home.filePath("marked.csv");
        app.dialogs.savePath = path;
        app.form->StartButton->click();
        app.form->RecordButton->click();
        QTRY_VERIFY(app.form->SamplesRecorded() >= 20);
        TScopeForm& scope = *app.windows->ScopeForm;
        const int x = scope.XPos();
        scope.MarkerTextEdit->setText("probe, moved");
        scope.AddMarkerButton->click();
        const qint64 marked = app.form->SamplesRecorded();
        QTRY_VERIFY(app.form->SamplesRecorded() > marked + 5); // the mark goes with the next
        // Marked while paused, then the recording stopped: no sample came to take the mark.
        app.form->PauseButton->click();
        QTest::qWait(100);
        scope.MarkerTextEdit->setText("paused here");
        scope.AddMarkerButton->click();
        app.form->RecordButton->click();
        app.form->PowerButtonClick(); // "Power off" ends the run
        QVERIFY(!app.form->Recording());
        const TScopeMarkers& markers = scope.Markers();
        QVERIFY(markers.Count() >= 3);
        QCOMPARE(markers[markers.Count() - 3].Text, QString("probe, moved"));
        QCOMPARE(markers[markers.Count() - 3].X, x);
        QCOMPARE(markers[markers.Count() - 2].Text, QString("paused here"));
        QCOMPARE(markers[markers.Count() - 1].Text, QString("Power off"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains(",[user] probe; moved\n"));
        QVERIFY(text.endsWith(",\n# Marked after the last sample: [user] paused here\n"));
        QString error;
        ValuesOf(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error)); // still a recording a replay reads
    }

    void whilePausedTheStatusSaysSo() {
        Application app;
        app.dialogs.savePath = home.filePath("paused.csv");
        app.form->StartButton->click();
        app.form->RecordButton->click();
        app.form->PauseButton->click();
        QTRY_VERIFY(app.form->RecordStatusLabel->text().endsWith("(paused: nothing to record)"));
        QVERIFY(app.form->RecordStatusLabel->isVisibleTo(app.form));
        app.form->RecordButton->click();
        QVERIFY(!app.form->Recording());
        QVERIFY(!app.form->RecordStatusLabel->isVisibleTo(app.form));
    }
};

QTEST_MAIN(TestRecording)
#include "test_Recording.moc"
