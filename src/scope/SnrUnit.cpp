#include "SnrUnit.h"

#include "ChartPicture.h"
#include "FuseBanks.h"
#include "IniFile.h"
#include "ModalDialogs.h"
#include "RunSession.h"
#include "SafeFile.h"
#include "WindowPlacement.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>

using namespace Snr;

namespace {

const QString Section = QStringLiteral("Snr");
const QColor UntouchedColour(40, 110, 220);
const QColor TouchedColour(220, 60, 40);
constexpr int MaxBins = 100;
constexpr int MaxSamples = 100000;

QColor VerdictColour(TVerdict Verdict) {
    switch (Verdict) {
    case TVerdict::Good:
        return QColor(170, 230, 170);
    case TVerdict::Pass:
        return QColor(250, 215, 130);
    case TVerdict::Fail:
        break;
    }
    return QColor(245, 160, 160);
}

QString Signed(double Value) {
    return (Value > 0 ? "+" : "") + QString::number(Value, 'f', 1);
}

std::optional<double> Number(const QLineEdit& Edit) {
    bool ok = false;
    const double value = QLocale::c().toDouble(Edit.text().trimmed(), &ok);
    return ok ? std::optional(value) : std::nullopt;
}

} // namespace

TSnrForm::TSnrForm(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("SnrForm");
    setWindowTitle("Noise && SNR");
    FWatchdog = new QTimer(this);
    FWatchdog->setSingleShot(true);
    FWatchdog->setInterval(SampleTimeoutMs);
    connect(FWatchdog, &QTimer::timeout, this, [this] {
        FCapture->Fail(QStringLiteral("No samples came for %1 s: the stream stopped or the "
                                      "dongle went.")
                           .arg(SampleTimeoutMs / 1000));
        Finish();
    });
    CreateControls();
    WindowPlacement::PlaceInWorkArea(*this, QSize(900, 640));
}

TSnrForm::~TSnrForm() = default;

void TSnrForm::CreateControls() {
    ChannelCombo = new QComboBox(this);
    ChannelCombo->addItems({"Channel 0", "Channel 1"});
    SamplesSpin = new QSpinBox(this);
    SamplesSpin->setRange(TSnrCapture::MinSamples, MaxSamples);
    SamplesSpin->setValue(TSnrCapture::DefaultSamples);
    ThresholdEdit = new QLineEdit(this);
    ThresholdEdit->setPlaceholderText("none");
    ThresholdEdit->setToolTip("The touch threshold in counts, for the margins (optional)");
    PassEdit = new QLineEdit("5", this);
    GoodEdit = new QLineEdit("10", this);
    auto* settings = new QFormLayout;
    settings->addRow("Channel:", ChannelCombo);
    settings->addRow("Samples per phase:", SamplesSpin);
    settings->addRow("Touch threshold:", ThresholdEdit);
    settings->addRow("PASS from SNR:", PassEdit);
    settings->addRow("GOOD from SNR:", GoodEdit);

    StartButton = new QPushButton("Start capture", this);
    CaptureNowButton = new QPushButton("Capture now", this);
    CaptureNowButton->setToolTip("Start the untouched capture without waiting for the LTA");
    CancelButton = new QPushButton("Cancel", this);
    ExportButton = new QPushButton("Export CSV...", this);
    PictureButton = new QPushButton("Save picture...", this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b :
         {StartButton, CaptureNowButton, CancelButton, ExportButton, PictureButton})
        buttons->addWidget(b);
    buttons->addStretch();
    connect(StartButton, &QPushButton::clicked, this, &TSnrForm::StartClick);
    connect(CaptureNowButton, &QPushButton::clicked, this, &TSnrForm::CaptureNowClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSnrForm::CancelClick);
    connect(ExportButton, &QPushButton::clicked, this, &TSnrForm::ExportClick);
    connect(PictureButton, &QPushButton::clicked, this, &TSnrForm::SavePictureClick);

    StepLabel = new QLabel("Start streaming, then start a capture.", this);
    StepLabel->setWordWrap(true);
    Progress = new QProgressBar(this);
    Progress->setFormat("%v / %m samples");
    ResultCard = new QLabel(this);
    ResultCard->setObjectName("ResultCard");
    ResultCard->setTextFormat(Qt::RichText);
    ResultCard->setAutoFillBackground(true);
    ResultCard->setMargin(8);
    ResultCard->setMinimumWidth(280);

    Histogram = new QCustomPlot(this);
    Histogram->xAxis->setLabel("Counts");
    Histogram->yAxis->setLabel("Samples");
    // The legend in a row of its own under the plot, where no bar can lie behind it.
    Histogram->plotLayout()->addElement(1, 0, Histogram->legend);
    Histogram->legend->setFillOrder(QCPLegend::foColumnsFirst);
    Histogram->plotLayout()->setRowStretchFactor(1, 0.001);
    Histogram->legend->setVisible(false);
    Strip = new QCustomPlot(this);
    Strip->xAxis->setLabel("Sample");
    Strip->yAxis->setLabel("Counts");

    RunsTable = new QTableWidget(0, 7, this);
    RunsTable->setHorizontalHeaderLabels(
        {"Time", "Channel", "N", "Banks in force", "SNR", "dB", "Verdict"});
    RunsTable->horizontalHeader()->setStretchLastSection(true);
    RunsTable->verticalHeader()->hide();
    RunsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RunsTable->setMaximumHeight(130);

    auto* top = new QHBoxLayout;
    top->addLayout(settings);
    top->addLayout(buttons);
    top->addWidget(ResultCard, 1);
    auto* charts = new QHBoxLayout;
    charts->addWidget(Histogram, 1);
    charts->addWidget(Strip, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(StepLabel);
    layout->addWidget(Progress);
    layout->addLayout(charts, 1);
    layout->addWidget(RunsTable);
    ShowStep();
}

void TSnrForm::Bind(TSnrHost& Host, TRunSession& Session, TModalDialogs& Dialogs) {
    FHost = &Host;
    FSession = &Session;
    FDialogs = &Dialogs;
}

void TSnrForm::showEvent(QShowEvent* Event) {
    if (!std::exchange(FSettingsLoaded, true)) LoadSettings();
    QWidget::showEvent(Event);
}

void TSnrForm::closeEvent(QCloseEvent* Event) {
    CancelClick();
    SaveSettings();
    QWidget::closeEvent(Event);
}

void TSnrForm::Tell(const QString& Text, bool Error) {
    StepLabel->setText(Text);
    StepLabel->setStyleSheet(Error ? "color: #c00000" : QString());
}

bool TSnrForm::ReadSettings(TLevels& Levels, std::optional<double>& Threshold) {
    const std::optional<double> pass = Number(*PassEdit);
    const std::optional<double> good = Number(*GoodEdit);
    QString error = pass && good ? CheckLevels({*pass, *good})
                                 : QStringLiteral("The SNR levels must be numbers.");
    Threshold.reset();
    if (error.isEmpty() && !ThresholdEdit->text().trimmed().isEmpty()) {
        Threshold = Number(*ThresholdEdit);
        error = CheckThreshold(Threshold.value_or(-1));
    }
    if (!error.isEmpty()) {
        Tell(error, true);
        return false;
    }
    Levels = {*pass, *good};
    return true;
}

void TSnrForm::StartClick() {
    if (!FSession) return;
    if (!ReadSettings(FLevels, FThreshold)) return;
    if (!FSession->State().StreamRunning()) {
        Tell("Start streaming first (F1), then start the capture.", true);
        return;
    }
    FCapture = std::make_unique<TSnrCapture>(ChannelCombo->currentIndex(), SamplesSpin->value());
    FRows.clear();
    FMissed = false;
    FFigures.reset();
    FSampleEvents[0] =
        FSession->OnSample.Subscribe([this](const TDecodedSample& Decoded, const quint8* Data,
                                            int Size) { Sample(Decoded, Data, Size); });
    FSampleEvents[1] = FSession->OnDataMissed.Subscribe([this] { FMissed = true; });
    FWatchdog->start();
    FSinceStart.start();
    ShowStep();
}

void TSnrForm::CaptureNowClick() {
    if (FCapture) FCapture->CaptureNow();
    ShowStep();
}

void TSnrForm::CancelClick() {
    if (!FCapture || FCapture->Finished()) return;
    FCapture->Cancel();
    Finish();
}

void TSnrForm::Sample(const TDecodedSample& Decoded, const quint8* Data, int Size) {
    FWatchdog->start();
    const qsizetype before = FCapture->Strip().size();
    FCapture->Add(Decoded, std::exchange(FMissed, false), FSinceStart.nsecsElapsed() / 1e6);
    if (FCapture->Strip().size() > before) {
        if (before == 0) FClock.start();
        FRows.append({double(FClock.nsecsElapsed()) / 1e6,
                      Recording::RawSample(Data, Size),
                      Decoded,
                      false,
                      {},
                      {}});
    }
    if (FCapture->Finished())
        Finish();
    else
        ShowStep();
}

void TSnrForm::ShowStep() {
    using TStep = TSnrCapture::TStep;
    const TStep step = FCapture ? FCapture->Step() : TStep::Done;
    const bool capturing = FCapture && !FCapture->Finished();
    StartButton->setEnabled(!capturing);
    CaptureNowButton->setEnabled(capturing && step == TStep::Settling);
    CancelButton->setEnabled(capturing);
    ExportButton->setEnabled(FFigures.has_value());
    PictureButton->setEnabled(FFigures.has_value());
    for (QWidget* w : std::initializer_list<QWidget*>{ChannelCombo, SamplesSpin, ThresholdEdit,
                                                      PassEdit, GoodEdit})
        w->setEnabled(!capturing);
    if (!capturing) return;
    Progress->setMaximum(FCapture->Samples());
    Progress->setValue(FCapture->Taken());
    switch (step) {
    case TStep::Settling:
        Tell(FCapture->TouchedRestarts() > 0
                 ? "The sensor was touched: waiting for it to settle again before the "
                   "untouched capture... or press Capture now."
                 : "Waiting for the IC to settle (ATI done, no touch, LTA steady)... or press "
                   "Capture now.");
        break;
    case TStep::Untouched:
        Tell("Capturing untouched: do not touch the sensor.");
        break;
    case TStep::WaitingForTouch:
        Tell("Touch the sensor now, lightly (the worst case), and hold the touch.");
        break;
    case TStep::Touched:
        Tell("Capturing touched: hold the touch.");
        break;
    default:
        break;
    }
}

void TSnrForm::Finish() {
    FWatchdog->stop();
    for (TSubscription& s : FSampleEvents)
        s.Reset();
    FDurationMs = double(FClock.nsecsElapsed()) / 1e6;
    switch (FCapture->Step()) {
    case TSnrCapture::TStep::Cancelled:
        Tell("Capture cancelled.");
        break;
    case TSnrCapture::TStep::Invalid:
        Tell("Invalid capture: " + FCapture->InvalidReason() + " Start again to repeat it.", true);
        break;
    default: {
        FRows.resize(FCapture->Strip().size()); // the samples past the capture's end
        const TFigures figures =
            Compute(FCapture->UntouchedCounts(), FCapture->TouchedCounts(), FLevels, FThreshold);
        FFigures = figures;
        Tell("Capture complete: release the touch.");
        Progress->setValue(Progress->maximum());
        ShowResult(figures);
        ShowHistogram();
        ShowStrip(FThreshold);
        AddRun(figures);
        break;
    }
    }
    ShowStep();
}

void TSnrForm::ShowResult(const TFigures& F) {
    const double rate = FDurationMs > 0 ? 1000.0 * FRows.size() / FDurationMs : 0;
    QString text = QStringLiteral("<p style='font-size:16pt'><b>%1</b> &nbsp; SNR %2")
                       .arg(VerdictText(F.Verdict), F.RatioText());
    if (F.Decibels) text += QStringLiteral(" (%1 dB)").arg(*F.Decibels, 0, 'f', 1);
    text += "</p><table>";
    auto row = [&text](const QString& Name, const QString& Value) {
        text += QStringLiteral("<tr><td>%1</td><td>&nbsp;%2</td></tr>").arg(Name, Value);
    };
    row("Signal", QString::number(F.Signal, 'f', 1) + " counts" +
                      (F.SignalPercent ? QStringLiteral(" (%1 %)").arg(*F.SignalPercent, 0, 'f', 2)
                                       : QString()));
    row("Noise peak-to-peak", QString::number(F.Untouched.PeakToPeak));
    row("Noise peak", QString::number(F.Untouched.PeakFromMean, 'f', 1));
    row("Noise std. deviation", QString::number(F.Untouched.StdDev, 'f', 2));
    row("Noise while touched", QStringLiteral("%1 p-p, %2 std. dev.")
                                   .arg(F.Touched.PeakToPeak)
                                   .arg(F.Touched.StdDev, 0, 'f', 2));
    if (F.MarginIn) row("Margin in", Signed(*F.MarginIn));
    if (F.MarginOut) row("Margin out", Signed(*F.MarginOut));
    row("Samples", QStringLiteral("%1 + %2 in %3 s at %4 samples/s")
                       .arg(F.Untouched.N)
                       .arg(F.Touched.N)
                       .arg(FDurationMs / 1000, 0, 'f', 1)
                       .arg(rate, 0, 'f', 0));
    ResultCard->setText(text + "</table>");
    QPalette palette = ResultCard->palette();
    palette.setColor(QPalette::Window, VerdictColour(F.Verdict));
    ResultCard->setPalette(palette);
}

void TSnrForm::ShowHistogram() {
    Histogram->clearPlottables();
    const QList<int>& untouched = FCapture->UntouchedCounts();
    const QList<int>& touched = FCapture->TouchedCounts();
    const auto [uMin, uMax] = std::minmax_element(untouched.begin(), untouched.end());
    const auto [tMin, tMax] = std::minmax_element(touched.begin(), touched.end());
    const int low = std::min(*uMin, *tMin);
    const int high = std::max(*uMax, *tMax);
    const int width = std::max(1, (high - low + MaxBins) / MaxBins);
    auto bars = [&](const QList<int>& Counts, const QColor& Colour, const QString& Name) {
        QMap<int, double> bins;
        for (int c : Counts)
            bins[low + (c - low) / width * width] += 1;
        auto* b = new QCPBars(Histogram->xAxis, Histogram->yAxis);
        b->setName(Name);
        b->setWidth(width);
        b->setPen(QPen(Colour.darker()));
        QColor fill = Colour;
        fill.setAlpha(130);
        b->setBrush(fill);
        b->setData(QVector<double>(bins.keyBegin(), bins.keyEnd()),
                   QVector<double>(bins.begin(), bins.end()), true);
    };
    bars(untouched, UntouchedColour, "Untouched");
    bars(touched, TouchedColour, "Touched");
    Histogram->legend->setVisible(true); // an empty one until the first capture
    Histogram->rescaleAxes();
    Histogram->xAxis->scaleRange(1.1);
    Histogram->yAxis->setRangeLower(0);
    Histogram->replot();
}

void TSnrForm::ShowStrip(std::optional<double> Threshold) {
    Strip->clearGraphs();
    Strip->clearItems();
    const QList<int>& counts = FCapture->Strip();
    QVector<double> x(counts.size());
    std::iota(x.begin(), x.end(), 0);
    QCPGraph* graph = Strip->addGraph();
    graph->setPen(QPen(Qt::black));
    graph->setData(x, QVector<double>(counts.begin(), counts.end()), true);
    Strip->rescaleAxes();
    Strip->yAxis->scaleRange(1.2);
    auto shade = [this](double From, double To, QColor Colour) {
        auto* rect = new QCPItemRect(Strip);
        rect->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
        rect->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
        rect->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
        rect->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
        rect->topLeft->setCoords(From, 0);
        rect->bottomRight->setCoords(To, 1);
        rect->setPen(Qt::NoPen);
        Colour.setAlpha(45);
        rect->setBrush(Colour);
        rect->setLayer("background");
    };
    shade(0, FCapture->UntouchedCounts().size(), UntouchedColour);
    shade(FCapture->TouchedStart(), counts.size(), TouchedColour);
    if (Threshold && FFigures) {
        // The threshold counts from the untouched mean towards the touched one.
        const double direction = FFigures->Touched.Mean < FFigures->Untouched.Mean ? -1 : 1;
        const double level = FFigures->Untouched.Mean + direction * *Threshold;
        auto* line = new QCPItemStraightLine(Strip);
        line->point1->setCoords(0, level);
        line->point2->setCoords(1, level);
        line->setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
    }
    Strip->replot();
}

void TSnrForm::AddRun(const TFigures& F) {
    const FuseBanks::TBanks banks = FSession->SavedBanks();
    QString inForce = "fuses";
    if (FuseBanks::SavedConfiguration(banks)) {
        QStringList bytes;
        for (quint8 b : banks)
            bytes << QStringLiteral("%1").arg(b, 2, 16, QChar('0')).toUpper();
        inForce = bytes.join(' ');
    }
    const int row = RunsTable->rowCount();
    RunsTable->insertRow(row);
    const QStringList cells{QTime::currentTime().toString("HH:mm:ss"),
                            QString::number(FCapture->Channel()),
                            QString::number(F.Untouched.N),
                            inForce,
                            F.RatioText(),
                            F.Decibels ? QString::number(*F.Decibels, 'f', 1) : "-",
                            VerdictText(F.Verdict)};
    for (int column = 0; column < cells.size(); ++column)
        RunsTable->setItem(row, column, new QTableWidgetItem(cells[column]));
    RunsTable->item(row, cells.size() - 1)->setBackground(VerdictColour(F.Verdict));
    RunsTable->scrollToBottom();
}

void TSnrForm::ExportClick() {
    if (!FFigures || !FDialogs) return;
    const QString path = FDialogs->SaveFile("Export SNR Capture", "snr", {"CSV files (*.csv)"});
    if (path.isEmpty()) return;
    const TFigures& f = *FFigures;
    // The recording's comment lines and columns, a summary and the phase of every row.
    QByteArray header = Recording::Header(FHost ? FHost->SnrRecordingInfo() : Recording::TInfo{});
    header.remove(0, header.indexOf('\n') + 1);       // not a recording to replay
    header.chop(Recording::ColumnNames().size() + 1); // its header row comes last
    QByteArray text = "# PXS733 SNR capture\n" + header;
    auto summary = [&text](const QString& Line) { text += Recording::CommentLine(Line); };
    summary("channel: " + QString::number(FCapture->Channel()));
    summary(QStringLiteral("verdict: %1 (PASS from %2:1, GOOD from %3:1)")
                .arg(VerdictText(f.Verdict))
                .arg(FLevels.Pass)
                .arg(FLevels.Good));
    summary("snr: " + f.RatioText() +
            (f.Decibels ? QStringLiteral(" (%1 dB)").arg(*f.Decibels, 0, 'f', 1) : QString()));
    summary(QStringLiteral("signal: %1").arg(f.Signal, 0, 'f', 2));
    summary(QStringLiteral("noise: peak-to-peak %1, peak %2, std. deviation %3")
                .arg(f.Untouched.PeakToPeak)
                .arg(f.Untouched.PeakFromMean, 0, 'f', 2)
                .arg(f.Untouched.StdDev, 0, 'f', 3));
    if (FThreshold)
        summary(QStringLiteral("threshold: %1, margin in %2, margin out %3")
                    .arg(*FThreshold)
                    .arg(Signed(*f.MarginIn), Signed(*f.MarginOut)));
    text += Recording::ColumnNames() + ",phase\n";
    const qsizetype untouched = FCapture->UntouchedCounts().size();
    for (qsizetype i = 0; i < FRows.size(); ++i) {
        QByteArray row = Recording::Row(FRows[i]);
        row.chop(1);
        text += row + (i < untouched                  ? ",untouched\n"
                       : i < FCapture->TouchedStart() ? ",transition\n"
                                                      : ",touched\n");
    }
    const QString error = SafeFile::Write(path, text);
    if (!error.isEmpty())
        FDialogs->ReportError(QStringLiteral("Cannot export to %1: %2").arg(path, error));
}

void TSnrForm::SavePictureClick() {
    if (FDialogs) ChartPicture::Save(*Strip, *FDialogs, "Save SNR Picture", "snr");
}

void TSnrForm::LoadSettings() {
    if (!FHost || FHost->SnrIniFilePath().isEmpty()) return;
    try {
        const TIniFile ini(FHost->SnrIniFilePath());
        PassEdit->setText(ini.ReadString(Section, "PassLevel", PassEdit->text()));
        GoodEdit->setText(ini.ReadString(Section, "GoodLevel", GoodEdit->text()));
    } catch (const EIniFileError&) {
        // A garbled value keeps the default; the main window reports the file.
    }
}

void TSnrForm::SaveSettings() {
    if (!FHost || FHost->SnrIniFilePath().isEmpty() || !FSettingsLoaded) return;
    const std::optional<double> pass = Number(*PassEdit);
    const std::optional<double> good = Number(*GoodEdit);
    if (!pass || !good || !CheckLevels({*pass, *good}).isEmpty()) return; // kept as they were
    TIniFile ini(FHost->SnrIniFilePath());
    if (!ini.WriteString(Section, "PassLevel", QString::number(*pass)) ||
        !ini.WriteString(Section, "GoodLevel", QString::number(*good)))
        FHost->SettingsNotSaved(ini.WriteError());
}
