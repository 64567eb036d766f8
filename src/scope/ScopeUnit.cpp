#include "ScopeUnit.h"

#include "CategoryPanel.h"
#include "ChartPicture.h"
#include "IniFile.h"
#include "ModalDialogs.h"
#include "SafeFile.h"
#include "ScopeExport.h"
#include "ScopeReadings.h"
#include "WindowPlacement.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int RefreshMs = 100;
constexpr int ZoomThreshold = 16; // pixels a zoom drag must span both ways
constexpr int ZoomSteps = 8;
const QString Section = QStringLiteral("ScopeForm");
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

// A colour as the settings file keeps it: blue x 65536 + green x 256 + red.
int ColourNumber(const QColor& Colour) {
    return Colour.blue() << 16 | Colour.green() << 8 | Colour.red();
}
QColor NumberColour(int Number) {
    return QColor(Number & 0xFF, (Number >> 8) & 0xFF, (Number >> 16) & 0xFF);
}

void PaintShape(QLabel* Shape, const QColor& Colour) {
    Shape->setStyleSheet(QStringLiteral("background: %1; border: 1px solid #404040; "
                                        "border-radius: 3px;")
                             .arg(Colour.name()));
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
    ScopeGraph->installEventFilter(this); // its handling needs the settings panel
    auto* chart = new QVBoxLayout;
    chart->setSpacing(0);
    chart->addWidget(ScopeGraph, 1);
    chart->addWidget(ReadingsStrip);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(chart, 1);
    layout->addWidget(SettingsButton);
    layout->addWidget(ScopeCategoryPanel);

    UpdateTimer = new QTimer(this);
    UpdateTimer->setObjectName("UpdateTimer");
    UpdateTimer->setInterval(RefreshMs);
    // Exactly a whole number of display frames after the refresh that restarted it.
    UpdateTimer->setTimerType(Qt::PreciseTimer);
    connect(UpdateTimer, &QTimer::timeout, this, &TScopeForm::UpdateTimerTimer);

    WindowPlacement::PlaceInWorkArea(*this, QSize(909, 514));
}

TScopeForm::~TScopeForm() {
    UpdateTimer->stop();
    FNoUpdate = true;
    SaveSettings();
}

void TScopeForm::Bind(TScopeHost& Host, TModalDialogs& Dialogs) {
    FHost = &Host;
    FDialogs = &Dialogs;
}

namespace {

QColor MarkColour(TMarkKind Kind) {
    switch (Kind) {
    case TMarkKind::Write:
        return QColor(200, 110, 0);
    case TMarkKind::Power:
        return QColor(130, 40, 170);
    case TMarkKind::Flag:
        return QColor(0, 130, 130);
    case TMarkKind::User:
        break;
    }
    return QColor(30, 130, 30);
}

constexpr int MarkerLabelChars = 24;
constexpr std::size_t MarkerLabelRows = 3;
// The settings file's keys of whether each kind of marker is shown.
const char* const MarkKindKeys[MarkKindCount] = {"WriteMarks", "PowerMarks", "FlagMarks",
                                                 "UserMarks"};
constexpr double WheelZoomFactor = 0.85; // of the range per notch towards the pointer
constexpr int MarkerHoverPixels = 4;

// What the scope draws over its traces from its own state, inside the plot, on whole pixels.
class TScopeOverlay : public QCPLayerable {
public:
    TScopeOverlay(QCustomPlot* Plot, const TScopeForm& Scope)
        : QCPLayerable(Plot, "main"), FScope(Scope) {}

protected:
    void applyDefaultAntialiasingHint(QCPPainter* Painter) const override {
        applyAntialiasingHint(Painter, false, QCP::aeOther);
    }
    QRect clipRect() const override { return parentPlot()->axisRect()->rect(); }

    const TScopeForm& FScope;
};

// The markers as one layerable that draws only those in the visible X range: a line and a
// short label each. Labels go in up to three rows at the top; one that fits in none is left
// out (hovering tells). The user's marks and the writes are labelled first, since they say
// what was done; the flag changes that follow from them last.
class TMarkerLayer : public TScopeOverlay {
public:
    using TScopeOverlay::TScopeOverlay;

protected:
    void draw(QCPPainter* Painter) override {
        const QCPAxis* x = parentPlot()->xAxis;
        const QRect area = parentPlot()->axisRect()->rect();
        const TScopeMarkers& markers = FScope.Markers();
        const auto [first, last] = markers.Between(x->range().lower, x->range().upper);
        for (std::size_t i = first; i < last; ++i) {
            const TScopeMarker& m = markers[i];
            if (!FScope.MarkersShown(m.Kind)) continue;
            const double px = x->coordToPixel(m.X);
            Painter->setPen(QPen(MarkColour(m.Kind).lighter(150), 1));
            Painter->drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
        }
        const QFontMetrics metrics(Painter->font());
        const int labelWidth = metrics.averageCharWidth() * MarkerLabelChars;
        std::array<std::vector<std::pair<double, double>>, MarkerLabelRows> taken;
        for (TMarkKind kind :
             {TMarkKind::User, TMarkKind::Write, TMarkKind::Power, TMarkKind::Flag}) {
            if (!FScope.MarkersShown(kind)) continue;
            Painter->setPen(MarkColour(kind));
            for (std::size_t i = first; i < last; ++i) {
                const TScopeMarker& m = markers[i];
                if (m.Kind != kind) continue;
                const QString label = metrics.elidedText(m.Text, Qt::ElideRight, labelWidth);
                // Beside its line with a gap, on the left where the plot's right edge would
                // cut it off: the newest marks are at that edge while the chart scrolls.
                const double line = x->coordToPixel(m.X);
                const double width = metrics.horizontalAdvance(label);
                const bool left = line + 3 + width > area.right();
                const double text = left ? line - 3 - width : line + 3;
                const double from = left ? text - 4 : text; // with a gap on the far side
                const double to = from + width + 4;
                for (std::size_t row = 0; row < taken.size(); ++row) {
                    const bool free = std::none_of(taken[row].begin(), taken[row].end(),
                                                   [&](const std::pair<double, double>& T) {
                                                       return from < T.second && T.first < to;
                                                   });
                    if (!free) continue;
                    taken[row].emplace_back(from, to);
                    Painter->drawText(QPointF(text, area.top() + metrics.ascent() + 2 +
                                                        double(row) * metrics.lineSpacing()),
                                      label);
                    break;
                }
            }
        }
    }
};

// The two cursors: a dashed line each, named at its foot.
class TCursorLayer : public TScopeOverlay {
public:
    using TScopeOverlay::TScopeOverlay;

protected:
    void draw(QCPPainter* Painter) override {
        const QRect area = parentPlot()->axisRect()->rect();
        QFont bold = Painter->font();
        bold.setBold(true);
        Painter->setFont(bold);
        for (int i = 0; i < 2; ++i) {
            if (!FScope.Cursors()[size_t(i)]) continue;
            const double px = parentPlot()->xAxis->coordToPixel(*FScope.Cursors()[size_t(i)]);
            Painter->setPen(QPen(Qt::black, 1, Qt::DashLine));
            Painter->drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
            Painter->drawText(QPointF(px + 3, area.bottom() - 4), i == 0 ? "A" : "B");
        }
    }
};

// A trace whose legend icon shows its points' shape large enough to be told apart: a square
// for counts, a row of dots for the LTA (a single pixel would not show).
class TScopeTrace : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    void drawLegendIcon(QCPPainter* Painter, const QRectF& Rect) const override {
        const QColor colour = pen().color();
        Painter->setPen(QPen(colour, 1));
        Painter->setBrush(colour);
        const QPointF c = Rect.center();
        if (scatterStyle().shape() == QCPScatterStyle::ssSquare)
            Painter->drawRect(QRectF(c.x() - 3, c.y() - 3, 6, 6));
        else
            for (int i = -1; i <= 1; ++i)
                Painter->drawEllipse(QPointF(c.x() + i * 6, c.y()), 1.2, 1.2);
    }
};

// The whole sample number nearest to X, kept far from the ends of an int however far the
// view was panned.
int SampleNumber(double X) {
    constexpr double Limit = 1e9;
    return int(std::lround(std::clamp(X, -Limit, Limit)));
}

QString TraceName(int Slot, bool Deltas) {
    const bool count = Slot < LTASlot;
    return QStringLiteral("CH%1 %2")
        .arg((count ? Slot : Slot - LTASlot) + 1)
        .arg(count ? (Deltas ? "Delta" : "Count") : "LTA");
}

} // namespace

void TScopeForm::CreateChart() {
    ScopeGraph = new QCustomPlot(this);
    ScopeGraph->setObjectName("ScopeGraph");
    ScopeGraph->setCursor(Qt::CrossCursor);
    // The legend names the traces with points, in the plot's bottom right corner.
    ScopeGraph->setAutoAddPlottableToLegend(false);
    ScopeGraph->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    ScopeGraph->legend->setBrush(QColor(255, 255, 255, 210));
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
    ScopeGraph->xAxis->setLabel("Sample");
    ScopeGraph->yAxis->setLabel("Counts");
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
        QCPGraph* series = new TScopeTrace(ScopeGraph->xAxis, ScopeGraph->yAxis);
        series->setLineStyle(QCPGraph::lsNone);
        const bool count = slot < LTASlot;
        series->setName(TraceName(slot, false));
        series->setScatterStyle(QCPScatterStyle(
            count ? QCPScatterStyle::ssSquare : QCPScatterStyle::ssDot, count ? 2 : 1));
        series->setPen(QPen(ChannelColour, 1));
        // Points on whole pixels: an antialiased one-pixel dot is not drawn at all.
        series->setAntialiasedScatters(false);
        FSeries[size_t(slot)] = series;
    }
    new TMarkerLayer(ScopeGraph, *this);
    new TCursorLayer(ScopeGraph, *this);
    connect(ScopeGraph, &QCustomPlot::beforeReplot, this, [this] {
        UpdateLegend();
        UpdateReadings();
    });
    // One paint buffer, since every paint blends each buffer onto the widget: the overlay
    // (the zoom rectangle, drawn only while dragging) is not buffered on its own.
    ScopeGraph->layer("overlay")->setMode(QCPLayer::lmLogical);
    // Left-drag: zoom by rectangle (or undo, leftwards); right-drag: pan.
    ScopeGraph->setSelectionRectMode(QCP::srmCustom);
    ScopeGraph->selectionRect()->setBrush(QColor(0xA8, 0xFF, 0xD3, 128));
    ScopeGraph->setMouseTracking(true);

    CoordinatesLabel = new QLabel(ScopeGraph);
    CoordinatesLabel->setObjectName("CoordinatesLabel");
    QFont bold = CoordinatesLabel->font();
    bold.setBold(true);
    CoordinatesLabel->setFont(bold);
    CoordinatesLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    CoordinatesLabel->hide();

    // The strip's height follows the lines only, so that a new text does not resize the chart.
    // The label stands in the strip without a layout: a new text, at every refresh, then asks
    // the strip alone and not the whole window to lay out again.
    ReadingsStrip = new QWidget(this);
    ReadingsStrip->setObjectName("ReadingsStrip");
    ReadingsStrip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    ReadingsStrip->installEventFilter(this);
    ReadingsStrip->hide();
    ReadingsLabel = new QLabel(ReadingsStrip);
    ReadingsLabel->setObjectName("ReadingsLabel");
    ReadingsLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Selectable text is laid out as a document at every paint; the figures change at every
    // refresh, so the label becomes selectable only while the pointer is over it.
    ReadingsLabel->installEventFilter(this);
    ReadingsLabel->setContentsMargins(6, 2, 6, 2);
    ReadingsLabel->setAutoFillBackground(true);
    QPalette white = ReadingsLabel->palette();
    white.setColor(QPalette::Window, Qt::white);
    ReadingsLabel->setPalette(white);
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
    ScopeCategoryPanel->setFixedWidth(FCatPanelWidth);

    CurValCategory = new TCategoryPanel("Count");
    CurValCategory->setObjectName("CurValCategory");
    CH0CurCheck = BoldCheck("CH0CurCheck", "CH1", true, CurValCategory->Content());
    CH0PTShape = new QLabel(CurValCategory->Content());
    CH0PTShape->setObjectName("CH0PTShape");
    CH0PTShape->setFixedSize(31, 26);
    CH0PTShape->setScaledContents(true);
    ColorShape0 = new QLabel(CurValCategory->Content());
    ColorShape0->setObjectName("ColorShape0");
    auto* count = new QHBoxLayout(CurValCategory->Content());
    count->addWidget(ColorShape0);
    count->addWidget(CH0CurCheck);
    count->addWidget(CH0PTShape);
    count->addStretch();

    LTACategory = new TCategoryPanel("Long Term Averages (LTA)");
    LTACategory->setObjectName("LTACategory");
    CH0LTACheck = BoldCheck("CH0LTACheck", "CH1", false, LTACategory->Content());
    LTAColShape0 = new QLabel(LTACategory->Content());
    LTAColShape0->setObjectName("LTAColShape0");
    auto* lta = new QHBoxLayout(LTACategory->Content());
    lta->addWidget(LTAColShape0);
    lta->addWidget(CH0LTACheck);
    lta->addStretch();
    for (QLabel* shape : {ColorShape0, LTAColShape0}) {
        shape->setFixedSize(13, 13);
        shape->setCursor(Qt::PointingHandCursor);
        shape->installEventFilter(this);
    }
    ApplySeriesColours();
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
    auto* coordinates = new QGroupBox("Show Coordinates", SetupCategory->Content());
    coordinates->setObjectName("ScopeCoordGroup");
    XCoordCheck = new QCheckBox("X Coordinates", coordinates);
    XCoordCheck->setObjectName("XCoordCheck");
    YCoordCheck = new QCheckBox("Y Coordinates", coordinates);
    YCoordCheck->setObjectName("YCoordCheck");
    auto* coordinateBoxes = new QVBoxLayout(coordinates);
    for (QCheckBox* box : {XCoordCheck, YCoordCheck}) {
        coordinateBoxes->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TScopeForm::CoordCheckClick);
    }
    auto* setup = new QVBoxLayout(SetupCategory->Content());
    setup->setContentsMargins(4, 4, 4, 4);
    form->setContentsMargins(4, 4, 4, 4);
    form->setHorizontalSpacing(4);
    setup->addWidget(scope);
    setup->addWidget(ResetScopeButton);
    setup->addWidget(RescaleScopeButton);
    setup->addWidget(coordinates);
    setup->addWidget(BarGraphButton);
    ExportDataButton = NamedButton("ExportDataButton", "Export data...", SetupCategory->Content());
    SavePictureButton =
        NamedButton("SavePictureButton", "Save picture...", SetupCategory->Content());
    setup->addWidget(CreateReadingControls(SetupCategory->Content()));
    setup->addWidget(CreateMarkerControls(SetupCategory->Content()));
    setup->addWidget(ExportDataButton);
    setup->addWidget(SavePictureButton);
    connect(ExportDataButton, &QPushButton::clicked, this, &TScopeForm::ExportDataClick);
    connect(SavePictureButton, &QPushButton::clicked, this, &TScopeForm::SavePictureClick);

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

    for (TCategoryPanel* panel : {CurValCategory, LTACategory, SetupCategory}) {
        ScopeCategoryPanel->AddPanel(panel);
        connect(panel, &TCategoryPanel::CollapsedChanged, this,
                &TScopeForm::CheckGategoryPanelSize);
    }
}

void TScopeForm::AddXY(int SeriesNr, int X, int Y) {
    FBuffers.AddXY(SeriesNr, X, Y);
}

void TScopeForm::UpdateTimerTimer() {
    if (!FrameDueSoon()) Refresh();
}

void TScopeForm::FrameShown(int FrameMs) {
    FFrameMs = FrameMs;
    FSinceFrame.start();
    // The frame nearest the refresh's time takes it.
    if (UpdateTimer->isActive() &&
        (!FSinceRefresh.isValid() || FSinceRefresh.elapsed() >= RefreshMs - FrameMs / 2))
        Refresh();
}

// Whether a display frame comes within half a frame: that frame then refreshes.
bool TScopeForm::FrameDueSoon() const {
    if (!FSinceFrame.isValid()) return false;
    const qint64 since = FSinceFrame.elapsed();
    return since >= FFrameMs / 2 && since < 2 * FFrameMs; // later, the frames have stopped
}

void TScopeForm::Refresh() {
    if (FNoUpdate || !FHost || !FHost->ScopeStreaming()) return;
    // The timer's next refresh counts from this one, which puts it on the frames' grid.
    FSinceRefresh.start();
    if (UpdateTimer->isActive()) UpdateTimer->start();
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
    FMarkers.DropBefore(FXPos - TScopeBuffers::Capacity); // with the points they belong to
    QCPAxis* x = ScopeGraph->xAxis;
    if (FXPos > x->range().upper) x->moveRange(FXPos - FPrevXPos);
    if (isVisible()) ScopeGraph->replot(QCustomPlot::rpQueuedReplot); // else when shown
    FPrevXPos = FXPos;
}

QWidget* TScopeForm::CreateMarkerControls(QWidget* Parent) {
    auto* group = new QGroupBox("Markers", Parent);
    group->setObjectName("MarkersGroup");
    auto* layout = new QVBoxLayout(group);
    for (int kind = 0; kind < MarkKindCount; ++kind) {
        QCheckBox* box = new QCheckBox(MarkKindName(TMarkKind(kind)), group);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this,
                [this] { ScopeGraph->replot(QCustomPlot::rpQueuedReplot); });
        layout->addWidget(box);
        FMarkerKindBoxes[size_t(kind)] = box;
    }
    MarkerTextEdit = new QLineEdit(group);
    MarkerTextEdit->setObjectName("MarkerTextEdit");
    MarkerTextEdit->setPlaceholderText("Marker text (optional)");
    MarkerTextEdit->setMaxLength(60);
    AddMarkerButton = NamedButton("AddMarkerButton", "Add Marker (M)", group);
    layout->addWidget(MarkerTextEdit);
    layout->addWidget(AddMarkerButton);
    connect(AddMarkerButton, &QPushButton::clicked, this, &TScopeForm::AddMarkerClick);
    connect(MarkerTextEdit, &QLineEdit::returnPressed, this, &TScopeForm::AddMarkerClick);
    return group;
}

QWidget* TScopeForm::CreateReadingControls(QWidget* Parent) {
    auto* group = new QGroupBox("Readings", Parent);
    group->setObjectName("ReadingsGroup");
    LegendCheck = new QCheckBox("Legend", group);
    LegendCheck->setObjectName("LegendCheck");
    StatisticsCheck = new QCheckBox("Statistics of the view", group);
    StatisticsCheck->setObjectName("StatisticsCheck");
    auto* hint = new QLabel("Cursors: keys A and B, or drag from the X axis; "
                            "\u2190 \u2192 move, Del removes",
                            group);
    hint->setWordWrap(true);
    auto* layout = new QVBoxLayout(group);
    for (QCheckBox* box : {LegendCheck, StatisticsCheck}) {
        box->setChecked(true);
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this,
                [this] { ScopeGraph->replot(QCustomPlot::rpQueuedReplot); });
    }
    layout->addWidget(hint);
    return group;
}

std::vector<int> TScopeForm::TracesWithPoints() const {
    std::vector<int> withPoints;
    for (int slot = 0; slot < TScopeBuffers::SlotCount; ++slot)
        if (!FSeries[size_t(slot)]->data()->isEmpty()) withPoints.push_back(slot);
    return withPoints;
}

void TScopeForm::UpdateLegend() {
    QCPLegend& legend = *ScopeGraph->legend;
    std::vector<int> withPoints = TracesWithPoints();
    if (!LegendCheck->isChecked()) withPoints.clear();
    legend.setVisible(!withPoints.empty());
    if (withPoints == FLegendSlots) return;
    FLegendSlots = withPoints;
    legend.clearItems();
    for (int slot : withPoints)
        FSeries[size_t(slot)]->addToLegend();
}

void TScopeForm::UpdateReadings() {
    QStringList lines;
    const std::vector<int> traces = TracesWithPoints();
    if (StatisticsCheck->isChecked()) {
        const QCPRange view = ScopeGraph->xAxis->range();
        for (int slot : traces) {
            const QCPGraph& series = *FSeries[size_t(slot)];
            FVisibleValues.clear();
            const auto end = series.data()->findEnd(view.upper, false);
            for (auto it = series.data()->findBegin(view.lower, false); it != end; ++it)
                FVisibleValues.push_back(qRound(it->value));
            lines << ScopeReadings::StatisticsLine(series.name(), Describe(FVisibleValues));
        }
    }
    std::vector<ScopeReadings::TCursorValues> atCursors;
    if (FCursors[0] || FCursors[1])
        for (int slot : traces) {
            const QCPGraph& series = *FSeries[size_t(slot)];
            ScopeReadings::TCursorValues values{series.name(), {}};
            for (std::size_t i = 0; i < 2; ++i) {
                if (!FCursors[i]) continue;
                const auto point = series.data()->findBegin(*FCursors[i], false);
                if (point != series.data()->constEnd() && point->key == *FCursors[i])
                    values.At[i] = qRound(point->value);
            }
            atCursors.push_back(values);
        }
    lines << ScopeReadings::CursorLines(FCursors, atCursors);
    const QString text = lines.join('\n');
    if (text == ReadingsLabel->text()) return;
    ReadingsLabel->setText(text);
    const QMargins margins = ReadingsLabel->contentsMargins();
    ReadingsStrip->setFixedHeight(int(lines.size()) * ReadingsLabel->fontMetrics().lineSpacing() +
                                  margins.top() + margins.bottom() + 2);
    ReadingsStrip->setVisible(!lines.isEmpty());
}

void TScopeForm::SetCursor(int Index, std::optional<int> X) {
    if (Index < 0 || Index > 1) return;
    FCursors[size_t(Index)] = X;
    if (X) FLastCursor = Index;
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

std::optional<int> TScopeForm::CursorAt(QPoint Pixel) const {
    for (int i = 0; i < 2; ++i)
        if (FCursors[size_t(i)] && std::abs(ScopeGraph->xAxis->coordToPixel(*FCursors[size_t(i)]) -
                                            Pixel.x()) <= MarkerHoverPixels)
            return i;
    return std::nullopt;
}

bool TScopeForm::CursorMouse(QEvent::Type Type, QPoint Pixel) {
    const QRect area = ScopeGraph->axisRect()->rect();
    const int sample = SampleNumber(ScopeGraph->xAxis->pixelToCoord(Pixel.x()));
    switch (Type) {
    case QEvent::MouseButtonPress: {
        // On a cursor line it is moved; on the X axis under the plot a cursor is placed: the
        // first one missing, else the nearer one.
        FDraggedCursor = CursorAt(Pixel);
        const bool onAxis =
            Pixel.y() > area.bottom() && Pixel.x() >= area.left() && Pixel.x() <= area.right();
        if (!FDraggedCursor && onAxis) {
            if (!FCursors[0] || !FCursors[1])
                FDraggedCursor = FCursors[0] ? 1 : 0;
            else
                FDraggedCursor =
                    std::abs(*FCursors[0] - sample) <= std::abs(*FCursors[1] - sample) ? 0 : 1;
            SetCursor(*FDraggedCursor, sample);
        }
        return FDraggedCursor.has_value();
    }
    case QEvent::MouseMove:
        if (!FDraggedCursor) return false;
        SetCursor(*FDraggedCursor, sample);
        return true;
    case QEvent::MouseButtonRelease:
        return std::exchange(FDraggedCursor, std::nullopt).has_value();
    default:
        return false;
    }
}

bool TScopeForm::CursorKey(const QKeyEvent& Event) {
    const Qt::KeyboardModifiers mods = Event.modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier && mods != Qt::ShiftModifier) return false;
    switch (Event.key()) {
    case Qt::Key_A:
    case Qt::Key_B: {
        // At the pointer's sample, or in the middle of the view when the pointer is elsewhere.
        const QPoint pointer = ScopeGraph->mapFromGlobal(QCursor::pos());
        const double x = ScopeGraph->axisRect()->rect().contains(pointer)
                             ? ScopeGraph->xAxis->pixelToCoord(pointer.x())
                             : ScopeGraph->xAxis->range().center();
        SetCursor(Event.key() == Qt::Key_A ? 0 : 1, SampleNumber(x));
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        std::optional<int>& cursor = FCursors[size_t(FLastCursor)];
        if (!cursor) return false;
        const int step =
            (mods == Qt::ShiftModifier ? 10 : 1) * (Event.key() == Qt::Key_Left ? -1 : 1);
        SetCursor(FLastCursor, SampleNumber(double(*cursor) + step));
        return true;
    }
    case Qt::Key_Delete:
        if (!FCursors[0] && !FCursors[1]) return false;
        FCursors = {};
        ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
        return true;
    default:
        return false;
    }
}

void TScopeForm::AddMarker(TMarkKind Kind, const QString& Text) {
    FMarkers.Add({FXPos, Kind, Text});
    // While the chart refreshes, its next tick shows the mark.
    if (isVisible() && !UpdateTimer->isActive()) ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

bool TScopeForm::MarkersShown(TMarkKind Kind) const {
    return FMarkerKindBoxes[size_t(Kind)]->isChecked();
}

void TScopeForm::AddMarkerClick() {
    const QString text = MarkerTextEdit->text().trimmed();
    MarkerTextEdit->clear();
    if (FHost) FHost->ScopeUserMark(text.isEmpty() ? QStringLiteral("Mark") : text);
}

void TScopeForm::keyPressEvent(QKeyEvent* Event) {
    // Letters typed into an edit are its own.
    const bool typing = qobject_cast<QLineEdit*>(focusWidget());
    if (Event->key() == Qt::Key_M && Event->modifiers() == Qt::NoModifier && !typing) {
        AddMarkerClick();
        return;
    }
    if (!typing && CursorKey(*Event)) return;
    QWidget::keyPressEvent(Event);
}

QString TScopeForm::MarkerAt(QPoint Pixel) const {
    const QCPAxis* x = ScopeGraph->xAxis;
    const double from = x->pixelToCoord(Pixel.x() - MarkerHoverPixels);
    const double to = x->pixelToCoord(Pixel.x() + MarkerHoverPixels);
    const auto [first, last] = FMarkers.Between(std::min(from, to), std::max(from, to));
    QStringList texts;
    for (std::size_t i = first; i < last; ++i)
        if (MarkersShown(FMarkers[i].Kind))
            texts << QStringLiteral("%1 (sample %2)").arg(FMarkers[i].Text).arg(FMarkers[i].X);
    return texts.join('\n');
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
    SetTraceBoxEnabled(*CH0CurCheck, FEnCurChs, Enabled);
}

void TScopeForm::SetLTACHs(bool Enabled) {
    SetTraceBoxEnabled(*CH0LTACheck, FEnLTAChs, Enabled);
}

void TScopeForm::SetTraceBoxEnabled(QCheckBox& Box, bool& Remembered, bool Enabled) {
    // A disabled box shows unchecked and gets its own state back when enabled again.
    if (!Enabled && Box.isEnabled()) {
        Remembered = Box.isChecked();
        Box.setEnabled(false);
        Box.setChecked(false);
    } else if (Enabled) {
        Box.setChecked(Remembered);
        Box.setEnabled(true);
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
    for (int slot = 0; slot < LTASlot; ++slot)
        FSeries[size_t(slot)]->setName(TraceName(slot, On));
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

void TScopeForm::AnimateZoom(const QCPRange& X, const QCPRange& Y) {
    // Eight steps from the current scales to the rectangle's; the last is set at once, so
    // that what follows the zoom sees the new scales.
    const QCPRange fromX = ScopeGraph->xAxis->range();
    const QCPRange fromY = ScopeGraph->yAxis->range();
    ScopeGraph->xAxis->setRange(X);
    ScopeGraph->yAxis->setRange(Y);
    auto* zoom = new QVariantAnimation(ScopeGraph);
    zoom->setDuration(ZoomSteps * 15);
    zoom->setStartValue(0.0);
    zoom->setEndValue(1.0);
    const auto between = [](const QCPRange& A, const QCPRange& B, double T) {
        return QCPRange(A.lower + (B.lower - A.lower) * T, A.upper + (B.upper - A.upper) * T);
    };
    connect(zoom, &QVariantAnimation::valueChanged, ScopeGraph, [=, this](const QVariant& V) {
        const double t = std::max(std::ceil(V.toDouble() * ZoomSteps), 1.0) / ZoomSteps;
        if (t >= 1.0) return; // the end is set already
        // The X axis of a streaming scope is not animated: it follows the data.
        if (!(FHost && FHost->ScopeStreaming())) ScopeGraph->xAxis->setRange(between(fromX, X, t));
        ScopeGraph->yAxis->setRange(between(fromY, Y, t));
        ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
    });
    connect(zoom, &QVariantAnimation::finished, ScopeGraph, [=, this] {
        if (!(FHost && FHost->ScopeStreaming()))
            ScopeGraph->xAxis->setRange(X);
        else
            ApplyXRange();
        ScopeGraph->yAxis->setRange(Y);
        ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
    });
    zoom->start(QAbstractAnimation::DeleteWhenStopped);
}

void TScopeForm::UndoZoom() {
    if (FSavedScales) {
        const std::array<double, 4>& s = *FSavedScales;
        ScopeGraph->xAxis->setRange(s[0], s[1]);
        ScopeGraph->yAxis->setRange(s[2], s[3]);
        FSavedScales.reset();
    }
    if (FHost && FHost->ScopeStreaming()) {
        ApplyXRange();
    } else if (FZoomed) {
        FZoomed = false;
        ScopeGraph->xAxis->setRange(FZoomX, FZoomX + FXRange);
    }
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

void TScopeForm::ResetScopeButtonClick() {
    UndoZoom();
    if (!FHost || !FHost->ScopeStreaming()) ApplyXRange();
}

void TScopeForm::SettingsButtonClick() {
    const bool show = ScopeCategoryPanel->width() <= 10;
    for (TCategoryPanel* group : {CurValCategory, SetupCategory})
        group->setVisible(show);
    LTACategory->setVisible(show && !(FHost && FHost->ScopeDeltaOnly()));
    SettingsButton->setIcon(QIcon(show ? ":/images/Arrow_Right.svg" : ":/images/Arrow_Left.svg"));
    // A 100 ms slide in from the right, or out to it.
    auto* slide = new QVariantAnimation(ScopeCategoryPanel);
    slide->setDuration(100);
    slide->setStartValue(show ? 0 : ScopeCategoryPanel->width());
    slide->setEndValue(show ? FCatPanelWidth : 0);
    connect(slide, &QVariantAnimation::valueChanged, ScopeCategoryPanel,
            [this](const QVariant& Width) { ScopeCategoryPanel->setFixedWidth(Width.toInt()); });
    if (show)
        connect(slide, &QVariantAnimation::finished, this, &TScopeForm::CheckGategoryPanelSize);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void TScopeForm::CheckGategoryPanelSize() {
    // The groups' heights with the spacing between them: what the panel's content asks for
    // (a hidden group asks for nothing).
    const int needed = ScopeCategoryPanel->widget()->sizeHint().height();
    const bool scrolls = needed > ScopeCategoryPanel->height();
    ScopeCategoryPanel->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn
                                                           : Qt::ScrollBarAlwaysOff);
    const int target = FCatPanelWidth + (scrolls ? 17 : 0);
    // A hidden panel stays hidden.
    if (ScopeCategoryPanel->width() != target && ScopeCategoryPanel->width() != 0)
        ScopeCategoryPanel->setFixedWidth(target);
}

void TScopeForm::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    // A window larger than the work area by more than 10 pixels is fitted to it.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QRect outer = frameGeometry();
        if (!area.isEmpty() &&
            (area.height() < outer.height() - 10 || area.width() < outer.width() - 10))
            setGeometry(area.adjusted(0, 0, width() - outer.width(), height() - outer.height()));
    }
    CheckGategoryPanelSize();
}

void TScopeForm::closeEvent(QCloseEvent* Event) {
    FRunPos = pos(); // the next showing puts it back here
    QWidget::closeEvent(Event);
}

void TScopeForm::ApplySeriesColours() {
    for (int slot : {0, 8})
        FSeries[size_t(slot)]->setPen(QPen(FScopeColors[0], 1));
    for (int slot : {1, 9})
        FSeries[size_t(slot)]->setPen(QPen(FScopeColors[1], 1));
    for (QLabel* shape : {ColorShape0, LTAColShape0})
        PaintShape(shape, FScopeColors[0]);
    if (isVisible()) ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

void TScopeForm::PickColour() {
    if (!FDialogs) return;
    const QColor chosen = FDialogs->ChooseColour(FScopeColors[0]);
    if (!chosen.isValid()) return;
    FScopeColors[0] = chosen;
    ApplySeriesColours();
}

void TScopeForm::CoordCheckClick() {
    const bool wanted = XCoordCheck->isChecked() || YCoordCheck->isChecked();
    if (!wanted) {
        CoordinatesLabel->hide();
    } else if (CoordinatesLabel->isHidden()) {
        // Off the chart until the pointer moves over it.
        CoordinatesLabel->move(-500, CoordinatesLabel->y());
        CoordinatesLabel->show();
    }
}

void TScopeForm::MoveCoordinatesLabel(QPoint At) {
    const bool x = XCoordCheck->isChecked();
    const bool y = YCoordCheck->isChecked();
    if (!x && !y) return;
    // Whole numbers, halves to even.
    const auto value = [](double v) { return QString::number(qint64(std::nearbyint(v))); };
    const QString xText = "X: " + value(ScopeGraph->xAxis->pixelToCoord(At.x()));
    const QString yText = "Y: " + value(ScopeGraph->yAxis->pixelToCoord(At.y()));
    QString text = x && y ? xText + "\n " + yText : x ? xText : yText;
    if (const QString nearest = NearestPointText(At); !nearest.isEmpty()) text += "\n " + nearest;
    CoordinatesLabel->setText(text);
    CoordinatesLabel->adjustSize();
    CoordinatesLabel->move(At.x() + 20, At.y() - 4);
}

QString TScopeForm::NearestPointText(QPoint Pixel) const {
    constexpr double Reach = 12; // pixels
    const QCPAxis& x = *ScopeGraph->xAxis;
    const QCPAxis& y = *ScopeGraph->yAxis;
    const double from = x.pixelToCoord(Pixel.x() - Reach);
    const double to = x.pixelToCoord(Pixel.x() + Reach);
    double best = Reach * Reach;
    QString text;
    for (int slot : TracesWithPoints()) {
        const QCPGraph& series = *FSeries[size_t(slot)];
        const auto end = series.data()->findEnd(std::max(from, to), false);
        for (auto it = series.data()->findBegin(std::min(from, to), false); it != end; ++it) {
            const double dx = x.coordToPixel(it->key) - Pixel.x();
            const double dy = y.coordToPixel(it->value) - Pixel.y();
            if (dx * dx + dy * dy > best) continue;
            best = dx * dx + dy * dy;
            text = QStringLiteral("%1: %2 (sample %3)")
                       .arg(series.name())
                       .arg(qRound(it->value))
                       .arg(qint64(it->key));
        }
    }
    return text;
}

bool TScopeForm::eventFilter(QObject* Watched, QEvent* Event) {
    if ((Watched == ColorShape0 || Watched == LTAColShape0) &&
        Event->type() == QEvent::MouseButtonRelease) {
        PickColour();
        return true;
    }
    if (Watched == ReadingsStrip && Event->type() == QEvent::Resize)
        ReadingsLabel->setGeometry(ReadingsStrip->rect());
    if (Watched == ReadingsLabel) {
        if (Event->type() == QEvent::Enter)
            ReadingsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        else if (Event->type() == QEvent::Leave && !ReadingsLabel->hasSelectedText())
            ReadingsLabel->setTextInteractionFlags(Qt::NoTextInteraction);
        return false;
    }
    if (Watched != ScopeGraph) return false;
    const bool coordinates = XCoordCheck->isChecked() || YCoordCheck->isChecked();
    switch (Event->type()) {
    case QEvent::Enter:
        if (coordinates) CoordinatesLabel->show();
        break;
    case QEvent::Leave:
        CoordinatesLabel->hide();
        break;
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(Event);
        const QPoint at = mouse->position().toPoint();
        if (CursorMouse(Event->type(), at)) {
            MoveCoordinatesLabel(at);
            return true;
        }
        ScopeGraph->setCursor(CursorAt(at) ? Qt::SizeHorCursor : Qt::CrossCursor);
        if (mouse->buttons() & Qt::RightButton) {
            // Pan: the axes follow the pointer.
            const QPoint now = mouse->position().toPoint();
            for (QCPAxis* axis : {ScopeGraph->xAxis, ScopeGraph->yAxis}) {
                const bool horizontal = axis == ScopeGraph->xAxis;
                const double from = axis->pixelToCoord(horizontal ? FPressAt.x() : FPressAt.y());
                const double to = axis->pixelToCoord(horizontal ? now.x() : now.y());
                axis->moveRange(from - to);
            }
            FPressAt = now;
            ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
            return true;
        }
        MoveCoordinatesLabel(mouse->position().toPoint());
        // A marker's whole text shows on hover.
        if (const QString text = MarkerAt(mouse->position().toPoint()); !text.isEmpty())
            QToolTip::showText(mouse->globalPosition().toPoint(), text, ScopeGraph);
        else
            QToolTip::hideText();
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(Event);
        FPressAt = mouse->position().toPoint();
        if (mouse->button() == Qt::LeftButton && CursorMouse(Event->type(), FPressAt)) return true;
        if (mouse->button() == Qt::RightButton) {
            CoordinatesLabel->hide();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        if (CursorMouse(Event->type(), static_cast<QMouseEvent*>(Event)->position().toPoint()))
            return true;
        ChartMouseRelease(static_cast<QMouseEvent*>(Event));
        return static_cast<QMouseEvent*>(Event)->button() == Qt::RightButton;
    case QEvent::Wheel: {
        // The wheel zooms the X axis around the pointer; with Ctrl, the Y axis.
        const auto* wheel = static_cast<QWheelEvent*>(Event);
        const double steps = wheel->angleDelta().y() / 120.0;
        if (steps == 0) return true;
        const bool y = wheel->modifiers() & Qt::ControlModifier;
        QCPAxis* axis = y ? ScopeGraph->yAxis : ScopeGraph->xAxis;
        const QPointF at = wheel->position();
        axis->scaleRange(std::pow(WheelZoomFactor, steps), axis->pixelToCoord(y ? at.y() : at.x()));
        ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
        return true;
    }
    default:
        break;
    }
    return false;
}

void TScopeForm::ChartMouseRelease(QMouseEvent* Event) {
    if (XCoordCheck->isChecked() || YCoordCheck->isChecked()) CoordinatesLabel->show();
    if (Event->button() != Qt::LeftButton) return;
    if (!FZoomed) FZoomX = ScopeGraph->xAxis->range().lower;
    const QPoint to = Event->position().toPoint();
    const int dx = to.x() - FPressAt.x();
    const int dy = to.y() - FPressAt.y();
    if (std::abs(dx) <= ZoomThreshold || std::abs(dy) <= ZoomThreshold) return;
    const bool streaming = FHost && FHost->ScopeStreaming();
    if (dx > 0) {
        // Zoom both axes to the rectangle; the scales before the first zoom are kept.
        if (!FSavedScales)
            FSavedScales = {ScopeGraph->xAxis->range().lower, ScopeGraph->xAxis->range().upper,
                            ScopeGraph->yAxis->range().lower, ScopeGraph->yAxis->range().upper};
        const QRect area = QRect(FPressAt, to).normalized();
        AnimateZoom(QCPRange(ScopeGraph->xAxis->pixelToCoord(area.left()),
                             ScopeGraph->xAxis->pixelToCoord(area.right())),
                    QCPRange(ScopeGraph->yAxis->pixelToCoord(area.bottom()),
                             ScopeGraph->yAxis->pixelToCoord(area.top())));
        if (streaming)
            ApplyXRange(); // the X axis keeps following the data; the Y zoom stays
        else
            FZoomed = true;
    } else {
        UndoZoom();
    }
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot);
}

bool TScopeForm::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate) {
        FFormActivated = true;
        if (FSetupFormIni) LoadSettings();
    }
    return QWidget::event(Event);
}

void TScopeForm::showEvent(QShowEvent* Event) {
    if (FRunPos && !Event->spontaneous()) move(*std::exchange(FRunPos, std::nullopt));
    QWidget::showEvent(Event);
    ScopeGraph->replot(QCustomPlot::rpQueuedReplot); // it was not drawn while hidden
}

void TScopeForm::LoadSettings() {
    if (!FHost || FHost->ScopeIniFilePath().isEmpty()) return;
    FSetupFormIni = false;
    try {
        const TIniFile ini(FHost->ScopeIniFilePath());
        FScopeColors[0] = NumberColour(ini.ReadInteger(Section, "CH0Color", 16711680));
        FScopeColors[1] = NumberColour(ini.ReadInteger(Section, "CH1Color", 255));
        ApplySeriesColours();
        YIncSpin->setValue(std::clamp(ini.ReadInteger(Section, "YInc", 10), 1, 1000));
        XRangeSpin->setValue(std::clamp(ini.ReadInteger(Section, "XRange", 600), 100, 1500));
        YIncButtonClick();
        SetXRangeButtonClick();
        CH0CurCheck->setChecked(ini.ReadBool(Section, "CS0", true));
        CH0LTACheck->setChecked(ini.ReadBool(Section, "LT0", false));
        LegendCheck->setChecked(ini.ReadBool(Section, "Legend", true));
        StatisticsCheck->setChecked(ini.ReadBool(Section, "Statistics", true));
        for (int kind = 0; kind < MarkKindCount; ++kind)
            FMarkerKindBoxes[size_t(kind)]->setChecked(
                ini.ReadBool(Section, MarkKindKeys[kind], true));
        WindowPlacement::Load(ini, Section, *this);
    } catch (const EIniFileError&) {
        FHost->ScopeLoadError();
    }
}

void TScopeForm::SaveSettings() {
    if (!FFormActivated || !FHost || FHost->ScopeIniFilePath().isEmpty()) return;
    TIniFile ini(FHost->ScopeIniFilePath());
    const QRect outer = frameGeometry();
    const QString yInc = QString::number(
        qSharedPointerCast<QCPAxisTickerFixed>(ScopeGraph->yAxis->ticker())->tickStep());
    bool saved = ini.WriteInteger(Section, "Width", outer.width()) &&
                 ini.WriteInteger(Section, "Height", outer.height()) &&
                 ini.WriteInteger(Section, "Left", outer.left()) &&
                 ini.WriteInteger(Section, "Top", outer.top()) &&
                 ini.WriteInteger(Section, "CH0Color", ColourNumber(FScopeColors[0])) &&
                 ini.WriteInteger(Section, "CH1Color", ColourNumber(FScopeColors[1])) &&
                 ini.WriteString(Section, "YInc", yInc) &&
                 ini.WriteInteger(Section, "XRange", FXRange) &&
                 ini.WriteBool(Section, "CS0", CH0CurCheck->isChecked()) &&
                 ini.WriteBool(Section, "LT0", CH0LTACheck->isChecked()) &&
                 ini.WriteBool(Section, "Legend", LegendCheck->isChecked()) &&
                 ini.WriteBool(Section, "Statistics", StatisticsCheck->isChecked()) &&

                 ini.WriteString(Section, "State", isMaximized() ? "Max" : "Nor");
    for (int kind = 0; saved && kind < MarkKindCount; ++kind)
        saved = ini.WriteBool(Section, MarkKindKeys[kind], MarkersShown(TMarkKind(kind)));
    if (!saved) FHost->SettingsNotSaved(ini.WriteError());
}

void TScopeForm::ExportDataClick() {
    if (!FDialogs) return;
    const QString path = FDialogs->SaveFile("Export Scope Data", "scope", {"CSV files (*.csv)"});
    if (path.isEmpty()) return;
    std::vector<ScopeExport::TTrace> traces;
    for (int slot : TracesWithPoints()) {
        const bool count = slot < LTASlot;
        ScopeExport::TTrace trace{count ? QStringLiteral("CS%1").arg(slot)
                                        : QStringLiteral("LTA%1").arg(slot - LTASlot),
                                  {}};
        for (const QCPGraphData& point : *FSeries[size_t(slot)]->data())
            trace.Points.emplace_back(point.key, point.value);
        traces.push_back(std::move(trace));
    }
    // The markers of the points still held, as the chart shows them.
    std::vector<TScopeMarker> markers;
    for (std::size_t i = 0; i < FMarkers.Count(); ++i)
        markers.push_back(FMarkers[i]);
    const QString error = SafeFile::Write(path, ScopeExport::Csv(traces, markers));
    if (!error.isEmpty())
        FDialogs->ReportError(QStringLiteral("Cannot write %1: %2").arg(path, error));
}

void TScopeForm::SavePictureClick() {
    if (FDialogs) ChartPicture::Save(*ScopeGraph, *FDialogs, "Save Scope Picture", "scope");
}
