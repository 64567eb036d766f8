#pragma once

#include <QString>

#include <deque>
#include <utility>

// What a marker on the scope tells of: a write to the IC, the power, supply or link, a
// change of a system flag, or the user's own mark.
enum class TMarkKind { Write, Power, Flag, User };
constexpr int MarkKindCount = 4;

// "Writes", "Power, supply, link", "Flags", "User marks"
QString MarkKindName(TMarkKind Kind);

// A mark as a recording's marker column keeps it: "[write] Bank 2 = 0x5A".
QString MarkColumnText(TMarkKind Kind, const QString& Text);
// And back; a text without a known kind is the user's.
std::pair<TMarkKind, QString> FromMarkColumn(const QString& Column);

// A labelled point in the run: at the scope's sample number X.
struct TScopeMarker {
    int X = 0;
    TMarkKind Kind = TMarkKind::User;
    QString Text;
};

// The scope's markers in the order they came (so by X), with the oldest dropped as the
// scope's buffers drop their points.
class TScopeMarkers {
public:
    void Add(TScopeMarker Marker) { FMarkers.push_back(std::move(Marker)); }
    // Drops the markers before X.
    void DropBefore(int X);
    void Clear() { FMarkers.clear(); }
    std::size_t Count() const { return FMarkers.size(); }

    // The markers from X From to X To (both included), as a range of indexes.
    std::pair<std::size_t, std::size_t> Between(double From, double To) const;
    const TScopeMarker& operator[](std::size_t Index) const { return FMarkers[Index]; }

private:
    std::deque<TScopeMarker> FMarkers;
};
