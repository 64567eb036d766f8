#include "ScopeMarkers.h"

#include <algorithm>

QString MarkKindName(TMarkKind Kind) {
    switch (Kind) {
    case TMarkKind::Write:
        return "Writes";
    case TMarkKind::Power:
        return "Power, supply, link";
    case TMarkKind::Flag:
        return "Flags";
    case TMarkKind::User:
        break;
    }
    return "User marks";
}

namespace {
const char* const ColumnKinds[MarkKindCount] = {"write", "power", "flag", "user"};
} // namespace

QString MarkColumnText(TMarkKind Kind, const QString& Text) {
    return QStringLiteral("[%1] %2").arg(ColumnKinds[int(Kind)], Text);
}

std::pair<TMarkKind, QString> FromMarkColumn(const QString& Column) {
    for (int kind = 0; kind < MarkKindCount; ++kind) {
        const QString prefix = QStringLiteral("[%1] ").arg(ColumnKinds[kind]);
        if (Column.startsWith(prefix)) return {TMarkKind(kind), Column.mid(prefix.size())};
    }
    return {TMarkKind::User, Column};
}

void TScopeMarkers::DropBefore(int X) {
    while (!FMarkers.empty() && FMarkers.front().X < X)
        FMarkers.pop_front();
}

std::pair<std::size_t, std::size_t> TScopeMarkers::Between(double From, double To) const {
    const auto byX = [](const TScopeMarker& M, double X) { return M.X < X; };
    const auto first = std::lower_bound(FMarkers.begin(), FMarkers.end(), From, byX);
    const auto last = std::lower_bound(first, FMarkers.end(), std::nextafter(To, To + 1), byX);
    return {std::size_t(first - FMarkers.begin()), std::size_t(last - FMarkers.begin())};
}
