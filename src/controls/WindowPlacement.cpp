#include "WindowPlacement.h"

#include "IniFile.h"
#include "MainFormSettings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <climits>

namespace WindowPlacement {

namespace {
constexpr int TitleBarHeight = 32;
constexpr int FrameBorder = 4;
} // namespace

void Load(const TIniFile& Ini, const QString& Section, QWidget& Window) {
    const QRect current = Window.frameGeometry();
    const bool maximized = Ini.ReadString(Section, "State", "Nor") == "Max";
    const qint64 left = Ini.ReadInteger(Section, "Left", current.left());
    const qint64 top = Ini.ReadInteger(Section, "Top", current.top());
    const int margin = maximized ? 10 : 0;
    if (left + margin > INT_MAX || top + margin > INT_MAX) return; // on no monitor
    const QScreen* screen =
        QGuiApplication::screenAt(QPoint(int(left) + margin, int(top) + margin));
    if (!screen) return;
    Window.move(int(left), int(top));
    if (maximized) {
        Window.setWindowState(Window.windowState() | Qt::WindowMaximized);
        return;
    }
    const std::optional<QSize> size = MainFormSettings::FittedSize(
        Ini.ReadInteger(Section, "Width", current.width()),
        Ini.ReadInteger(Section, "Height", current.height()), screen->availableGeometry().size());
    if (size)
        Window.resize(size->width() - (current.width() - Window.width()),
                      size->height() - (current.height() - Window.height()));
    // All of the window in the work area, not a few pixels of it at an edge.
    const QRect outer(QPoint(int(left), int(top)), Window.frameGeometry().size());
    Window.move(MainFormSettings::FittedTopLeft(outer, screen->availableGeometry()));
}

void PlaceInWorkArea(QWidget& Window, QSize Default) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        Window.resize(Default);
        return;
    }
    const QRect area = screen->availableGeometry();
    // A window not shown yet has no frame; allow for a title bar and borders.
    const QSize frame = Window.isVisible() ? Window.frameGeometry().size() - Window.size()
                                           : QSize(2 * FrameBorder, TitleBarHeight + FrameBorder);
    const QSize outer = (Default + frame).boundedTo(area.size());
    Window.resize(outer - frame);
    Window.move(area.center() - QRect(QPoint(), outer).center());
}

QString Save(TIniFile& Ini, const QString& Section, const QWidget& Window) {
    const QRect outer = Window.frameGeometry();
    const bool saved = Ini.WriteInteger(Section, "Width", outer.width()) &&
                       Ini.WriteInteger(Section, "Height", outer.height()) &&
                       Ini.WriteInteger(Section, "Left", outer.left()) &&
                       Ini.WriteInteger(Section, "Top", outer.top()) &&
                       Ini.WriteString(Section, "State", Window.isMaximized() ? "Max" : "Nor");
    return saved ? QString() : Ini.WriteError();
}

} // namespace WindowPlacement
