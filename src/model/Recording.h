#pragma once

#include "SampleDecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

// The CSV file of a recording: comment lines that say where the samples come from, one header
// row, then one row per sample with its decoded values and its raw bytes.
namespace Recording {

// What the comment lines tell.
struct TInfo {
    QString Application; // "pxs733 1.0.1.10"
    QString Dongle;      // model
    QString Serial;
    QString Firmware;
    QString Link;   // "1-Wire", "I2C"
    QString Supply; // "3.3 V"
    QString Stream; // the streaming set-up's ticked items
    QDateTime Start;
};

// One sample as it arrived: its time since the recording started, the sample as the dongle
// sent it (header bytes 0..2 included, byte 1 the sample counter), its decoded values, and
// whether samples went missing just before it, and a comment line written before its row
// (why they went missing).
struct TSample {
    double TimeMs = 0;
    QByteArray Raw;
    TDecodedSample Decoded;
    bool Missed = false;
    QString Note;
    // What was marked at this sample ("[write] Bank 2 = 0x5A"), in the marker column.
    QString Marker;
};

// A streamed report as a row's raw bytes keep it: the dongle's three header bytes and the
// sample, without the padding after it (byte 2 tells the sample's length).
QByteArray RawSample(const quint8* Data, int Size);
// "# Text" and the line end, the text on one line.
QByteArray CommentLine(const QString& Text);
// The comment lines and the header row.
QByteArray Header(const TInfo& Info);
// The header row's column names, without the line end.
QByteArray ColumnNames();
// The row of a sample, line end included.
QByteArray Row(const TSample& Sample);

// What a replay needs of a row.
struct TRow {
    int Line = 0;
    double TimeMs = 0;
    quint8 Counter = 0;
    bool Missed = false;
    int Lost = 0; // samples lost just before this one: the counter's step less one, at least 1
    QByteArray Raw;
    QString Marker;

    // The sample as the IC sent it, without the dongle's three header bytes.
    QByteArray SampleBytes() const { return Raw.mid(3); }
};

// Reads a recording row by row from a device opened for reading, never more than one line
// at a time in memory. The first line that is not what this application writes ends it with
// an error naming the line; the rows before it have been handed out.
class TReader {
public:
    explicit TReader(QIODevice& Device) : FDevice(Device) {}

    // The next row; nothing at the end or at an error.
    std::optional<TRow> Next();
    // Empty, or what was wrong, e.g. "line 7: 12 columns, 18 expected".
    QString Error() const { return FError; }
    // The comment lines read so far (the header's, then those between rows), without "# ".
    const QStringList& Comments() const { return FComments; }

private:
    // The next line, line end included; empty at the end. Read into one buffer kept for all
    // lines, since a line may be up to 64 KiB long.
    QByteArray ReadLine();
    bool ReadHeader();
    std::optional<TRow> Fail(const QString& Reason);

    QIODevice& FDevice;
    int FColumnCount = 0; // of the rows: the header row's
    int FLine = 0;
    bool FHeaderRead = false;
    bool FEnded = false;
    double FLastTime = 0;
    std::optional<quint8> FLastCounter;
    QString FError;
    QStringList FComments;
    QByteArray FLineBuffer;
};

// A recording file opened for a replay.
class TReplayFile {
public:
    TReplayFile() : FReader(FFile) {}
    // Opens the file and reads up to its first row; false with Error() when the file cannot
    // be read or is not a recording.
    bool Open(const QString& Path);
    std::optional<TRow> Next();
    QString Error() const;
    const QStringList& Comments() const { return FReader.Comments(); }
    // The value of a "# Name: value" line; empty when there is none.
    QString Comment(const QString& Name) const;

private:
    QFile FFile;
    QString FOpenError;
    TReader FReader;
    std::optional<TRow> FFirst;
};

} // namespace Recording
