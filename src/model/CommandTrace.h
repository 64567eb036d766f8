#pragma once

#include "KelvraHIDTool.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The command trace: one line per request written to the dongle, and the file it is saved to.
namespace CommandTrace {

inline constexpr int BytesShown = 37;

// The first 37 bytes of a request, each as two upper-case hexadecimal digits and a blank.
QString Line(const TKvrByteArray& Request);
// The command code of a line (its third byte), or nothing for a line that is not a request.
std::optional<quint8> CodeOf(const QString& Line);
// The text of a saved trace: every line ended by CR LF; with Times, each line after its time
// in milliseconds and a tab.
QByteArray FileText(const QStringList& Lines, const QList<qint64>& Times, bool WithTimes);

} // namespace CommandTrace
