#include "ScopeUnit.h"

#include "CategoryPanel.h"
#include "ModalDialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int RefreshMs = 100;
constexpr int CountSlot = 0;
constexpr int LTASlot = 8;
// The slots whose series a refresh brings up to date.
constexpr int RefreshedSlots[] = {0, 1, 2, 3, 8, 9, 10, 11};
const QColor ChannelColour(0, 0, 255);

QPushButton* NamedButton(const QString& Name, const QString& Caption, QWidget* Parent) {
    auto* button = new QPushButton(Caption, Parent);
    button->setObjectName(Name);
    return button;
}

QCheckBox* BoldCheck(const QString& Name, const QString& Caption, bool Checked, QWidget* Parent) {
    auto* box = new QCheckBox(Caption, Parent);
    box->setObjectName(Name);
    QFont f = box->font();
    f.setBold(true);
    box->setFont(f);
    box->setChecked(Checked);
    return box;
}

// A whole number of an edit, or nothing.
std::optional<int> WholeNumber(const QString& Text) {
    bool ok = false;
    const int value = Text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

TScopeForm::TScopeForm(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setObjectName("TScopeForm");
    setWindowTitle("Scope");
    setMinimumSize(620, 200);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xB9, 0xB9, 0xB9));
    setPalette(p);
    setAutoFillBackground(true);

    CreateChart();
    CreateSettingsPanel();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ScopeGraph, 1);
    layout->addWidget(SettingsButton);
    layout->addWidget(ScopeCategoryPanel);

    UpdateTimer = new QTimer(this);
    UpdateTimer->setObjectName("UpdateTimer");
    UpdateTimer->setInterval(RefreshMs);
    connect(UpdateTimer, &QTimer::timeout, this, &TScopeForm::UpdateTimerTimer);

    resize(909, 514);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

TScopeForm::~TScopeForm() {
    UpdateTimer->stop();
    FNoUpdate = true;
}

void TScopeForm::Bind(TScopeHost& Host, TModalDialogs& Dialogs) {
    FHost = &Host;
    FDialogs = &Dialogs;
}

void TScopeForm::CreateChart() {
    ScopeGraph = new QCustomPlot(this);
    ScopeGraph->setObjectName("ScopeGraph");
    ScopeGraph->setCursor(Qt::CrossCursor);
    ScopeGraph->legend->setVisible(false);
    ScopeGraph->xAxis->setRange(0, FXRange);
    ScopeGraph->yAxis->setRange(0, 1600);
    auto xTicker = QSharedPointer<QCPAxisTickerFixed>::create();
    xTicker->setTickStep(100);
    ScopeGraph->xAxis->setTicker(xTicker);
    ScopeGraph->xAxis->grid()->setVisible(false);
    ScopeGraph->xAxis->setBasePen(Qt::NoPen);
    auto yTicker = QSharedPointer<QCPAxisTickerFixed>::create();
    yTicker->setTickStep(10);
    // Labels stay at multiples of the step, spaced out so that they do not run together.
    yTicker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    ScopeGraph->yAxis->setTicker(yTicker);
    ScopeGraph->yAxis->setBasePen(Qt::NoPen);
    // The faint product name behind the traces.
    auto* watermark = new QCPItemPixmap(ScopeGraph);
    watermark->setLayer("background");
    watermark->setPixmap(QPixmap(":/images/Watermark.png"));
    watermark->topLeft->setType(QCPItemPosition::ptAxisRectRatio);
    watermark->topLeft->setCoords(0.3, 0.4);
    watermark->bottomRight->setType(QCPItemPosition::ptAxisRectRatio);
    watermark->bottomRight->setCoords(0.7, 0.6);
    watermark->setScaled(true, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Counts as small rectangles, LTA as dots; 1-pixel pens, no lines between points.
    for (int slot = 0; slot < TScopeBuffers::SlotCount; ++slot) {
        QCPGraph* series = ScopeGraph->addGraph();
        series->setLineStyle(QCPGraph::lsNone);
        const bool count = slot < LTASlot;
        if (count) series->setName(QStringLiteral("CS%1").arg(slot));
        series->setScatterStyle(QCPScatterStyle(
            count ? QCPScatterStyle::ssSquare : QCPScatterStyle::ssDot, count ? 2 : 1));
        series->setPen(QPen(ChannelColour, 1));
        FSeries[size_t(slot)] = series;
    }
    ScopeGraph->setInteraction(QCP::iRangeDrag, true);
    ScopeGraph->setSelectionRectMode(QCP::srmZoom);
    ScopeGraph->selectionRect()->setBrush(QColor(0xA8, 0xFF, 0xD3, 128));
}

void TScopeForm::CreateSettingsPanel() {
    SettingsButton = NamedButton("SettingsButton", QString(), this);
    SettingsButton->setFlat(true);
    SettingsButton->setFixedWidth(18);
    SettingsButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    SettingsButton->setToolTip("Show / Hide Channels and Scope settings");
    SettingsButton->setIcon(QIcon(":/images/Arrow_Right.svg"));
    connect(SettingsButton, &QPushButton::clicked, this, &TScopeForm::SettingsButtonClick);

    ScopeCategoryPanel = new TCategoryPanelGroup(this);
    ScopeCategoryPanel->setObjectName("ScopeCategoryPanel");
    ScopeCategoryPanel->setFixedWidth(201);

    CurValCategory = new TCategoryPanel("Count");
    CurValCategory->setObjectName("CurValCategory");
    CH0CurCheck = BoldCheck("CH0CurCheck", "CH1", true, CurValCategory->Content());
    CH0PTShape = new QLabel(CurValCategory->Content());
    CH0PTShape->setObjectName("CH0PTShape");
    CH0PTShape->setFixedSize(31, 26);
    auto* count = new QHBoxLayout(CurValCategory->Content());
    count->addWidget(CH0CurCheck);
    count->addWidget(CH0PTShape);

    LTACategory = new TCategoryPanel("Long Term Averages (LTA)");
    LTACategory->setObjectName("LTACategory");
    CH0LTACheck = BoldCheck("CH0LTACheck", "CH1", false, LTACategory->Content());
    (new QHBoxLayout(LTACategory->Content()))->addWidget(CH0LTACheck);
    for (QCheckBox* box : {CH0CurCheck, CH0LTACheck})
        connect(box, &QCheckBox::toggled, this, &TScopeForm::CH0CurCheckClick);

    SetupCategory = new TCategoryPanel("Setup");
    SetupCategory->setObjectName("SetupCategory");
    auto* scope = new QGroupBox("Scope", SetupCategory->Content());
    scope->setObjectName("ScopeSetupGroup");
    auto* form = new QGridLayout(scope);
    MaxEdit = new QLineEdit("1700", scope);
    MaxEdit->setObjectName("MaxEdit");
    SetMaxButton = NamedButton("SetMaxButton", "Set Y Max", scope);
    MinEdit = new QLineEdit("0", scope);
    MinEdit->setObjectName("MinEdit");
    SetMinButton = NamedButton("SetMinButton", "Set Y Min", scope);
    YIncSpin = new QSpinBox(scope);
    YIncSpin->setObjectName("YIncSpin");
    YIncSpin->setRange(1, 1000);
    YIncSpin->setValue(10);
    YIncButton = NamedButton("YIncButton", "Set Y Inc", scope);
    XRangeSpin = new QSpinBox(scope);
    XRangeSpin->setObjectName("XRangeSpin");
    XRangeSpin->setRange(100, 1500);
    XRangeSpin->setSingleStep(100);
    XRangeSpin->setValue(FXRange);
    SetXRangeButton = NamedButton("SetXRangeButton", "Set X Range", scope);
    const std::pair<QWidget*, QPushButton*> rows[] = {{MaxEdit, SetMaxButton},
                                                      {MinEdit, SetMinButton},
                                                      {YIncSpin, YIncButton},
                                                      {XRangeSpin, SetXRangeButton}};
    for (int row = 0; row < 4; ++row) {
        rows[row].first->setFixedWidth(64);
        form->addWidget(rows[row].first, row, 0);
        form->addWidget(rows[row].second, row, 1);
    }
    ResetScopeButton =
        NamedButton("ResetScopeButton", "Reset Scope View", SetupCategory->Content());
    RescaleScopeButton =
        NamedButton("RescaleScopeButton", "Rescale Scope View", SetupCategory->Content());
    BarGraphButton = NamedButton("BarGraphButton", "Bar Graph", SetupCategory->Content());
    auto* setup = new QVBoxLayout(SetupCategory->Content());
    setup->addWidget(scope);
    setup->addWidget(ResetScopeButton);
    setup->addWidget(RescaleScopeButton);
    setup->addWidget(BarGraphButton);

    connect(SetMaxButton, &QPushButton::clicked, this, &TScopeForm::SetMaxButtonClick);
    connect(MaxEdit, &QLineEdit::returnPressed, this, &TScopeForm::SetMaxButtonClick);
    connect(SetMinButton, &QPushButton::clicked, this, &TScopeForm::SetMinButtonClick);
    connect(MinEdit, &QLineEdit::returnPressed, this, &TScopeForm::SetMinButtonClick);
    connect(YIncButton, &QPushButton::clicked, this, &TScopeForm::YIncButtonClick);
    connect(SetXRangeButton, &QPushButton::clicked, this, &TScopeForm::SetXRangeButtonClick);
    connect(ResetScopeButton, &QPushButton::clicked, this, &TScopeForm::ResetScopeButtonClick);
    connect(RescaleScopeButton, &QPushButton::clicked, this, &TScopeForm::RescaleScopeButtonClick);
    connect(BarGraphButton, &QPushButton::clicked, this, [this] {
        close();
        if (FHost) FHost->ShowMainWindow();
    });

    for (TCategoryPanel* panel : {CurValCategory, LTACategory, SetupCategory})
        ScopeCategoryPanel->AddPanel(panel);
}

void TScopeForm::AddXY(int SeriesNr, int X, int Y) {
    FBuffers.AddXY(SeriesNr, X, Y);
}

void TScopeForm::UpdateTimerTimer() {
    if (FNoUpdate || !FHost || !FHost->ScopeStreaming()) return;
    // Only what came since the last refresh goes to the chart, and what fell out of the
    // buffers leaves it.
    for (int slot : RefreshedSlots) {
        if (!FBuffers.Changed(slot)) continue;
        const std::vector<TScopeBuffers::TPoint> points = FBuffers.TakeNew(slot);
        QVector<double> keys, values;
        keys.reserve(qsizetype(points.size()));
        values.reserve(qsizetype(points.size()));
        for (const TScopeBuffers::TPoint& point : points) {
            keys << point.X;
            values << point.Y;
        }
        QCPGraph* series = FSeries[size_t(slot)];
        series->addData(keys, values, true);
        if (FBuffers.MaxPoints()) series->data()->removeBefore(FBuffers.At(slot, 0).X);
    }
    QCPAxis* x = ScopeGraph->xAxis;
    if (FXPos > x->range().upper) x->moveRange(FXPos - FPrevXPos);
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
    FPrevXPos = FXPos;
}

void TScopeForm::ApplyXRange() {
    QCPAxis* x = ScopeGraph->xAxis;
    if (FXRange >= x->range().upper)
        x->setRange(0, FXRange);
    else
        x->setRange(FXPos - FXRange, FXPos);
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

void TScopeForm::SetCurCHs(bool Enabled) {
    if (!Enabled && CH0CurCheck->isEnabled()) {
        FEnCurChs = CH0CurCheck->isChecked();
        CH0CurCheck->setEnabled(false);
        CH0CurCheck->setChecked(false);
    } else if (Enabled) {
        CH0CurCheck->setChecked(FEnCurChs);
        CH0CurCheck->setEnabled(true);
    }
    CH0CurCheckClick();
}

void TScopeForm::SetLTACHs(bool Enabled) {
    if (!Enabled && CH0LTACheck->isEnabled()) {
        FEnLTAChs = CH0LTACheck->isChecked();
        CH0LTACheck->setEnabled(false);
        CH0LTACheck->setChecked(false);
    } else if (Enabled) {
        CH0LTACheck->setChecked(FEnLTAChs);
        CH0LTACheck->setEnabled(true);
    }
    CH0CurCheckClick();
}

void TScopeForm::CH0CurCheckClick() {
    if (CH0CurCheck->isEnabled()) FEnCurChs = CH0CurCheck->isChecked();
    if (CH0LTACheck->isEnabled()) FEnLTAChs = CH0LTACheck->isChecked();
    const bool deltas = FHost && FHost->ScopeDeltaOnly();
    FActiveChannels = CH0CurCheck->isChecked() || (!deltas && CH0LTACheck->isChecked());
}

void TScopeForm::ShowDeltas(bool On) {
    CurValCategory->SetCaption(On ? "Deltas" : "Count");
    LTACategory->setVisible(!On);
    RescaleScopeButton->setEnabled(!On);
    if (On) {
        SetYRange(-600, 600);
        MinEdit->setText("-600");
        MaxEdit->setText("600");
    } else {
        RescaleScopeButton->click();
    }
}

void TScopeForm::SetYRange(double Min, double Max) {
    ScopeGraph->yAxis->setRange(Min, Max);
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

void TScopeForm::RescaleScopeButtonClick() {
    double newMin = 900, newMax = 1700;
    if (!FHost || !FHost->ScopeDeltaOnly()) {
        // The extremes of both channels' counts and LTA; the minimum starts at the first value.
        std::optional<int> lo, hi;
        for (int channel : {0, 1})
            for (int value : {FHost ? FHost->ScopeChannelCount(channel) : 0,
                              FHost ? FHost->ScopeChannelLTA(channel) : 0}) {
                lo = std::min(lo.value_or(value), value);
                hi = std::max(hi.value_or(0), value);
            }
        newMin = std::ceil(*lo * 0.85);
        newMax = std::ceil(*hi * 1.7);
    }
    if (newMin >= newMax) newMax = newMin + 1; // all zero: still a range to show
    SetYRange(newMin, newMax);
    MaxEdit->setText(QString::number(qRound(newMax)));
    MinEdit->setText(QString::number(qRound(newMin)));
}

void TScopeForm::SetMaxButtonClick() {
    const QCPRange range = ScopeGraph->yAxis->range();
    const std::optional<int> value = WholeNumber(MaxEdit->text());
    if (value && *value > range.lower) {
        SetYRange(range.lower, *value);
        return;
    }
    if (FDialogs)
        FDialogs->Message(QMessageBox::Critical,
                          value ? "Maximum value must be larger than the minimum value!"
                                : "Invalid value entered! (no decimal values allowed)",
                          QMessageBox::Ok);
    MaxEdit->setText(QString::number(qRound(range.upper)));
}

void TScopeForm::SetMinButtonClick() {
    const QCPRange range = ScopeGraph->yAxis->range();
    const std::optional<int> value = WholeNumber(MinEdit->text());
    if (value && *value < range.upper) {
        SetYRange(*value, range.upper);
        return;
    }
    if (FDialogs)
        FDialogs->Message(QMessageBox::Critical,
                          value ? "Minimum value must be smaller than the maximum value!"
                                : "Invalid value entered! (no decimal values allowed)",
                          QMessageBox::Ok);
    MinEdit->setText(QString::number(qRound(range.lower)));
}

void TScopeForm::YIncButtonClick() {
    // A step of 0 or less would never finish labelling the axis: refused like one above 1000.
    const int step = YIncSpin->value();
    if (step < 1 || step > 1000) return;
    qSharedPointerCast<QCPAxisTickerFixed>(ScopeGraph->yAxis->ticker())->setTickStep(step);
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

void TScopeForm::SetXRangeButtonClick() {
    const int range = XRangeSpin->value();
    if (range < 100 || range > 1500) return;
    FXRange = range;
    ApplyXRange();
}

void TScopeForm::ResetScopeButtonClick() {
    if (!FHost || !FHost->ScopeStreaming()) ApplyXRange();
}

void TScopeForm::SettingsButtonClick() {
    const bool show = ScopeCategoryPanel->width() <= 10;
    ScopeCategoryPanel->setFixedWidth(show ? 201 : 0);
    SettingsButton->setIcon(QIcon(show ? ":/images/Arrow_Right.svg" : ":/images/Arrow_Left.svg"));
}
