#include "ScopeReadings.h"

namespace ScopeReadings {

namespace {

QString Value(const std::optional<int>& V) {
    return V ? QString::number(*V) : QStringLiteral("-");
}

// "B-A 66", or nothing without both ends; with a sign, since a fall is what a touch shows.
QString Difference(const std::array<std::optional<int>, 2>& Ends, const QString& Unit = {}) {
    if (!Ends[0] || !Ends[1]) return {};
    const qint64 d = qint64(*Ends[1]) - *Ends[0];
    return QStringLiteral("  B-A %1%2").arg(d > 0 ? "+" : "").arg(d) + Unit;
}

} // namespace

QString StatisticsLine(const QString& Trace, const TCountStatistics& S) {
    if (S.N == 0) return Trace + "  no points in view";
    return QStringLiteral("%1  n %2  min %3  max %4  p-p %5  mean %6  sd %7")
        .arg(Trace)
        .arg(S.N)
        .arg(S.Min)
        .arg(S.Max)
        .arg(S.PeakToPeak)
        .arg(S.Mean, 0, 'f', 1)
        .arg(S.StdDev, 0, 'f', 2);
}

QStringList CursorLines(const std::array<std::optional<int>, 2>& Cursors,
                        const std::vector<TCursorValues>& Traces) {
    if (!Cursors[0] && !Cursors[1]) return {};
    QStringList lines{
        QStringLiteral("Cursor A %1  B %2").arg(Value(Cursors[0]), Value(Cursors[1])) +
        Difference(Cursors, " samples")};
    for (const TCursorValues& t : Traces)
        lines << QStringLiteral("%1  A %2  B %3").arg(t.Trace, Value(t.At[0]), Value(t.At[1])) +
                     Difference(t.At);
    return lines;
}

} // namespace ScopeReadings
