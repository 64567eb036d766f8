#pragma once

#include "DongleAcceptance.h"
#include "Event.h"
#include "FuseBanks.h"
#include "MainFormSettings.h"
#include "RunSession.h"
#include "SampleDecoder.h"
#include "SampleRecorder.h"
#include "ScopeUnit.h"
#include "SnrUnit.h"
#include "StreamSetupUnit.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QCPBars;
class QCustomPlot;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class TAboutDialog;
class THidAccess;
class TKelvraDevList;
class TKelvraHidTool;
class TPXS731Device;
class TCategoryPanel;
class TCategoryPanelGroup;
class THintTipsForm;
class TIniFile;
class TKvrListBox;
class TModalDialogs;
class TSendCommands;
class TPXS733MainForm;
struct TRunControls;
class TToolTipItem;
class TToolTipManager;

// The application's six windows, created in this order and kept until the end; the others
// are destroyed before the main window.
struct TPXS733Windows {
    // UpdaterFolders: where the firmware updater's entry is looked for, first to last.
    TPXS733Windows(TModalDialogs& Dialogs, THidAccess& Hid, const QStringList& UpdaterFolders);
    ~TPXS733Windows();
    TPXS733Windows(const TPXS733Windows&) = delete;
    TPXS733Windows& operator=(const TPXS733Windows&) = delete;

    TPXS733MainForm* MainForm = nullptr;
    TScopeForm* ScopeForm = nullptr;
    TSnrForm* SnrForm = nullptr;
    TStreamSetupForm* StreamSetupForm = nullptr;
    TSendCommands* SendCommands = nullptr;
    TAboutDialog* AboutDialog = nullptr;
    THintTipsForm* HintTipsForm = nullptr;
};

// What File > Plug Simulated Dongle works with.
struct TSimulatedDongleOffer {
    std::function<bool(bool In)> Plug; // returns whether it is plugged in
    std::function<bool(const QString& Path)> IsSimulated;
    QStringList UpdaterFolders; // where its updater is found
    bool Plugged = false;
};

// The main window: dongle list and messages, run control, live display, debug and
// engineering panels. Its handlers are spread over several source files by concern.
class TPXS733MainForm : public QMainWindow,
                        private TMainFormSettingsTarget,
                        private TStreamSetupHost,
                        private TScopeHost,
                        private TSnrHost {
    Q_OBJECT
public:
    TPXS733MainForm(TModalDialogs& Dialogs, THidAccess& Hid, const QStringList& UpdaterFolders);
    ~TPXS733MainForm() override;

    // How long a run waits for its unplugged dongle unless the settings file says otherwise.
    static constexpr int DefaultReconnectSeconds = 60;

    // Connects the window to the other five once they all exist.
    void BindWindows(const TPXS733Windows& Windows);

    // Answers a remote command text: 2 "Close", 1 "Status", 0 otherwise.
    int HandleRemoteCommand(const QString& Text);

    void LoadImage(const QString& Name, int Index);
    void AlignChannelLabels();
    void FormActivate();
    void ResetSettingsClick();
    void ScopeButtonClick();
    void SnrButtonClick();
    // Run control (MainUnitRunControl.cpp).
    void StartButtonClick(QPushButton* Sender);
    void PauseButtonClick();
    void PowerButtonClick();
    void StreamSetupButtonClick();
    // The run plays a recording: the status bar says so, and with StartNow it starts as soon
    // as the replay's dongle is accepted. The recording's marks, read with its rows, go on the
    // scope again at their samples.
    void PlayReplay(bool StartNow, std::shared_ptr<TReplayMarks> Marks);
    // File > Plug Simulated Dongle plugs the simulator's dongle in or out.
    void OfferSimulatedDongle(TSimulatedDongleOffer Offer);
    void SimDongleItemClick();
    // Live display (MainUnitDisplay.cpp): a decoded sample with the bytes it came in.
    void PXS731Device1Streaming(const TDecodedSample& Sample, const quint8* Data, int Size);
    int GetChannelCount(int Index) const;
    int GetChannelLTA(int Index) const;
    void CMTButtonClick();
    void DeltaCheckClick();
    // Debug mode and the bank editor (MainUnitDebug.cpp).
    void EnterTMButtonClick();
    void ContinueStrButtonClick();
    void WriteButtonClick();
    void ReadButtonClick();
    void DeviceDefaultsButtonClick();
    // Engineering tools (MainUnitEngineering.cpp).
    void ReadStrapButtonClick();
    void WriteStrapButtonClick();
    void STSpinChange();
    void LTSpinChange();
    void ReadMMButtonClick();
    void WriteMMButtonClick();
    void InDirReadButtonClick();
    void InDirWriteButtonClick();
    void ReadDeviceVersion();
    // Recording (MainUnitRecording.cpp).
    void RecordButtonClick();
    void StartRecording(const QString& Path);
    void StopRecording();
    bool Recording() const;
    // The stream's source has no more samples (a replay's end): the run ends as Stop ends it.
    void StreamEnded();
    // Rows in the recording's file so far (the last recording's once it stopped).
    qint64 SamplesRecorded() const;
    void DevListBoxClick();
    void CommsComboChange();
    void VoltageComboClick();
    void FindUpdater();

    // Non-visual components.
    TKelvraDevList* KelvraDevList1;
    TKelvraHidTool* KelvraHidTool1;
    TRunSession* Session;         // the run on the selected dongle
    TPXS731Device* PXS731Device1; // the session's device component
    TToolTipManager* ToolTipManager1;

    // Controls, named as in the window's design.
    TCategoryPanelGroup* CategoryPanelGroup1;
    TCategoryPanelGroup* CategoryPanelGroup2;
    TCategoryPanel* MessagesCategory;
    TCategoryPanel* StreamingCategory;
    TCategoryPanel* SetupCategory;
    TCategoryPanel* IndicatorsCategory;
    TCategoryPanel* DebugCategory;
    TCategoryPanel* EngineeringCategoryPanel;
    QWidget* MessagesPanel;
    TKvrListBox* DevListBox;
    TKvrListBox* MessageBox;
    QPushButton* StreamSetupButton;
    QPushButton* ScopeButton;
    QPushButton* SnrButton;
    QPushButton* StartButton;
    QPushButton* StartTMButton;
    QPushButton* PauseButton;
    QPushButton* RecordButton;
    QLabel* RecordStatusLabel;
    QPushButton* PowerButton;
    QPushButton* ShowSendCommandsButton;
    QComboBox* VoltageCombo;
    QComboBox* CommsCombo;
    QGroupBox* DisplayGroup;
    QCheckBox* DeltaCheck;
    QWidget* ClientPanel;
    QWidget* ContainerPanel;
    QWidget* BarPanel;
    QCustomPlot* BarGraph;
    QCPBars* Series1;
    QCPBars* Series2;
    QWidget* ChannelPanel;
    QLabel* CH0PTShape;
    QLabel* CH0Label;
    QLabel* CS0Lbl;
    QLabel* LTA0Lbl;
    QLabel* DT0Lbl;
    QPushButton* CMTButton;
    QWidget* CMTPanel;
    QLabel* PCC0Label;
    QLabel* Comp0Label;
    QLabel* Sens0Label;
    QLabel* ActivationImage;
    QLabel* MovementImage;
    QLabel* DataMissLabel;
    QLabel* VersionLbl2;
    QLabel* ZoomLabel;
    QLabel* RFLabel;
    QLabel* ATIBLabel;
    QLabel* IsCh0Label;
    QLabel* FilterHaltLabel;
    QLabel* LongTimerLabel;
    QLabel* MovementLabel;
    QLabel* ActivationLabel;
    // Debug Settings: the bank editor and the strap settings.
    QTabWidget* DebugPageControl;
    QPushButton* EnterTMButton;
    QPushButton* ContinueStrButton;
    QPushButton* WriteButton;
    QPushButton* ReadButton;
    QPushButton* DeviceDefaultsButton;
    // The bit edits F0Edit1..F4Edit8, bank first, then bit (0 first).
    std::array<std::array<QLineEdit*, FuseBanks::BitCount>, FuseBanks::BankCount> FFuseBank{};
    QSpinBox* ATSpin;
    QSpinBox* STSpin;
    QSpinBox* LTSpin;
    QSpinBox* MTSpin;
    QLabel* Label33;
    QLabel* Label35;
    QPushButton* WriteStrapButton;
    QPushButton* ReadStrapButton;
    // Engineering: memory map, indirect registers, version.
    QLineEdit* MMAddressEdit;
    QLineEdit* MMDataEdit;
    QPushButton* ReadMMButton;
    QPushButton* WriteMMButton;
    QLineEdit* DirAddrEdit;
    QLineEdit* DirDataEdit;
    QPushButton* InDirReadButton;
    QPushButton* InDirWriteButton;
    QPushButton* GetVersionButton;
    QLabel* VersionLbl;
    QAction* RecordItem;
    QAction* SimDongleItem;
    QAction* ExitItem;
    // The Run menu: the run buttons with their keys, enabled and named as the buttons are.
    QAction* StartItem;
    QAction* StartDebugItem;
    QAction* PauseItem;
    QAction* ScopeItem;
    QAction* SnrItem;
    QAction* PowerItem;
    QAction* StreamSetupItem;
    QAction* ResetSettingsItem;
    QAction* ShowHintsItem;
    QAction* HintsTipsItem;
    QAction* AboutItem;
    QTimer* RePosTimer;
    QTimer* BarTimer;
    QTimer* DisplayTimer;   // spaces the display's refreshes
    QTimer* RecordTimer;    // the recording's status and its write errors
    QTimer* StreamEndTimer; // after the stream's end, the quiet that ends the run
    QTimer* StatusTimer;    // the status bar's sample rate and recording time
    // The status bar.
    QLabel* DongleStatus;
    QLabel* LinkStatus;
    QLabel* StaleLabel; // when the values shown were taken, once they are not live
    QLabel* RunStatus;
    QLabel* RateStatus;
    QLabel* GapsStatus;
    QLabel* RecordingStatus;

    // State shared by the window's handlers; the run's own is the session's.
    quint8 FSysFlags = 0;
    std::array<int, 2> FPCC{};
    std::array<int, 2> FMirrors{};
    std::array<int, 2> FCurrentChs{};
    std::array<int, 2> FLTAChs{};
    quint32 FFirmwareVersion = 0;
    int FProductID = 0;
    bool FUpdating = false;
    bool FFirmwareCheck = true;
    bool FValidFirmware = false;
    bool FUpdaterInstalled = false;
    QString FUpdaterPath;
    bool FCheckVer = false;
    DongleAcceptance::TMinVer FMinVer;
    bool FDeltaOnly = false;
    std::array<quint8, 4> FResources{};
    bool FShowTips = true;
    bool FShownTips = false;
    bool FDonglesChecked = false; // the first change pass has been handled
    bool FTipsWaiting = false;    // the tips wait for it
    bool FSetupFormIni = true;
    bool FResetSizePos = false;
    bool FClosing = false;
    bool FSettingsErrorReported = false; // a failed settings write is told once
    QString FAppVersion;
    QString ApplicationTitle; // the task-bar text
    QString FInfoStr;
    QString IniFilePath;

signals:
    // The window has closed; the application ends.
    void Closed();

protected:
    bool event(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // Building the window (MainUnit.cpp).
    void CreateMenus();
    void CreateLeftColumn();
    void CreateCentre();
    void CreateRightColumn();
    void CreateDebugPanel();
    QWidget* CreateFuseBankPage(QWidget* Parent);
    QWidget* CreateStrapPage(QWidget* Parent);
    void CreateEngineeringTools(QWidget* Panel);
    void LoadImages();
    // A bold caption that AlignChannelLabels keeps just left of its value.
    QLabel* Caption(const QString& Text, QWidget* Parent);

    // Run control (MainUnitRunControl.cpp).
    void SubscribeToSession();
    // Captions, enabled states and timers as the session's state says.
    void ShowRunState();
    void ShowRunMenu(const TRunControls& Controls);
    void ShowSimDongleItem();
    // Where the selected dongle's updater is looked for.
    const QStringList& UpdaterFoldersForSelected() const;
    void ShowRunMessage(const QString& Text, TRunMessage Kind);
    // A mark at the newest sample: on the scope, and in the recording's next row.
    void AddMark(const TMark& Mark);
    void StopRun();
    void StopBarTimer();

    // Debug mode (MainUnitDebug.cpp).
    void ShowFuseBank(int Bank, quint8 Value);
    quint8 ReadFuseBankEdits(int Bank);
    void ShowFuseBanks(const FuseBanks::TBanks& Banks);
    FuseBanks::TBanks FuseBankEdits();
    void SetFuseEditsEnabled(bool Enabled);
    // A key or click in a bit edit; true when the event is used up.
    bool FuseEditEvent(QObject* Watched, QEvent* Event);
    bool FuseEditKeyPress(QLineEdit* Edit, int Bank, int Bit, const QKeyEvent& Key);
    void FuseEditKeyDown(const QKeyEvent& Key);
    void FuseEditClick(QLineEdit* Edit);

    // Engineering tools (MainUnitEngineering.cpp).
    std::array<QSpinBox*, 4> StrapSpins() const;
    // An address or data field as a hexadecimal number; a text that is none is reported.
    std::optional<quint8> HexField(const QLineEdit* Edit);
    // A read's address field: empty (no address), a number, or nothing when it is no number.
    std::optional<std::optional<quint8>> ReadAddress(const QLineEdit* Address);
    // Both fields of a write as numbers; an empty one or one that is no number is reported.
    std::optional<std::pair<quint8, quint8>> AddressAndData(const QLineEdit* Address,
                                                            const QLineEdit* Data);

    // Recording (MainUnitRecording.cpp).
    Recording::TInfo RecordingInfo() const;
    // A usable dongle is listed: a recording's header can name it.
    bool DongleToRecord() const;
    // The link and streamed values a recording's rows are for; a change ends the recording.
    QString RecordedSetUp() const;
    void EndRecordingOnNewSetUp();
    void RecordSample(const quint8* Data, int Size, const TDecodedSample& Sample);
    // Samples went missing for the reason given: the next row says so.
    void RecordGap(const QString& Why);
    void RecordTimerTimer();
    void UpdateRecordControls();
    QString RecordingDuration() const;

    // Live display (MainUnitDisplay.cpp).
    void CreateToolTips();
    void ToolTipManager1BeforeShow(TToolTipItem& ToolTip);
    void SubscribeToDevice();
    void UpdateIndicators(const TDecodedSample& Sample, const TChannelDisplay& Display);
    void UpdateGraphs(const TChannelDisplay& Display);
    void ShowNewestSample();
    void DisplayTimerTimer();
    void BarTimerTimer();
    // Per bar: its top's pixel row (none without a bar) and its colour.
    using TBarLook = std::array<std::pair<std::optional<int>, QRgb>, 2>;
    TBarLook BarLook() const;
    QRegion BarChange(const std::optional<TBarLook>& Old, const TBarLook& New) const;

    // Dongle connection (MainUnitConnection.cpp).
    void KelvraDevList1DeviceChange(bool Arrived);
    // Steps for a present dongle; false where the handler ends.
    bool CheckPresentDongle();
    void FirmwareDecision(bool RFDetected);
    void CheckFirmwareVersion(bool RFDetected, qint32 Minimum);
    void OfferUpdate();
    void StreamingReset();
    void EnableStreamingButtons(bool Enabled);
    void ReportUnopenableDongles();
    void ApplySupplyRule();

    // Status bar (MainUnitStatus.cpp).
    void CreateStatusBar();
    void StatusTimerTimer();
    void UpdateStatusBar();
    void ShowValuesLive(bool Live);
    QList<QLabel*> ValueLabels() const;

    // Shell handlers (MainUnitShell.cpp).
    void FormResize();
    void RePosTimerTimer();
    void MessageBoxErrorItem();
    void MessageBoxInfoItem();
    void SaveMessages();
    void SetMessagesPanelColour(const QColor& Colour);
    bool ApplicationEvents1Message(QObject* Receiver, QEvent* Event);
    void FunctionKeyReleased(const QKeyEvent& Event);
    void ToggleEngineeringPanel();
    void ShowHintTips();
    void ShowAbout();
    bool HighDpi() const;

    // TScopeHost (MainUnitDisplay.cpp)
    bool ScopeStreaming() const override { return Session->State().Streaming; }
    bool ScopeDeltaOnly() const override { return FDeltaOnly; }
    int ScopeChannelCount(int Index) const override { return GetChannelCount(Index); }
    int ScopeChannelLTA(int Index) const override { return GetChannelLTA(Index); }
    void ShowMainWindow() override;
    QString ScopeIniFilePath() const override { return IniFilePath; }
    void ScopeLoadError() override;
    void SettingsNotSaved(const QString& Reason) override;
    void ScopeUserMark(const QString& Text) override { Session->Mark(Text); }
    // TSnrHost
    QString SnrIniFilePath() const override { return IniFilePath; }
    Recording::TInfo SnrRecordingInfo() const override { return RecordingInfo(); }
    void FeedScope(const TDecodedSample& Sample);

    // TStreamSetupHost (MainUnitRunControl.cpp)
    void StreamSetupMessage(const QString& Text, TKvrItemType Kind) override;
    bool BaselineViewOn() const override;

    // TMainFormSettingsTarget
    QRect OuterGeometry() const override;
    bool IsMaximized() const override;
    bool MonitorContains(QPoint Point) const override;
    QSize MonitorWorkArea(QPoint Point) const override;
    void MoveTo(QPoint TopLeft) override;
    void ResizeOuter(int Width, int Height) override;
    void Maximize() override;
    bool HoverHints() const override;
    void SetHoverHints(bool On) override;
    bool BaselineView() const override;
    void SetBaselineView(bool On) override;
    bool ShowTips() const override;
    void SetShowTips(bool On) override;

    TSubscription FDeviceChange;
    std::array<TSubscription, 3> FDeviceEvents;
    std::array<TSubscription, 6> FSessionEvents;
    TRunState FShownState; // what the controls showed last
    // What the bars last drawn look like; nothing after the whole chart was drawn again.
    std::optional<TBarLook> FShownBarLook;
    bool FStartWhenAccepted = false;
    bool FReplay = false;
    std::shared_ptr<TReplayMarks> FReplayMarks;
    QElapsedTimer FRateClock; // since the status bar's last tick
    int FSamplesThisTick = 0;
    int FMeasuredRate = 0;                // samples per second over the last tick
    int FGapsThisRun = 0;                 // data-missed events since the start
    QDateTime FValuesTaken;               // when the newest sample shown came (UTC)
    std::array<QLabel*, 8> FFlagLabels{}; // the indicator labels, lowest flag bit first
    const TPXS733Windows* FWindows = nullptr;
    TModalDialogs& FDialogs;
    QMap<QString, QPixmap> FImages;
    QList<QLabel*> FValueCaptions;
    bool FCMTPanelHidden = false; // the threshold panel's tag: 0 shown, 1 hidden
    int FShownSysFlags = -1;      // the flags the indicator labels show
    TDecodedSample FShownSample;  // the newest sample
    bool FSamplePending = false;  // it is not on the screen yet
    static constexpr int CMTPanelHeight = 80;
    static constexpr const char* BarsLayer = "bars";
    QStringList FUpdaterFolders;
    QStringList FUpdaterFoldersUsed;              // by the updater found last
    QList<QPointer<QObject>> FReportedUnopenable; // dongles told of once per plug-in
    std::unique_ptr<TSampleRecorder> FRecorder;
    QElapsedTimer FRecordClock;
    bool FMissedSinceRecorded = false; // samples went missing since the last one recorded
    QString FRecordNote;               // why, written before the next row
    std::vector<TMark> FRecordMarks;   // marks for the next row
    TSimulatedDongleOffer FSimulated;
    QString FRecordedSetUp;
    bool FLeftShiftDown = false;
    bool FRightShiftDown = false;
};
