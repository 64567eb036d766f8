#include "MainFormSettings.h"

#include <QDir>
#include <QRect>

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

void Load(TIniFile& Ini, TMainFormSettingsTarget& Window) {
    if (!Ini.Exists()) {
        if (!Ini.WriteInteger(Section, "Width", Window.OuterGeometry().width()))
            throw EIniFileError("cannot create " + Ini.FileName().toStdString());
        Window.SetShowTips(Ini.ReadBool(Section, "Tips", true));
        return;
    }

    const QRect current = Window.OuterGeometry();
    if (Ini.ReadString(Section, "State", "Nor") == "Max") {
        const QPoint topLeft(Ini.ReadInteger(Section, "Left", current.left()),
                             Ini.ReadInteger(Section, "Top", current.top()));
        if (Window.MonitorContains(topLeft + QPoint(10, 10))) {
            Window.MoveTo(topLeft);
            Window.Maximize();
        }
    } else {
        const QPoint topLeft(Ini.ReadInteger(Section, "Left", current.left()),
                             Ini.ReadInteger(Section, "Top", current.top()));
        if (Window.MonitorContains(topLeft)) {
            Window.MoveTo(topLeft);
            Window.ResizeOuter(Ini.ReadInteger(Section, "Width", current.width()),
                               Ini.ReadInteger(Section, "Height", current.height()));
        }
    }
    Window.SetHoverHints(Ini.ReadBool(Section, "Hints", true));
    Window.SetBaselineView(Ini.ReadBool(Section, "Delta", false));
    Window.SetShowTips(Ini.ReadBool(Section, "Tips", true));
}

void Save(TIniFile& Ini, const TMainFormSettingsTarget& Window) {
    const QRect outer = Window.OuterGeometry();
    Ini.WriteInteger(Section, "Width", outer.width());
    Ini.WriteInteger(Section, "Height", outer.height());
    Ini.WriteInteger(Section, "Left", outer.left());
    Ini.WriteInteger(Section, "Top", outer.top());
    Ini.WriteString(Section, "State", Window.IsMaximized() ? "Max" : "Nor");
    Ini.WriteBool(Section, "Hints", Window.HoverHints());
    Ini.WriteBool(Section, "Delta", Window.BaselineView());
    Ini.WriteBool(Section, "Tips", Window.ShowTips());
}

} // namespace MainFormSettings
