#pragma once

#include "CountStatistics.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// The texts the scope shows under its chart: the statistics of each shown trace over the
// visible samples, and what the two cursors read.
namespace ScopeReadings {

// "CH1 Count  n 600  min 990  max 1036  p-p 46  mean 1012.3  sd 10.41"
QString StatisticsLine(const QString& Trace, const TCountStatistics& Statistics);

// A trace's values at cursor A and B; nothing where it has no point at that sample.
struct TCursorValues {
    QString Trace;
    std::array<std::optional<int>, 2> At;
};

// "Cursor A 1200  B 1266  B-A 66 samples", then per trace "CH1 Count  A 1012  B 998  B-A -14";
// nothing while no cursor is placed.
QStringList CursorLines(const std::array<std::optional<int>, 2>& Cursors,
                        const std::vector<TCursorValues>& Traces);

} // namespace ScopeReadings
