#pragma once

#include "IniFile.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// What the main window's saved settings act on. The window implements it; tests use a fake.
class TMainFormSettingsTarget {
public:
    virtual ~TMainFormSettingsTarget() = default;

    virtual QRect OuterGeometry() const = 0; // frame position and outer size
    virtual bool IsMaximized() const = 0;
    virtual bool MonitorContains(QPoint Point) const = 0;
    // Size of the work area of the monitor that contains Point (Point lies on one).
    virtual QSize MonitorWorkArea(QPoint Point) const = 0;
    virtual void MoveTo(QPoint TopLeft) = 0;
    virtual void ResizeOuter(int Width, int Height) = 0;
    virtual void Maximize() = 0;

    virtual bool HoverHints() const = 0;
    virtual void SetHoverHints(bool On) = 0;
    virtual bool BaselineView() const = 0;
    virtual void SetBaselineView(bool On) = 0; // runs the check box's click handler on change
    virtual bool ShowTips() const = 0;
    virtual void SetShowTips(bool On) = 0;
};

// The main window's section of the settings file: where it lives, how it is loaded at the
// first activation and written at close.
namespace MainFormSettings {

inline const QString Section = QStringLiteral("MainForm");

// The smallest outer size a loaded placement gives the window.
inline constexpr QSize MinimumSize{320, 240};

// A stored outer size made to fit a monitor's work area, or nothing when the stored values
// cannot be a window's size (zero or negative).
std::optional<QSize> FittedSize(int Width, int Height, QSize WorkArea);

// Where a window of the given outer rectangle goes so that all of it lies in the work area
// (its top-left corner when it is larger than the area).
QPoint FittedTopLeft(QRect Outer, QRect WorkArea);

// Full path of the settings file under the given application-data folder.
QString IniFilePath(const QString& AppDataFolder);

// Creates the folders of the settings file; raises EIniFileError when that fails.
void CreateFolders(const QString& AppDataFolder);

// Applies the saved settings step by step. Raises EIniFileError at the first failure;
// whatever was applied before it stays applied. A missing file is created holding "Width".
void Load(TIniFile& Ini, TMainFormSettingsTarget& Window);

// Writes the eight keys in their order, up to the first that cannot be written; gives that
// write's reason, or nothing when all were written.
QString Save(TIniFile& Ini, const TMainFormSettingsTarget& Window);

} // namespace MainFormSettings
