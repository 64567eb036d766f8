#pragma once

#include "ScopeBuffers.h"
#include "ScopeMarkers.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class TCategoryPanel;
class TCategoryPanelGroup;
class TModalDialogs;

// What the scope window reads from the main window.
class TScopeHost {
public:
    virtual ~TScopeHost() = default;
    virtual bool ScopeStreaming() const = 0;
    virtual bool ScopeDeltaOnly() const = 0;
    // Newest count and LTA of channel 0 or 1.
    virtual int ScopeChannelCount(int Index) const = 0;
    virtual int ScopeChannelLTA(int Index) const = 0;
    virtual void ShowMainWindow() = 0;
    // The settings file, and the main window's reports of its read and write errors.
    virtual QString ScopeIniFilePath() const = 0;
    virtual void ScopeLoadError() = 0;
    virtual void SettingsNotSaved(const QString& Reason) = 0;
    // The user marked the newest sample; the host puts the marker on the scope (AddMarker).
    virtual void ScopeUserMark(const QString& Text) = 0;
};

// The scope window: streamed values plotted against the running sample number, refreshed ten
// times a second with only the points that came since the last refresh.
class TScopeForm : public QWidget {
    Q_OBJECT
public:
    explicit TScopeForm(QWidget* Parent = nullptr);
    ~TScopeForm() override;

    void Bind(TScopeHost& Host, TModalDialogs& Dialogs);

    // The sample protocol of the main window: raise NrOfChartPoints, add the sample's points,
    // raise XPos.
    void AddXY(int SeriesNr, int X, int Y);
    int XPos() const { return FXPos; }
    void SetXPos(int X) { FXPos = X; }
    int NrOfChartPoints() const { return FBuffers.NrOfChartPoints(); }
    void SetNrOfChartPoints(int Count) { FBuffers.SetNrOfChartPoints(Count); }
    bool ActiveChannels() const { return FActiveChannels; }
    const TScopeBuffers& Buffers() const { return FBuffers; }

    // Whether the streamed values have counts and LTA to plot.
    void SetCurCHs(bool Enabled);
    void SetLTACHs(bool Enabled);
    void CH0CurCheckClick();
    // The buffered points of the shown traces as CSV; the chart as PNG or PDF.
    void ExportDataClick();
    void SavePictureClick();
    void RescaleScopeButtonClick();
    void ApplyXRange();
    // The refresh tick: the points since the last refresh go to the chart. While the main
    // window shows display frames, the frame nearest the tick refreshes instead, so that the
    // user-interface thread wakes once for both.
    void UpdateTimerTimer();
    // The main window shows a display frame now, and the next one after FrameMs.
    void FrameShown(int FrameMs);
    // The main window's Baseline View: deltas instead of counts, no LTA.
    void ShowDeltas(bool On);
    // A labelled marker at the newest sample; the user's own with AddMarkerClick (key M).
    void AddMarker(TMarkKind Kind, const QString& Text);
    void AddMarkerClick();
    const TScopeMarkers& Markers() const { return FMarkers; }
    bool MarkersShown(TMarkKind Kind) const;
    // Cursors A (0) and B (1) at a sample number, or removed. The keys A and B put one at the
    // pointer, the arrow keys move the last one placed, Delete removes both; a drag from the
    // X axis places one, a drag of a cursor line moves it.
    void SetCursor(int Index, std::optional<int> X);
    const std::array<std::optional<int>, 2>& Cursors() const { return FCursors; }
    // Fits the settings panel's width to whether its groups need a scroll bar.
    void CheckGategoryPanelSize();

    QCustomPlot* ScopeGraph;
    QPushButton* SettingsButton;
    TCategoryPanelGroup* ScopeCategoryPanel;
    TCategoryPanel* CurValCategory;
    TCategoryPanel* LTACategory;
    TCategoryPanel* SetupCategory;
    QCheckBox* CH0CurCheck;
    QCheckBox* CH0LTACheck;
    QLabel* CH0PTShape;
    QLineEdit* MaxEdit;
    QPushButton* SetMaxButton;
    QLineEdit* MinEdit;
    QPushButton* SetMinButton;
    QSpinBox* YIncSpin;
    QPushButton* YIncButton;
    QSpinBox* XRangeSpin;
    QPushButton* SetXRangeButton;
    QPushButton* ResetScopeButton;
    QPushButton* RescaleScopeButton;
    QPushButton* BarGraphButton;
    QPushButton* ExportDataButton;
    QPushButton* SavePictureButton;
    QLineEdit* MarkerTextEdit;
    QPushButton* AddMarkerButton;
    std::array<QCheckBox*, MarkKindCount> FMarkerKindBoxes{};
    QLabel* ColorShape0;
    QLabel* LTAColShape0;
    QCheckBox* LegendCheck;
    QCheckBox* StatisticsCheck;
    // The statistics of the shown traces over the visible samples, and the cursors' readings.
    QLabel* ReadingsLabel;
    QWidget* ReadingsStrip; // holds ReadingsLabel, under the chart
    QCheckBox* XCoordCheck;
    QCheckBox* YCoordCheck;
    QLabel* CoordinatesLabel;
    QTimer* UpdateTimer;

    // Channel colours (count and LTA traces of channel index 0, and of index 1).
    std::array<QColor, 2> FScopeColors{QColor(0, 0, 255), QColor(255, 0, 0)};
    bool Zoomed() const { return FZoomed; }

protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CreateChart();
    void CreateSettingsPanel();
    QWidget* CreateMarkerControls(QWidget* Parent);
    QWidget* CreateReadingControls(QWidget* Parent);
    // Before every replot: the legend names the traces with points, the readings follow the
    // visible range and the cursors.
    void UpdateLegend();
    void UpdateReadings();
    // The traces drawn from: those with points.
    std::vector<int> TracesWithPoints() const;
    // "CH1 Count: 1012 (sample 1234)" of the point nearest to the pointer, if one is close.
    QString NearestPointText(QPoint Pixel) const;
    // The cursor whose line is under the pointer, if any.
    std::optional<int> CursorAt(QPoint Pixel) const;
    // Handles a press, drag or release that places or moves a cursor; true when it did.
    bool CursorMouse(QEvent::Type Type, QPoint Pixel);
    bool CursorKey(const QKeyEvent& Event);
    // The full text of the marker under the pointer, if any.
    QString MarkerAt(QPoint Pixel) const;
    void SetMaxButtonClick();
    void SetMinButtonClick();
    void YIncButtonClick();
    void SetXRangeButtonClick();
    void ResetScopeButtonClick();
    void SettingsButtonClick();
    void SetYRange(double Min, double Max);
    void SetTraceBoxEnabled(QCheckBox& Box, bool& Remembered, bool Enabled);
    void ApplySeriesColours();
    void PickColour();
    void CoordCheckClick();
    void MoveCoordinatesLabel(QPoint At);
    void ChartMouseRelease(QMouseEvent* Event);
    void UndoZoom();
    void AnimateZoom(const QCPRange& X, const QCPRange& Y);
    void LoadSettings();
    void SaveSettings();
    void Refresh();
    bool FrameDueSoon() const;

    TScopeBuffers FBuffers;
    TScopeMarkers FMarkers;
    std::array<std::optional<int>, 2> FCursors;
    int FLastCursor = 0;               // the one the arrow keys move
    std::optional<int> FDraggedCursor; // while a cursor is dragged
    std::vector<int> FLegendSlots;     // the traces the legend names now
    std::vector<int> FVisibleValues;   // kept for the statistics of each replot
    std::array<QCPGraph*, TScopeBuffers::SlotCount> FSeries{};
    int FXPos = 0;
    int FPrevXPos = 0;
    QElapsedTimer FSinceRefresh;
    QElapsedTimer FSinceFrame; // valid once the main window shows frames
    int FFrameMs = 0;
    int FXRange = 600;
    bool FActiveChannels = true;
    bool FEnCurChs = true;
    bool FEnLTAChs = false;
    bool FNoUpdate = false;
    bool FZoomed = false;
    double FZoomX = 0;
    bool FSetupFormIni = true;
    bool FFormActivated = false;
    QPoint FPressAt;                                   // where a button went down on the chart
    std::optional<std::array<double, 4>> FSavedScales; // X and Y ranges before the first zoom
    std::optional<QPoint> FRunPos;                     // where the window was closed
    static constexpr int FCatPanelWidth = 201;
    TScopeHost* FHost = nullptr;
    TModalDialogs* FDialogs = nullptr;
};
