#pragma once

#include "Event.h"
#include "Recording.h"
#include "SnrCapture.h"
#include "SnrFigures.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class TModalDialogs;
class TRunSession;

// What the noise and SNR window reads from the main window.
class TSnrHost {
public:
    virtual ~TSnrHost() = default;
    // The settings file (the levels are kept in section "Snr") and its write errors.
    virtual QString SnrIniFilePath() const = 0;
    virtual void SettingsNotSaved(const QString& Reason) = 0;
    // What an exported capture's comment lines tell.
    virtual Recording::TInfo SnrRecordingInfo() const = 0;
};

// The noise and SNR window: a capture of one channel's counts untouched and touched on the
// running stream, its figures and verdict, the two captures' histograms, the captured strip
// and a table of the captures made in this session. Not modal: the live windows stay in view.
class TSnrForm : public QWidget {
    Q_OBJECT
public:
    // Without samples for this long a capture is invalid.
    static constexpr int SampleTimeoutMs = 2000;

    explicit TSnrForm(QWidget* Parent = nullptr);
    ~TSnrForm() override;

    // The main window, the run it captures from and the dialogs.
    void Bind(TSnrHost& Host, TRunSession& Session, TModalDialogs& Dialogs);

    void StartClick();
    void CaptureNowClick();
    void CancelClick();
    void ExportClick();
    void SavePictureClick();

    // The figures of the last valid capture.
    const std::optional<Snr::TFigures>& Figures() const { return FFigures; }
    const TSnrCapture* Capture() const { return FCapture.get(); }

    QComboBox* ChannelCombo;
    QSpinBox* SamplesSpin;
    QLineEdit* ThresholdEdit;
    QLineEdit* PassEdit;
    QLineEdit* GoodEdit;
    QPushButton* StartButton;
    QPushButton* CaptureNowButton;
    QPushButton* CancelButton;
    QPushButton* ExportButton;
    QPushButton* PictureButton;
    QLabel* StepLabel;
    QProgressBar* Progress;
    QLabel* ResultCard;
    QCustomPlot* Histogram;
    QCustomPlot* Strip;
    QTableWidget* RunsTable;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void CreateControls();
    void Sample(const TDecodedSample& Decoded, const quint8* Data, int Size);
    void ShowStep();
    void Finish();
    void ShowResult(const Snr::TFigures& Figures);
    void ShowHistogram();
    void ShowStrip(std::optional<double> Threshold);
    void AddRun(const Snr::TFigures& Figures);
    void Tell(const QString& Text, bool Error = false);
    // The levels and threshold as entered; nothing (and the reason told) when unusable.
    bool ReadSettings(Snr::TLevels& Levels, std::optional<double>& Threshold);
    void LoadSettings();
    void SaveSettings();

    TSnrHost* FHost = nullptr;
    TRunSession* FSession = nullptr;
    TModalDialogs* FDialogs = nullptr;
    std::unique_ptr<TSnrCapture> FCapture;
    std::array<TSubscription, 2> FSampleEvents; // only while capturing
    bool FMissed = false;
    QList<Recording::TSample> FRows; // the captured strip's samples
    QElapsedTimer FSinceStart;       // from the start button
    QElapsedTimer FClock;            // from the first captured sample
    double FDurationMs = 0;
    Snr::TLevels FLevels;
    std::optional<double> FThreshold;
    std::optional<Snr::TFigures> FFigures;
    QTimer* FWatchdog;
    bool FSettingsLoaded = false;
};
