#pragma once

#include "Recording.h"

#include <QByteArray>
#include <QString>

// Where the companion's samples go: a file or standard output, written in blocks. A reader
// that went away (a closed pipe) ends the output quietly; any other failure is kept with the
// system's reason.
class TSampleOutput {
public:
    enum class TFormat { Csv, JsonLines };

    TSampleOutput(int Fd, TFormat Format) : FFd(Fd), FFormat(Format) {}
    TSampleOutput(const TSampleOutput&) = delete;
    TSampleOutput& operator=(const TSampleOutput&) = delete;

    // The recording's comment lines and header row (CSV only).
    void Begin(const Recording::TInfo& Info);
    void Add(const Recording::TSample& Sample);
    // A closing note after the last row: a comment line in CSV, an object with only "note" in
    // JSON lines.
    void End(const QString& Note);
    // Writes what is buffered; false once the output failed or its reader went away.
    bool Flush();

    bool ReaderGone() const { return FReaderGone; }
    QString Error() const { return FError; }
    qint64 Samples() const { return FSamples; }

private:
    static constexpr qsizetype FlushBytes = 1 << 16;

    int FFd;
    TFormat FFormat;
    QByteArray FBuffer;
    QList<QByteArray> FColumns;
    bool FReaderGone = false;
    QString FError;
    qint64 FSamples = 0;
};

// A recording row as one JSON object: numbers as numbers, empty values as null, the raw
// bytes and the marker column as strings, and a note (why samples are missing before it) as
// member "note".
QByteArray JsonLine(const QList<QByteArray>& Columns, const QByteArray& Row,
                    const QString& Note = {});
