// Construction of the main window: its menus, its three columns and its images.
#include "MainUnit.h"

#include "CategoryPanel.h"
#include "Kelvra.h"
#include "KelvraDevList.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "KvrLabelUnit.h"
#include "KvrListBox.h"
#include "MainLayout.h"
#include "NumberLabel.h"
#include "ScopeUnit.h"
#include "SendCommandsUnit.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

using namespace MainLayout;

namespace {

QPushButton* NamedButton(const QString& Name, const QString& Caption, QWidget* Parent) {
    auto* button = new QPushButton(Caption, Parent);
    button->setObjectName(Name);
    return button;
}

QLabel* NamedLabel(const QString& Name, const QString& Text, QWidget* Parent) {
    auto* label = new QLabel(Text, Parent);
    label->setObjectName(Name);
    return label;
}

// A label showing a live number at Place: drawn without shaping its text, of a fixed size, so
// that it asks its parent for no layout pass, and opaque, so that a new value repaints the
// label alone and not every panel under it too.
QLabel* ValueLabel(const QString& Name, QWidget* Parent, const QRect& Place) {
    auto* label = new TNumberLabel("0", Parent);
    label->setObjectName(Name);
    label->setAutoFillBackground(true);
    label->setGeometry(Place);
    label->setFixedSize(Place.size());
    return label;
}

TCategoryPanel* NamedPanel(const QString& Name, const QString& Caption) {
    auto* panel = new TCategoryPanel(Caption);
    panel->setObjectName(Name);
    return panel;
}

QFont BoldFont(QFont Font) {
    Font.setBold(true);
    return Font;
}

QLabel* BoldLabel(const QString& Text, QWidget* Parent) {
    auto* label = new QLabel(Text, Parent);
    label->setFont(BoldFont(label->font()));
    return label;
}

void ConfigureListBox(TKvrListBox* List, bool Bold) {
    QFont f(QStringLiteral("Tahoma"), 8);
    f.setBold(Bold);
    List->setFont(f);
    // The error colours, hover highlight and auto-scroll keep the control's defaults.
    List->MouseOverColor = QColor(0xE9, 0xE9, 0xE9);
    List->ItemsPrefix = " ";
}

} // namespace

TPXS733MainForm::TPXS733MainForm(TModalDialogs& Dialogs, THidAccess& Hid,
                                 const QStringList& UpdaterFolders)
    : FDialogs(Dialogs), FUpdaterFolders(UpdaterFolders) {
    setObjectName("TPXS733MainForm");

    KelvraDevList1 = new TKelvraDevList(Hid, this);
    KelvraDevList1->setObjectName("KelvraDevList1");
    KelvraHidTool1 = new TKelvraHidTool(this);
    KelvraHidTool1->setObjectName("KelvraHidTool1");
    KelvraHidTool1->SetKelvraDevList(KelvraDevList1);
    FDeviceChange = KelvraDevList1->OnDeviceChange.Subscribe(
        [this](QObject*, bool Arrived) { KelvraDevList1DeviceChange(Arrived); });
    KelvraDevList1->Activate();
    Session = new TRunSession(*KelvraHidTool1, this);
    Session->SetReconnectLimit(DefaultReconnectSeconds * 1000);
    Session->setObjectName("Session");
    PXS731Device1 = &Session->Device();
    SubscribeToDevice();

    ClientPanel = new QWidget;
    ClientPanel->setObjectName("ClientPanel");
    ClientPanel->setMinimumSize(DesignWidth, DesignHeight);
    // Its resizes reach FormResize through the application-wide event filter.
    auto* scroller = new QScrollArea(this);
    scroller->setWidget(ClientPanel);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    setCentralWidget(scroller);

    CreateMenus();
    CreateStatusBar();
    CreateLeftColumn();
    CreateCentre();
    CreateRightColumn();

    RePosTimer = new QTimer(this);
    RePosTimer->setObjectName("RePosTimer");
    RePosTimer->setSingleShot(true);
    RePosTimer->setInterval(10);
    connect(RePosTimer, &QTimer::timeout, this, &TPXS733MainForm::RePosTimerTimer);
    BarTimer = new QTimer(this);
    BarTimer->setObjectName("BarTimer");
    BarTimer->setInterval(20);
    connect(BarTimer, &QTimer::timeout, this, &TPXS733MainForm::BarTimerTimer);
    DisplayTimer = new QTimer(this);
    DisplayTimer->setObjectName("DisplayTimer");
    DisplayTimer->setSingleShot(true);
    DisplayTimer->setInterval(20);
    connect(DisplayTimer, &QTimer::timeout, this, &TPXS733MainForm::DisplayTimerTimer);
    RecordTimer = new QTimer(this);
    RecordTimer->setObjectName("RecordTimer");
    RecordTimer->setInterval(500);
    connect(RecordTimer, &QTimer::timeout, this, &TPXS733MainForm::RecordTimerTimer);
    StreamEndTimer = new QTimer(this);
    StreamEndTimer->setObjectName("StreamEndTimer");
    StreamEndTimer->setSingleShot(true);
    StreamEndTimer->setInterval(1000);
    connect(StreamEndTimer, &QTimer::timeout, this, [this] {
        if (Session->State().Streaming) StopRun();
    });

    LoadImages();
    CreateToolTips();
    FindUpdater();

    const int itemHeight = HighDpi() ? 18 : 13;
    MessageBox->SetItemHeight(itemHeight);
    DevListBox->SetItemHeight(itemHeight);
    if (HighDpi()) CH0PTShape->move(CH0PTShape->x(), CH0PTShape->y() + 6);
    ContainerPanel->setMinimumSize(DesignContainer.size());

    FAppVersion = GetFileVersionString(QCoreApplication::applicationFilePath());
    ApplicationTitle = "Kelvra PXS733 V" + FAppVersion + ' ';
    setWindowTitle("Kelvra PXS733");

    LoadImage("CHNone", 0);
    LoadImage("AMNone", 2);
    LoadImage("AMNone", 3);
    FResources = {};

    // On a smaller work area the client panel scrolls.
    WindowPlacement::PlaceInWorkArea(
        *this, QSize(DesignWidth, DesignHeight + menuBar()->sizeHint().height() +
                                      statusBar()->sizeHint().height()));

    qApp->installEventFilter(this);
}

void TPXS733MainForm::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    RecordItem = file->addAction("Record...", this, &TPXS733MainForm::RecordButtonClick);
    RecordItem->setObjectName("RecordItem");
    file->addSeparator();
    // Offered by the program start, which owns the simulator.
    SimDongleItem =
        file->addAction("Plug Simulated Dongle", this, &TPXS733MainForm::SimDongleItemClick);
    SimDongleItem->setObjectName("SimDongleItem");
    SimDongleItem->setVisible(false);
    file->addSeparator();
    ExitItem = file->addAction("&Exit", this, &QWidget::close);
    ExitItem->setObjectName("ExitItem");

    // The run controls with their keys. The keys act on release through the application's
    // event filter, so the menu only names them instead of taking them as shortcuts.
    QMenu* run = menuBar()->addMenu("&Run");
    auto runItem = [this, run](const char* Name, auto Handler) {
        QAction* item = run->addAction(QString(), this, Handler);
        item->setObjectName(Name);
        return item;
    };
    StartItem = runItem("StartItem", [this] { StartButtonClick(StartButton); });
    StartDebugItem = runItem("StartDebugItem", [this] { StartButtonClick(StartTMButton); });
    StartDebugItem->setText("Start (Debug)\tShift+F1");
    PauseItem = runItem("PauseItem", &TPXS733MainForm::PauseButtonClick);
    ScopeItem = runItem("ScopeItem", &TPXS733MainForm::ScopeButtonClick);
    ScopeItem->setText("Scope\tF3");
    SnrItem = runItem("SnrItem", &TPXS733MainForm::SnrButtonClick);
    SnrItem->setText("Noise && SNR...");
    PowerItem = runItem("PowerItem", &TPXS733MainForm::PowerButtonClick);
    run->addSeparator();
    StreamSetupItem = runItem("StreamSetupItem", &TPXS733MainForm::StreamSetupButtonClick);
    StreamSetupItem->setText("Streaming Setup...");
    run->addAction(RecordItem);

    QMenu* options = menuBar()->addMenu("Options");
    ResetSettingsItem = options->addAction("Reset application saved settings", this,
                                           &TPXS733MainForm::ResetSettingsClick);
    ResetSettingsItem->setObjectName("ResetSettingsItem");
    ShowHintsItem = options->addAction("Show hover hints");
    ShowHintsItem->setObjectName("ShowHintsItem");
    ShowHintsItem->setCheckable(true);
    ShowHintsItem->setChecked(true);

    QMenu* help = menuBar()->addMenu("&Help");
    HintsTipsItem = help->addAction("Hints && Tips", this, &TPXS733MainForm::ShowHintTips);
    HintsTipsItem->setObjectName("HintsTipsItem");
    AboutItem = help->addAction("About", this, &TPXS733MainForm::ShowAbout);
    AboutItem->setObjectName("AboutItem");
}

void TPXS733MainForm::CreateLeftColumn() {
    CategoryPanelGroup1 = new TCategoryPanelGroup(ClientPanel);
    CategoryPanelGroup1->setObjectName("CategoryPanelGroup1");

    MessagesCategory = NamedPanel("MessagesCategory", "USB Dongle && Messages");
    MessagesPanel = MessagesCategory->Content();
    MessagesPanel->setObjectName("MessagesPanel");
    MessagesPanel->setAutoFillBackground(true);
    DevListBox = new TKvrListBox(MessagesPanel);
    DevListBox->setObjectName("DevListBox");
    ConfigureListBox(DevListBox, true);
    DevListBox->InfoBackgroundColor = palette().color(QPalette::Base);
    DevListBox->InfoTextColor = Qt::black;
    DevListBox->SelectedColor = QColor(0xD3, 0xD3, 0xD3);
    DevListBox->setFixedHeight(48);
    MessageBox = new TKvrListBox(MessagesPanel);
    MessageBox->setObjectName("MessageBox");
    ConfigureListBox(MessageBox, false);
    MessageBox->SelectedColor = QColor(0xD7, 0xEB, 0xFF);
    MessageBox->setMinimumHeight(220);
    MessageBox->OnErrorItem = [this](TKvrListBox*) { MessageBoxErrorItem(); };
    MessageBox->OnInfoItem = [this](TKvrListBox*) { MessageBoxInfoItem(); };
    MessageBox->ShowTimes = true;
    MessageBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    MessageBox->OnSaveLines = [this](TKvrListBox*) { SaveMessages(); };
    auto* messages = new QVBoxLayout(MessagesPanel);
    messages->setContentsMargins(4, 4, 4, 4);
    messages->addWidget(DevListBox);
    messages->addWidget(MessageBox);

    StreamingCategory = NamedPanel("StreamingCategory", "Streaming");
    auto* streaming = new QVBoxLayout(StreamingCategory->Content());
    StreamSetupButton = NamedButton("StreamSetupButton", "Setup", StreamingCategory->Content());
    ScopeButton = NamedButton("ScopeButton", "Scope", StreamingCategory->Content());
    StartButton = NamedButton("StartButton", "Start", StreamingCategory->Content());
    StartTMButton = NamedButton("StartTMButton", "Start (Debug)", StreamingCategory->Content());
    PauseButton = NamedButton("PauseButton", "Pause", StreamingCategory->Content());
    RecordButton = NamedButton("RecordButton", "Record", StreamingCategory->Content());
    RecordButton->setCheckable(true);
    RecordButton->setToolTip("Record every sample to a CSV file");
    SnrButton = NamedButton("SnrButton", "Noise && SNR...", StreamingCategory->Content());
    SnrButton->setToolTip("Measure the noise and the signal-to-noise ratio of a touch");
    auto* scopeRow = new QHBoxLayout;
    scopeRow->addWidget(ScopeButton);
    scopeRow->addWidget(SnrButton);
    streaming->addWidget(StreamSetupButton);
    streaming->addLayout(scopeRow);
    for (QPushButton* b : {StartButton, StartTMButton, PauseButton, RecordButton})
        streaming->addWidget(b);
    RecordStatusLabel = NamedLabel("RecordStatusLabel", QString(), StreamingCategory->Content());
    RecordStatusLabel->setWordWrap(true);
    RecordStatusLabel->hide();
    streaming->addWidget(RecordStatusLabel);
    connect(RecordButton, &QPushButton::clicked, this, &TPXS733MainForm::RecordButtonClick);
    StartButton->setEnabled(false);
    StartTMButton->setEnabled(false);
    PauseButton->setEnabled(false);
    connect(ScopeButton, &QPushButton::clicked, this, &TPXS733MainForm::ScopeButtonClick);
    connect(SnrButton, &QPushButton::clicked, this, &TPXS733MainForm::SnrButtonClick);
    connect(StreamSetupButton, &QPushButton::clicked, this,
            &TPXS733MainForm::StreamSetupButtonClick);
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(StartButton); });
    connect(StartTMButton, &QPushButton::clicked, this,
            [this] { StartButtonClick(StartTMButton); });
    connect(PauseButton, &QPushButton::clicked, this, &TPXS733MainForm::PauseButtonClick);
    connect(DevListBox, &QListWidget::clicked, this, &TPXS733MainForm::DevListBoxClick);

    SetupCategory = NamedPanel("SetupCategory", "Setup");
    auto* setup = new QVBoxLayout(SetupCategory->Content());
    auto* dongleGroup = new QGroupBox("USB Dongle", SetupCategory->Content());
    auto* dongleForm = new QFormLayout(dongleGroup);
    VoltageCombo = new QComboBox(dongleGroup);
    VoltageCombo->setObjectName("VoltageCombo");
    VoltageCombo->addItems({"3.3 V", "1.8 V"});
    CommsCombo = new QComboBox(dongleGroup);
    CommsCombo->setObjectName("CommsCombo");
    CommsCombo->addItems({"1-Wire", "I²C"});
    dongleForm->addRow("Voltage Select:", VoltageCombo);
    dongleForm->addRow("Communication:", CommsCombo);
    connect(VoltageCombo, &QComboBox::activated, this, &TPXS733MainForm::VoltageComboClick);
    connect(CommsCombo, &QComboBox::currentIndexChanged, this, &TPXS733MainForm::CommsComboChange);
    DisplayGroup = new QGroupBox("Display Options", SetupCategory->Content());
    DisplayGroup->setObjectName("DisplayGroup");
    DeltaCheck = new QCheckBox("Baseline View", DisplayGroup);
    DeltaCheck->setObjectName("DeltaCheck");
    (new QVBoxLayout(DisplayGroup))->addWidget(DeltaCheck);
    DisplayGroup->hide();
    connect(DeltaCheck, &QCheckBox::clicked, this, &TPXS733MainForm::DeltaCheckClick);
    setup->addWidget(dongleGroup);
    setup->addWidget(DisplayGroup);

    CategoryPanelGroup1->AddPanel(MessagesCategory, 1); // the messages take the room there is
    CategoryPanelGroup1->AddPanel(StreamingCategory);
    CategoryPanelGroup1->AddPanel(SetupCategory);
}

void TPXS733MainForm::CreateCentre() {
    ContainerPanel = new QWidget(ClientPanel);
    ContainerPanel->setObjectName("ContainerPanel");
    ContainerPanel->setGeometry(DesignContainer);
    auto* column = new QVBoxLayout(ContainerPanel);
    column->setContentsMargins(0, 0, 0, 0);

    BarPanel = new QWidget(ContainerPanel);
    BarPanel->setObjectName("BarPanel");
    auto* bars = new QVBoxLayout(BarPanel);
    bars->setContentsMargins(0, 0, 0, 0);
    BarGraph = new QCustomPlot(BarPanel);
    BarGraph->setObjectName("BarGraph");
    BarGraph->legend->setVisible(false);
    BarGraph->setInteraction(QCP::iRangeDrag, true);
    BarGraph->axisRect()->setRangeDrag(Qt::Vertical);
    BarGraph->axisRect()->setRangeZoom(Qt::Orientations());
    BarGraph->xAxis->setRange(-1, 1);
    BarGraph->xAxis->setTicks(false);
    BarGraph->yAxis->setRange(0, 1600);
    auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
    ticker->setTickStep(100);
    BarGraph->yAxis->setTicker(ticker);
    auto* group = new QCPBarsGroup(BarGraph);
    Series1 = new QCPBars(BarGraph->xAxis, BarGraph->yAxis);
    Series1->setName("CS");
    Series1->setBrush(QColor(0, 128, 0));
    Series2 = new QCPBars(BarGraph->xAxis, BarGraph->yAxis);
    Series2->setName("LTA");
    Series2->setBrush(QColor(0, 64, 128));
    for (QCPBars* s : {Series1, Series2}) {
        s->setWidth(0.4);
        s->setBarsGroup(group);
        s->setPen(Qt::NoPen);
        s->setData({0.0}, {0.0});
    }
    // The bars live on a buffered layer of their own, so that the bar timer redraws only
    // them and not the axes and grid. It is the top one and the chart's overlay is not
    // buffered: every paint blends each buffer onto the widget, and two are the fewest.
    BarGraph->layer("overlay")->setMode(QCPLayer::lmLogical);
    BarGraph->addLayer(BarsLayer, BarGraph->layer("overlay"), QCustomPlot::limAbove);
    BarGraph->layer(BarsLayer)->setMode(QCPLayer::lmBuffered);
    connect(BarGraph, &QCustomPlot::beforeReplot, this, [this] { FShownBarLook.reset(); });
    Series1->setLayer(BarsLayer);
    Series2->setLayer(BarsLayer);
    bars->addWidget(BarGraph, 1);

    // Under the bars: the channel image and the value labels, placed by AlignChannelLabels.
    ChannelPanel = new QWidget(BarPanel);
    ChannelPanel->setObjectName("ChannelPanel");
    ChannelPanel->setFixedHeight(150);
    CH0PTShape = NamedLabel("CH0PTShape", QString(), ChannelPanel);
    CH0PTShape->setGeometry(0, 0, 76, 71);
    Caption("Channels:", ChannelPanel)->setGeometry(0, 76, 90, 16);
    CH0Label = NamedLabel("CH0Label", "1", ChannelPanel);
    CH0Label->setGeometry(0, 76, 20, 16);
    auto* countCaption = Caption("Count:", ChannelPanel);
    countCaption->setToolTip("Sampled value");
    countCaption->setGeometry(0, 94, 90, 16);
    auto* ltaCaption = Caption("LTA:", ChannelPanel);
    ltaCaption->setToolTip("Long Term Average");
    ltaCaption->setGeometry(0, 112, 90, 16);
    Caption("Delta:", ChannelPanel)->setGeometry(0, 130, 90, 16);
    CS0Lbl = ValueLabel("CS0Lbl", ChannelPanel, QRect(0, 94, 60, 16));
    LTA0Lbl = ValueLabel("LTA0Lbl", ChannelPanel, QRect(0, 112, 60, 16));
    DT0Lbl = ValueLabel("DT0Lbl", ChannelPanel, QRect(0, 130, 60, 16));
    bars->addWidget(ChannelPanel);
    column->addWidget(BarPanel, 1);

    CMTButton = NamedButton("CMTButton", QString(), ContainerPanel);
    CMTButton->setToolTip("Show / Hide Thresholds");
    CMTButton->setFixedHeight(14);
    CMTButton->setIcon(QIcon(":/images/Arrow_Up.svg"));
    connect(CMTButton, &QPushButton::clicked, this, &TPXS733MainForm::CMTButtonClick);
    column->addWidget(CMTButton);

    CMTPanel = new QWidget(ContainerPanel);
    CMTPanel->setObjectName("CMTPanel");
    CMTPanel->setFixedHeight(CMTPanelHeight);
    Caption("Compensation:", CMTPanel)->setGeometry(0, 8, 100, 16);
    PCC0Label = ValueLabel("PCC0Label", CMTPanel, QRect(0, 8, 60, 16));
    Caption("Multiplier:", CMTPanel)->setGeometry(0, 30, 100, 16);
    Caption("Sens:", CMTPanel)->setGeometry(0, 48, 60, 16);
    Sens0Label = ValueLabel("Sens0Label", CMTPanel, QRect(0, 48, 30, 16));
    Caption("Comp:", CMTPanel)->setGeometry(0, 64, 60, 16);
    Comp0Label = ValueLabel("Comp0Label", CMTPanel, QRect(0, 64, 30, 16));
    ActivationImage = NamedLabel("ActivationImage", QString(), CMTPanel);
    ActivationImage->setToolTip("Activation");
    ActivationImage->setGeometry(440, 10, 60,
                                 56); // AlignChannelLabels keeps both beside the values
    MovementImage = NamedLabel("MovementImage", QString(), CMTPanel);
    MovementImage->setToolTip("Movement");
    MovementImage->setGeometry(520, 10, 60, 56);
    column->addWidget(CMTPanel);
}

QLabel* TPXS733MainForm::Caption(const QString& Text, QWidget* Parent) {
    QLabel* caption = BoldLabel(Text, Parent);
    FValueCaptions << caption;
    return caption;
}

void TPXS733MainForm::CreateRightColumn() {
    CategoryPanelGroup2 = new TCategoryPanelGroup(ClientPanel);
    CategoryPanelGroup2->setObjectName("CategoryPanelGroup2");

    IndicatorsCategory = NamedPanel("IndicatorsCategory", "Indicators");
    auto* indicators = new QFormLayout(IndicatorsCategory->Content());
    struct TIndicator {
        QLabel*& Label;
        const char* Name;
    };
    const TIndicator flags[] = {
        {ZoomLabel, "ZoomLabel"},
        {RFLabel, "RFLabel"},
        {ATIBLabel, "ATIBLabel"},
        {IsCh0Label, "IsCh0Label"},
        {FilterHaltLabel, "FilterHaltLabel"},
        {LongTimerLabel, "LongTimerLabel"},
        {MovementLabel, "MovementLabel"},
        {ActivationLabel, "ActivationLabel"},
    };
    for (int bit = 0; bit < 8; ++bit) {
        const TIndicator& flag = flags[bit];
        flag.Label = NamedLabel(flag.Name, FlagCaption(bit, false), IndicatorsCategory->Content());
        FFlagLabels[size_t(bit)] = flag.Label;
        indicators->addRow(BoldLabel(FlagName(bit) + ':', IndicatorsCategory->Content()),
                           flag.Label);
    }
    VersionLbl2 = NamedLabel("VersionLbl2", "N/A", IndicatorsCategory->Content());
    indicators->addRow(BoldLabel("Device Version:", IndicatorsCategory->Content()), VersionLbl2);

    CreateDebugPanel();

    EngineeringCategoryPanel = NamedPanel("EngineeringCategoryPanel", "Engineering");
    auto* engineering = new QVBoxLayout(EngineeringCategoryPanel->Content());
    PowerButton = NamedButton("PowerButton", "Power On", EngineeringCategoryPanel->Content());
    DataMissLabel =
        NamedLabel("DataMissLabel", "Some Data Missed", EngineeringCategoryPanel->Content());
    DataMissLabel->setStyleSheet("color: red; font-weight: bold;");
    DataMissLabel->hide();
    ShowSendCommandsButton = NamedButton("ShowSendCommandsButton", "Show Send Commands",
                                         EngineeringCategoryPanel->Content());
    CreateEngineeringTools(EngineeringCategoryPanel->Content());
    engineering->addWidget(PowerButton);
    connect(PowerButton, &QPushButton::clicked, this, &TPXS733MainForm::PowerButtonClick);
    engineering->addWidget(DataMissLabel);
    engineering->addWidget(ShowSendCommandsButton);
    connect(ShowSendCommandsButton, &QPushButton::clicked, this,
            [this] { FWindows->SendCommands->StartTracing(*KelvraHidTool1); });
    EngineeringCategoryPanel->hide();

    CategoryPanelGroup2->AddPanel(IndicatorsCategory);
    CategoryPanelGroup2->AddPanel(DebugCategory, 1); // the bank editor takes the room there is
    CategoryPanelGroup2->AddPanel(EngineeringCategoryPanel);
}

void TPXS733MainForm::CreateDebugPanel() {
    DebugCategory = NamedPanel("DebugCategory", "Debug Settings");
    DebugPageControl = new QTabWidget(DebugCategory->Content());
    DebugPageControl->setObjectName("DebugPageControl");
    // The pages belong to the panel from the start: the bit edits' keyboard order is set
    // between widgets of one window.
    DebugPageControl->addTab(CreateFuseBankPage(DebugPageControl), "Fuse Banks");
    DebugPageControl->addTab(CreateStrapPage(DebugPageControl), "External Strap");
    auto* layout = new QVBoxLayout(DebugCategory->Content());
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(DebugPageControl);
}

QWidget* TPXS733MainForm::CreateFuseBankPage(QWidget* Parent) {
    using namespace FuseBanks;
    auto* page = new QWidget(Parent);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(2, 4, 2, 2);

    EnterTMButton = NamedButton("EnterTMButton", "Enter Debug Mode", page);
    ContinueStrButton = NamedButton("ContinueStrButton", "Resume Streaming", page);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {EnterTMButton, ContinueStrButton}) {
        b->setFont(BoldFont(b->font()));
        b->setEnabled(false);
    }
    buttons->addWidget(EnterTMButton);
    buttons->addStretch();
    buttons->addWidget(ContinueStrButton);
    column->addLayout(buttons);
    connect(EnterTMButton, &QPushButton::clicked, this, &TPXS733MainForm::EnterTMButtonClick);
    connect(ContinueStrButton, &QPushButton::clicked, this,
            &TPXS733MainForm::ContinueStrButtonClick);

    // Never shown; their operations run from the others.
    WriteButton = NamedButton("WriteButton", "Write All", page);
    ReadButton = NamedButton("ReadButton", "Soft Config", page);
    DeviceDefaultsButton = NamedButton("DeviceDefaultsButton", "Hard Config", page);
    for (QPushButton* b : {WriteButton, ReadButton, DeviceDefaultsButton}) {
        b->setEnabled(false);
        b->hide();
    }
    connect(WriteButton, &QPushButton::clicked, this, &TPXS733MainForm::WriteButtonClick);
    connect(ReadButton, &QPushButton::clicked, this, &TPXS733MainForm::ReadButtonClick);
    connect(DeviceDefaultsButton, &QPushButton::clicked, this,
            &TPXS733MainForm::DeviceDefaultsButtonClick);

    // The grid's columns have fixed widths, so that the headings above the scrolling part
    // stay over their bits.
    const QFont bold = BoldFont(page->font());
    const QFontMetrics boldMetrics(bold);
    const int labelWidth = page->fontMetrics().horizontalAdvance("Fusebank 0 :") + 2;
    constexpr int EditWidth = 19;
    constexpr int Spacing = 2;
    int captionHeight = 0;
    for (int bank = 0; bank < BankCount; ++bank)
        for (int bit = 0; bit < BitCount; ++bit)
            captionHeight =
                std::max(captionHeight, boldMetrics.horizontalAdvance(BitName(bank, bit)) + 4);
    auto placeColumns = [&](QGridLayout* Grid) {
        Grid->setHorizontalSpacing(Spacing);
        Grid->setColumnMinimumWidth(0, labelWidth);
        for (int column = 1; column <= BitCount; ++column)
            Grid->setColumnMinimumWidth(column, EditWidth);
        Grid->setColumnStretch(BitCount + 1, 1);
    };

    auto* headings = new QGridLayout;
    headings->setContentsMargins(0, 0, 0, 0);
    placeColumns(headings);
    for (int bit = BitCount - 1; bit >= 0; --bit) {
        QLabel* heading = BoldLabel(QString::number(bit), page);
        heading->setAlignment(Qt::AlignCenter);
        headings->addWidget(heading, 0, BitCount - bit);
    }
    column->addLayout(headings);

    auto* scroller = new QScrollArea(page);
    scroller->setObjectName("FuseBankScroller");
    scroller->setFocusPolicy(Qt::NoFocus); // the keys go from the last bit to the next control
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setMinimumHeight(2 * (captionHeight + EditWidth));
    auto* banks = new QWidget;
    auto* grid = new QGridLayout(banks);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(Spacing);
    placeColumns(grid);
    for (int bank = 0; bank < BankCount; ++bank) {
        const bool rowShown = bank < BankCount - 1;
        auto* label = new QLabel(QStringLiteral("Fusebank %1 :").arg(bank), banks);
        label->setVisible(rowShown);
        grid->addWidget(label, 2 * bank + 1, 0);
        for (int bit = 0; bit < BitCount; ++bit) {
            auto* caption = new TKvrLabel(BitName(bank, bit), banks);
            caption->setFont(bold);
            caption->SetAngle(90);
            caption->SetAngledText(true);
            caption->setFixedSize(boldMetrics.height(), captionHeight);
            caption->setVisible(rowShown);
            grid->addWidget(caption, 2 * bank, BitCount - bit, Qt::AlignBottom | Qt::AlignHCenter);

            auto* edit = new QLineEdit("0", banks);
            edit->setObjectName(QStringLiteral("F%1Edit%2").arg(bank).arg(bit + 1));
            edit->setMaxLength(1);
            edit->setFont(bold);
            edit->setAlignment(Qt::AlignCenter);
            edit->setFixedWidth(EditWidth);
            edit->setEnabled(false);
            edit->setVisible(Shown(bank, bit));
            grid->addWidget(edit, 2 * bank + 1, BitCount - bit);
            FFuseBank[size_t(bank)][size_t(bit)] = edit;
        }
    }
    grid->setRowStretch(2 * BankCount, 1);
    scroller->setWidget(banks);
    // Keyboard order: each bank from bit 0 up, bank 4 from bit 7 down.
    QWidget* previous = ContinueStrButton;
    for (int bank = 0; bank < BankCount; ++bank)
        for (int i = 0; i < BitCount; ++i) {
            QWidget* edit = FFuseBank[size_t(bank)][size_t(bank == 4 ? BitCount - 1 - i : i)];
            QWidget::setTabOrder(previous, edit);
            previous = edit;
        }
    column->addWidget(scroller, 1);
    return page;
}

QWidget* TPXS733MainForm::CreateStrapPage(QWidget* Parent) {
    auto* page = new QWidget(Parent);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(2, 4, 2, 2);
    auto* group = new QGroupBox(page);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(4);
    struct TStrapRow {
        QSpinBox*& Spin;
        const char* Name;
        const char* Caption;
        const char* Unit;
    };
    const TStrapRow rows[] = {
        {ATSpin, "ATSpin", "Activation Threshold :", "/ 512"},
        {STSpin, "STSpin", "Short Timer Period :", "= 0.5s"},
        {LTSpin, "LTSpin", "Long Timer Period :", "= 15s"},
        {MTSpin, "MTSpin", "Movement Threshold :", "/ 256"},
    };
    for (int row = 0; row < 4; ++row) {
        const TStrapRow& strap = rows[row];
        strap.Spin = new QSpinBox(group);
        strap.Spin->setObjectName(strap.Name);
        strap.Spin->setRange(0, 255);
        strap.Spin->setFixedWidth(strap.Spin->fontMetrics().horizontalAdvance("000") + 32);
        auto* unit = new QLabel(strap.Unit, group);
        grid->addWidget(new QLabel(strap.Caption, group), row, 0);
        grid->addWidget(strap.Spin, row, 1);
        grid->addWidget(unit, row, 2);
        grid->setColumnStretch(2, 1);
        if (strap.Spin == STSpin) Label33 = unit;
        if (strap.Spin == LTSpin) Label35 = unit;
    }
    Label33->setObjectName("Label33");
    Label35->setObjectName("Label35");
    connect(STSpin, &QSpinBox::valueChanged, this, &TPXS733MainForm::STSpinChange);
    connect(LTSpin, &QSpinBox::valueChanged, this, &TPXS733MainForm::LTSpinChange);

    WriteStrapButton = NamedButton("WriteStrapButton", "Write", group);
    ReadStrapButton = NamedButton("ReadStrapButton", "Read", group);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(WriteStrapButton);
    buttons->addStretch();
    buttons->addWidget(ReadStrapButton);
    grid->addLayout(buttons, 4, 0, 1, 3);
    for (QPushButton* b : {WriteStrapButton, ReadStrapButton})
        b->setEnabled(false);
    connect(WriteStrapButton, &QPushButton::clicked, this, &TPXS733MainForm::WriteStrapButtonClick);
    connect(ReadStrapButton, &QPushButton::clicked, this, &TPXS733MainForm::ReadStrapButtonClick);
    column->addWidget(group);
    column->addStretch();
    return page;
}

void TPXS733MainForm::CreateEngineeringTools(QWidget* Panel) {
    // An address or data field: two hexadecimal digits as they are typed, letters in upper
    // case. Text set otherwise is still checked when a tool runs.
    auto hexEdit = [](const QString& Name, QWidget* Parent) {
        auto* edit = new QLineEdit(Parent);
        edit->setObjectName(Name);
        edit->setMaxLength(2);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]*"), edit));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("WW") + 14);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& Text) {
            const int cursor = edit->cursorPosition();
            edit->setText(Text.toUpper());
            edit->setCursorPosition(cursor);
        });
        return edit;
    };
    struct TByteTool {
        const char* Title;
        QLineEdit*& Address;
        const char* AddressName;
        QLineEdit*& Data;
        const char* DataName;
        QPushButton*& Read;
        const char* ReadName;
        QPushButton*& Write;
        const char* WriteName;
    };
    const TByteTool tools[] = {
        {"R/W Memory Map", MMAddressEdit, "MMAddressEdit", MMDataEdit, "MMDataEdit", ReadMMButton,
         "ReadMMButton", WriteMMButton, "WriteMMButton"},
        {"R/W Indirect", DirAddrEdit, "DirAddrEdit", DirDataEdit, "DirDataEdit", InDirReadButton,
         "InDirReadButton", InDirWriteButton, "InDirWriteButton"},
    };
    auto* groups = new QVBoxLayout;
    for (const TByteTool& tool : tools) {
        auto* group = new QGroupBox(tool.Title, Panel);
        auto* grid = new QGridLayout(group);
        tool.Address = hexEdit(tool.AddressName, group);
        tool.Data = hexEdit(tool.DataName, group);
        grid->addWidget(new QLabel("Address:", group), 0, 0);
        grid->addWidget(tool.Address, 0, 1);
        grid->addWidget(new QLabel("H", group), 0, 2);
        grid->addWidget(new QLabel("Data:", group), 1, 0);
        grid->addWidget(tool.Data, 1, 1);
        grid->addWidget(new QLabel("H", group), 1, 2);
        tool.Read = NamedButton(tool.ReadName, "Read", group);
        tool.Write = NamedButton(tool.WriteName, "Write", group);
        for (QPushButton* b : {tool.Read, tool.Write})
            b->setFixedWidth(b->fontMetrics().horizontalAdvance("Write") + 24);
        grid->addWidget(tool.Read, 0, 3);
        grid->addWidget(tool.Write, 1, 3);
        grid->setColumnStretch(2, 1);
        groups->addWidget(group);
    }
    connect(ReadMMButton, &QPushButton::clicked, this, &TPXS733MainForm::ReadMMButtonClick);
    connect(WriteMMButton, &QPushButton::clicked, this, &TPXS733MainForm::WriteMMButtonClick);
    connect(InDirReadButton, &QPushButton::clicked, this, &TPXS733MainForm::InDirReadButtonClick);
    connect(InDirWriteButton, &QPushButton::clicked, this, &TPXS733MainForm::InDirWriteButtonClick);

    auto* version = new QGroupBox("IC Version", Panel);
    auto* versionColumn = new QVBoxLayout(version);
    GetVersionButton = NamedButton("GetVersionButton", "Get Version", version);
    VersionLbl = NamedLabel("VersionLbl", QString(), version);
    VersionLbl->setFont(BoldFont(VersionLbl->font()));
    VersionLbl->setAlignment(Qt::AlignCenter);
    versionColumn->addWidget(GetVersionButton);
    versionColumn->addWidget(VersionLbl);
    connect(GetVersionButton, &QPushButton::clicked, this, [this] { ReadDeviceVersion(); });

    auto* layout = static_cast<QVBoxLayout*>(Panel->layout());
    layout->addLayout(groups);
    layout->addWidget(version);
}

void TPXS733MainForm::LoadImages() {
    // Drawn as vectors, rendered once at the screen's pixel density, so they stay crisp.
    struct TImage {
        const char* Name;
        QSize Size;
    };
    const TImage images[] = {{"CHNone", {76, 71}},
                             {"CHNoneScope", {46, 44}},
                             {"AMNone", {60, 56}},
                             {"Movement", {60, 56}},
                             {"Activation", {60, 56}}};
    for (const TImage& image : images)
        FImages.insert(image.Name, QIcon(QStringLiteral(":/images/%1.svg").arg(image.Name))
                                       .pixmap(image.Size, devicePixelRatioF()));
}

void TPXS733MainForm::LoadImage(const QString& Name, int Index) {
    QLabel* slot = Index == 0   ? CH0PTShape
                   : Index == 2 ? ActivationImage
                   : Index == 3 ? MovementImage
                                : nullptr;
    if (slot) slot->setPixmap(FImages.value(Name));
}

bool TPXS733MainForm::HighDpi() const {
    const QScreen* s = screen();
    return s && s->logicalDotsPerInch() > 96;
}
