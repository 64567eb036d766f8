#pragma once

#include <QString>

class QSize;
class QWidget;
class TIniFile;

// A window's placement in a section of the settings file: "State" ("Max" or "Nor"), "Left",
// "Top", "Width" and "Height", as the main window keeps its own.
namespace WindowPlacement {

// Moves a maximised window to (Left, Top) when (Left + 10, Top + 10) lies on a monitor; a
// normal one when (Left, Top) does, then gives it the stored size fitted to that monitor and
// moves it, where needed, so that all of it lies in the monitor's work area.
// Off every monitor the window keeps its place. Raises EIniFileError on a value that does not
// parse.
void Load(const TIniFile& Ini, const QString& Section, QWidget& Window);
// A window's first placement, before any is stored: the Default client size, made smaller
// where the primary monitor's work area needs it, centred in that area.
void PlaceInWorkArea(QWidget& Window, QSize Default);
// Writes the five keys in the order Width, Height, Left, Top, State, up to the first that
// cannot be written; gives that write's reason, or nothing when all were written.
QString Save(TIniFile& Ini, const QString& Section, const QWidget& Window);

} // namespace WindowPlacement
