// The main window's recording: every decoded sample written to a CSV file until the user
// stops, the stream stops, the dongle goes or the window closes.
#include "MainUnit.h"

#include "KelvraHIDTool.h"
#include "KvrListBox.h"
#include "ModalDialogs.h"
#include "StreamSetupUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace {

const QString NoDongleToRecord = "No dongle to record from: connect one, then record";

QString Duration(qint64 Ms) {
    const qint64 s = Ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

// A red dot: what a recorder shows while it records.
QIcon RecordingMark() {
    QPixmap dot(12, 12);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD0, 0, 0));
    painter.drawEllipse(1, 1, 10, 10);
    return QIcon(dot);
}

} // namespace

bool TPXS733MainForm::Recording() const {
    return FRecorder && FRecorder->Recording();
}

qint64 TPXS733MainForm::SamplesRecorded() const {
    return FRecorder ? FRecorder->SamplesWritten() : 0;
}

void TPXS733MainForm::RecordButtonClick() {
    if (Recording()) {
        StopRecording();
        return;
    }
    const QString path = FDialogs.SaveFile("Record Samples", "pxs733", {"CSV files (*.csv)"});
    if (path.isEmpty()) {
        UpdateRecordControls();
        return;
    }
    // The file's header names the dongle; it may have gone while the dialog was open.
    if (!DongleToRecord()) {
        MessageBox->KvrAddItem(NoDongleToRecord, aError);
        UpdateRecordControls();
        return;
    }
    StartRecording(path);
}

bool TPXS733MainForm::DongleToRecord() const {
    return DevListBox->count() > 0 && Session->State().DongleUsable;
}

Recording::TInfo TPXS733MainForm::RecordingInfo() const {
    Recording::TInfo info;
    info.Application = "pxs733 " + FAppVersion;
    info.Dongle = DevListBox->count() ? DevListBox->item(0)->text().trimmed() : QString();
    info.Serial = KelvraHidTool1->SerialNumber();
    info.Firmware = DongleAcceptance::Hex4(FFirmwareVersion);
    info.Link = CommsCombo->currentText();
    info.Supply = VoltageCombo->currentText();
    QStringList ticked;
    const TStreamSetupForm& setup = *FWindows->StreamSetupForm;
    for (const QCheckBox* box : {setup.CSCheck, setup.LTACheck, setup.PTCheck, setup.THCheck})
        if (box->isChecked()) ticked << box->text().replace("&&", "&");
    info.Stream = ticked.join(", ");
    info.Start = QDateTime::currentDateTimeUtc();
    return info;
}

void TPXS733MainForm::StartRecording(const QString& Path) {
    if (!FRecorder) FRecorder = std::make_unique<TSampleRecorder>();
    if (!FRecorder->Start(Path, Recording::Header(RecordingInfo()))) {
        MessageBox->KvrAddItem("Cannot record to " + Path + ": " + FRecorder->Error(), aError);
        UpdateRecordControls();
        return;
    }
    FRecordClock.start();
    FRecordedSetUp = RecordedSetUp();
    FMissedSinceRecorded = false;
    FRecordNote.clear();
    FRecordMarks.clear();
    MessageBox->KvrAddItem("Recording to " + Path, aInfo);
    RecordTimer->start();
    UpdateRecordControls();
}

QString TPXS733MainForm::RecordedSetUp() const {
    const Recording::TInfo info = RecordingInfo();
    return info.Link + ": " + info.Stream;
}

void TPXS733MainForm::EndRecordingOnNewSetUp() {
    // The file's header names the link and the streamed values its rows hold.
    if (!Recording() || RecordedSetUp() == FRecordedSetUp) return;
    MessageBox->KvrAddItem("The streaming set-up changed: the recording ends with it", aInfo);
    StopRecording();
}

void TPXS733MainForm::StopRecording() {
    if (!Recording()) return;
    const bool gone = FRecorder->FileGone();
    FRecorder->Stop(MarkedAfterLastSample(FRecordMarks));
    FRecordMarks.clear();
    RecordTimer->stop();
    if (FRecorder->Failed())
        MessageBox->KvrAddItem("Recording stopped, " + FRecorder->Path() +
                                   " cannot be written: " + FRecorder->Error(),
                               aError);
    else if (gone)
        MessageBox->KvrAddItem(
            QStringLiteral("Recording stopped: %1 was deleted while recording, its %2 samples "
                           "are lost")
                .arg(FRecorder->Path())
                .arg(FRecorder->SamplesWritten()),
            aError);
    else
        MessageBox->KvrAddItem(QStringLiteral("Recording stopped: %1 samples in %2")
                                   .arg(FRecorder->SamplesWritten())
                                   .arg(FRecorder->Path()),
                               aInfo);
    UpdateRecordControls();
}

void TPXS733MainForm::RecordSample(const quint8* Data, int Size, const TDecodedSample& Sample) {
    Recording::TSample recorded;
    recorded.TimeMs = double(FRecordClock.nsecsElapsed()) / 1e6;
    recorded.Raw = Recording::RawSample(Data, Size);
    recorded.Decoded = Sample;
    recorded.Missed = FMissedSinceRecorded;
    recorded.Note = std::exchange(FRecordNote, QString());
    recorded.Marker = MarkColumn(FRecordMarks);
    FRecordMarks.clear();
    FMissedSinceRecorded = false;
    FRecorder->Add(std::move(recorded));
}

void TPXS733MainForm::RecordGap(const QString& Why) {
    if (!Recording()) return;
    FMissedSinceRecorded = true;
    FRecordNote = Why;
}

void TPXS733MainForm::RecordTimerTimer() {
    if (FRecorder->Failed() || FRecorder->FileGone()) {
        StopRecording(); // tells what went wrong
        return;
    }
    UpdateRecordControls();
}

QString TPXS733MainForm::RecordingDuration() const {
    return Duration(FRecordClock.elapsed());
}

void TPXS733MainForm::UpdateRecordControls() {
    const bool on = Recording();
    // A recording starts only with a dongle to name in its header; it can always be stopped.
    const bool available = on || DongleToRecord();
    RecordButton->setEnabled(available);
    RecordItem->setEnabled(available);
    RecordButton->setChecked(on);
    RecordButton->setText(on ? "Stop Recording" : "Record");
    RecordButton->setIcon(on ? RecordingMark() : QIcon());
    UpdateStatusBar();
    RecordItem->setText(on ? "Stop Recording" : "Record...");
    RecordStatusLabel->setVisible(on);
    if (!on) return;
    const QLocale locale;
    QString status = QStringLiteral("%1, %2 samples, %3")
                         .arg(RecordingDuration())
                         .arg(locale.toString(FRecorder->SamplesWritten()))
                         .arg(locale.formattedDataSize(FRecorder->BytesWritten(), 1));
    if (Session->State().Paused) status += " (paused: nothing to record)";
    if (Session->State().Waiting) status += " (waiting for the dongle)";
    RecordStatusLabel->setText(status);
}
