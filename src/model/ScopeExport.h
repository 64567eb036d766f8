#pragma once

#include "ScopeMarkers.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The scope's traces as a CSV table: one row per sample number with a point or a marker, one
// column per trace (empty where the trace has no point at that sample), and the marks made at
// that sample in a last column as recordings keep them.
namespace ScopeExport {

struct TTrace {
    QString Name;
    std::vector<std::pair<double, double>> Points; // sample number, value
};

QByteArray Csv(const std::vector<TTrace>& Traces, const std::vector<TScopeMarker>& Markers = {});

} // namespace ScopeExport
