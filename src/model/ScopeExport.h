#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The scope's traces as a CSV table: one row per sample number, one column per trace, a
// trace without a point at that sample left empty.
namespace ScopeExport {

struct TTrace {
    QString Name;
    std::vector<std::pair<double, double>> Points; // sample number, value
};

QByteArray Csv(const std::vector<TTrace>& Traces);

} // namespace ScopeExport
