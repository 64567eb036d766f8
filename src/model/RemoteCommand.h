#pragma once

#include <QString>

// The text command another process may send to the running application.
namespace RemoteCommand {

// 2 for a text containing "Close", 1 for one containing "Status" (even with "Close"), else 0.
int Answer(const QString& Text);

// Whether the text asks the main window to close.
bool AsksToClose(const QString& Text);

// Longest command text accepted, in bytes; longer messages are answered 0.
inline constexpr int MaxLength = 4096;

} // namespace RemoteCommand
