#include "MainFormSettings.h"

#include <QDir>
#include <QRect>

#include <algorithm>
#include <climits>

namespace MainFormSettings {

namespace {
const QString Company = QStringLiteral("Kelvra");
const QString Product = QStringLiteral("PXS733");
} // namespace

QString IniFilePath(const QString& AppDataFolder) {
    const QString folder = AppDataFolder + '/' + Company + '/';
    return folder + Product + '/' + Company + Product + ".ini";
}

void CreateFolders(const QString& AppDataFolder) {
    if (AppDataFolder.isEmpty() || !QDir().mkpath(AppDataFolder + '/' + Company + '/' + Product))
        throw EIniFileError("cannot create the settings folder");
}

std::optional<QSize> FittedSize(int Width, int Height, QSize WorkArea) {
    if (Width <= 0 || Height <= 0) return std::nullopt;
    const QSize largest = WorkArea.expandedTo(MinimumSize);
    return QSize(std::clamp(Width, MinimumSize.width(), largest.width()),
                 std::clamp(Height, MinimumSize.height(), largest.height()));
}

QPoint FittedTopLeft(QRect Outer, QRect WorkArea) {
    const int left = std::min(Outer.left(), WorkArea.left() + WorkArea.width() - Outer.width());
    const int top = std::min(Outer.top(), WorkArea.top() + WorkArea.height() - Outer.height());
    return QPoint(std::max(left, WorkArea.left()), std::max(top, WorkArea.top()));
}

void Load(TIniFile& Ini, TMainFormSettingsTarget& Window) {
    if (!Ini.Exists()) {
        if (!Ini.WriteInteger(Section, "Width", Window.OuterGeometry().width()))
            throw EIniFileError("cannot create " + Ini.FileName().toStdString());
        Window.SetShowTips(Ini.ReadBool(Section, "Tips", true));
        return;
    }

    const QRect current = Window.OuterGeometry();
    if (Ini.ReadString(Section, "State", "Nor") == "Max") {
        const qint64 left = Ini.ReadInteger(Section, "Left", current.left());
        const qint64 top = Ini.ReadInteger(Section, "Top", current.top());
        // A point past the integer range lies on no monitor.
        const bool inRange = left + 10 <= INT_MAX && top + 10 <= INT_MAX;
        if (inRange && Window.MonitorContains(QPoint(int(left) + 10, int(top) + 10))) {
            Window.MoveTo(QPoint(int(left), int(top)));
            Window.Maximize();
        }
    } else {
        const QPoint topLeft(Ini.ReadInteger(Section, "Left", current.left()),
                             Ini.ReadInteger(Section, "Top", current.top()));
        if (Window.MonitorContains(topLeft)) {
            Window.MoveTo(topLeft);
            const std::optional<QSize> size =
                FittedSize(Ini.ReadInteger(Section, "Width", current.width()),
                           Ini.ReadInteger(Section, "Height", current.height()),
                           Window.MonitorWorkArea(topLeft));
            if (size) Window.ResizeOuter(size->width(), size->height());
        }
    }
    Window.SetHoverHints(Ini.ReadBool(Section, "Hints", true));
    Window.SetBaselineView(Ini.ReadBool(Section, "Delta", false));
    Window.SetShowTips(Ini.ReadBool(Section, "Tips", true));
}

QString Save(TIniFile& Ini, const TMainFormSettingsTarget& Window) {
    const QRect outer = Window.OuterGeometry();
    const bool saved = Ini.WriteInteger(Section, "Width", outer.width()) &&
                       Ini.WriteInteger(Section, "Height", outer.height()) &&
                       Ini.WriteInteger(Section, "Left", outer.left()) &&
                       Ini.WriteInteger(Section, "Top", outer.top()) &&
                       Ini.WriteString(Section, "State", Window.IsMaximized() ? "Max" : "Nor") &&
                       Ini.WriteBool(Section, "Hints", Window.HoverHints()) &&
                       Ini.WriteBool(Section, "Delta", Window.BaselineView()) &&
                       Ini.WriteBool(Section, "Tips", Window.ShowTips());
    return saved ? QString() : Ini.WriteError();
}

} // namespace MainFormSettings
