#include "ScopeMarkers.h"

#include <QStringList>

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
const QString Separator = QStringLiteral(" | ");
} // namespace

QString MarkColumn(const std::vector<TMark>& Marks) {
    QStringList texts;
    for (const TMark& m : Marks) {
        QString text = m.Text;
        text.replace(',', ';').replace('|', '/').replace('\n', ' ').replace('\r', ' ');
        texts << QStringLiteral("[%1] %2").arg(ColumnKinds[int(m.Kind)], text);
    }
    return texts.join(Separator);
}

QString MarkedAfterLastSample(const std::vector<TMark>& Marks) {
    return Marks.empty() ? QString() : "Marked after the last sample: " + MarkColumn(Marks);
}

std::vector<TMark> FromMarkColumn(const QString& Column) {
    std::vector<TMark> marks;
    for (const QString& field : Column.split(Separator, Qt::SkipEmptyParts)) {
        TMark mark{TMarkKind::User, field};
        for (int kind = 0; kind < MarkKindCount; ++kind) {
            const QString prefix = QStringLiteral("[%1] ").arg(ColumnKinds[kind]);
            if (field.startsWith(prefix)) mark = {TMarkKind(kind), field.mid(prefix.size())};
        }
        marks.push_back(mark);
    }
    return marks;
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

void TReplayMarks::Add(qint64 Row, const QString& Column) {
    if (Column.isEmpty()) return;
    const std::lock_guard hold(FLock);
    FPending.emplace_back(Row, Column);
}

std::vector<TMark> TReplayMarks::Next() {
    const std::lock_guard hold(FLock);
    ++FArrived;
    std::vector<TMark> due;
    while (!FPending.empty() && FPending.front().first <= FArrived) {
        for (TMark& mark : FromMarkColumn(FPending.front().second))
            if (mark.Kind == TMarkKind::Write || mark.Kind == TMarkKind::User)
                due.push_back(std::move(mark));
        FPending.pop_front();
    }
    return due;
}
