#pragma once

#include <QString>

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

// What a marker on the scope tells of: a write to the IC, the power, supply or link, a
// change of a system flag, or the user's own mark.
enum class TMarkKind { Write, Power, Flag, User };
constexpr int MarkKindCount = 4;

// "Writes", "Power, supply, link", "Flags", "User marks"
QString MarkKindName(TMarkKind Kind);

struct TMark {
    TMarkKind Kind = TMarkKind::User;
    QString Text;
    bool operator==(const TMark&) const = default;
};

// The marks of one sample as a recording's or an export's marker column keeps them:
// "[write] Bank 2 = 0x5A | [user] Mark". Commas, bars and line ends in a text are replaced,
// so that the column stays one CSV field and splits back into the same marks.
QString MarkColumn(const std::vector<TMark>& Marks);
// And back; a text without a known kind is the user's.
std::vector<TMark> FromMarkColumn(const QString& Column);
// The closing note of a recording whose last marks came after its last sample, so have no
// row: "Marked after the last sample: [power] Power off". Empty without marks.
QString MarkedAfterLastSample(const std::vector<TMark>& Marks);

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

// The marks of a replayed recording, handed back at the sample they were recorded at. Rows
// are read (on the replaying dongle's thread) ahead of their samples' arrival, so the marks of
// a row wait for its sample.
class TReplayMarks {
public:
    // The marker column of the replay's row Row (the first row is 1).
    void Add(qint64 Row, const QString& Column);
    // The replay's next sample arrived: the writes and the user's marks due at it. The
    // replaying run marks its own power, supply and link, and the flag changes of the samples.
    std::vector<TMark> Next();

private:
    std::mutex FLock;
    std::deque<std::pair<qint64, QString>> FPending;
    qint64 FArrived = 0;
};
