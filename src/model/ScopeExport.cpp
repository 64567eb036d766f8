#include "ScopeExport.h"

#include <map>
#include <optional>

namespace ScopeExport {

QByteArray Csv(const std::vector<TTrace>& Traces, const std::vector<TScopeMarker>& Markers) {
    QByteArray text = "sample";
    for (const TTrace& trace : Traces)
        text += ',' + trace.Name.toUtf8();
    text += ",marker\n";
    struct TRow {
        std::vector<std::optional<double>> Values;
        std::vector<TMark> Marks;
    };
    std::map<double, TRow> rows;
    for (std::size_t column = 0; column < Traces.size(); ++column)
        for (const auto& [x, y] : Traces[column].Points) {
            TRow& row = rows[x];
            row.Values.resize(Traces.size());
            row.Values[column] = y;
        }
    for (const TScopeMarker& m : Markers)
        rows[m.X].Marks.push_back({m.Kind, m.Text});
    for (auto& [x, row] : rows) {
        row.Values.resize(Traces.size());
        text += QByteArray::number(x, 'g', 15);
        for (const std::optional<double>& value : row.Values)
            text += ',' + (value ? QByteArray::number(*value, 'g', 15) : QByteArray());
        text += ',' + MarkColumn(row.Marks).toUtf8() + '\n';
    }
    return text;
}

} // namespace ScopeExport
