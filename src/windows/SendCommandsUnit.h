#pragma once

#include "Event.h"
#include "KelvraHIDTool.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TModalDialogs;

// The command trace window: while it is shown, every request written to the dongle appears as
// a line of its first 37 bytes, with the time it was sent.
class TSendCommands : public QWidget {
    Q_OBJECT
public:
    explicit TSendCommands(QWidget* Parent = nullptr);
    ~TSendCommands() override;

    // Settings file, the report of a failure to write it, and dialogs, once the main window
    // has them.
    void Bind(TModalDialogs& Dialogs, std::function<QString()> IniFilePath,
              std::function<void(const QString&)> SettingsNotSaved);
    // Shows the window and traces the tool's requests until the window closes.
    void StartTracing(TKelvraHidTool& Tool);
    bool Tracing() const { return FTracing; }
    // The lines as the list holds them, filtered out or not.
    QStringList Lines() const;

    // The left edge of a button centred in the gap between two others (halves toward zero).
    static int CentredLeft(int LeftButtonRight, int RightButtonLeft, int Width);

    QTreeWidget* ListBox1;
    QPushButton* Button1; // "Save To File"
    QPushButton* Button2; // "Clear"
    QPushButton* OKBtn;   // "Close"
    QLineEdit* FilterEdit;
    QCheckBox* IncludeTimesCheck;

protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void SendCommandsTrace(const TKvrByteArray& Command);
    void AddLine(const QString& Time, const QString& Line);
    void SaveToFile();
    void ApplyFilter();

    TSubscription FTrace;
    bool FTracing = false;
    QElapsedTimer FClock; // since tracing started
    TModalDialogs* FDialogs = nullptr;
    std::function<QString()> FIniFilePath;
    std::function<void(const QString&)> FSettingsNotSaved;
    std::optional<QPoint> FRunPos;
    bool FSetupFormIni = true;
    bool FFormActivated = false;
};
