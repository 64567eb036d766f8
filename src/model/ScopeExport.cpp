#include "ScopeExport.h"

#include <map>
#include <optional>

namespace ScopeExport {

QByteArray Csv(const std::vector<TTrace>& Traces) {
    QByteArray text = "sample";
    for (const TTrace& trace : Traces)
        text += ',' + trace.Name.toUtf8();
    text += '\n';
    std::map<double, std::vector<std::optional<double>>> rows;
    for (std::size_t column = 0; column < Traces.size(); ++column)
        for (const auto& [x, y] : Traces[column].Points) {
            auto& row = rows[x];
            row.resize(Traces.size());
            row[column] = y;
        }
    for (const auto& [x, values] : rows) {
        text += QByteArray::number(x, 'g', 15);
        for (const std::optional<double>& value : values)
            text += ',' + (value ? QByteArray::number(*value, 'g', 15) : QByteArray());
        text += '\n';
    }
    return text;
}

} // namespace ScopeExport
