#include "Recording.h"

#include <QFileInfo>
#include <QIODevice>
#include <QStringList>

#include <algorithm>
#include <cctype>

namespace Recording {

namespace {

const QByteArray Marker = "# PXS733 recording";
constexpr int ColumnCount = 19;
constexpr int TimeColumn = 0, CounterColumn = 1, MissedColumn = 16, RawColumn = 17,
              MarkerColumn = 18;
constexpr int HeaderBytes = 3;
constexpr int MaxSampleBytes = 32768;
// A row holds at most a sample's bytes in hex and a few numbers; longer is no row of ours.
constexpr qint64 MaxLineLength = 2 * MaxSampleBytes + 256;
// A replay waits out the time between two rows: a longer step is no recording of ours.
constexpr double MaxTimeStepMs = 3600.0 * 1000;

} // namespace

QByteArray ColumnNames() {
    QByteArray names = "time_ms,counter,count,lta,delta,compensation,sens_multiplier,"
                       "comp_multiplier";
    for (int bit = 0; bit < 8; ++bit)
        names += ',' + FlagName(bit).toLatin1();
    return names + ",missed,raw,marker";
}

namespace {

QByteArray Number(int Value) {
    return QByteArray::number(Value);
}

} // namespace

QByteArray RawSample(const quint8* Data, int Size) {
    const int length =
        Size > HeaderBytes && Data[2] > 0 ? std::min(Size, HeaderBytes + Data[2]) : Size;
    return QByteArray(reinterpret_cast<const char*>(Data), length);
}

QByteArray CommentLine(const QString& Text) {
    QString line = Text;
    line.replace('\n', ' ').replace('\r', ' ');
    return "# " + line.toUtf8() + '\n';
}

QByteArray Header(const TInfo& Info) {
    QByteArray text = Marker + '\n';
    auto comment = [&text](const char* Name, const QString& Value) {
        text += CommentLine(QString::fromLatin1(Name) + ": " + Value);
    };
    comment("application", Info.Application);
    comment("dongle", Info.Dongle);
    comment("serial", Info.Serial);
    comment("firmware", Info.Firmware);
    comment("link", Info.Link);
    comment("supply", Info.Supply);
    comment("stream", Info.Stream);
    comment("start", Info.Start.toUTC().toString(Qt::ISODateWithMs));
    return text + ColumnNames() + '\n';
}

QByteArray Row(const TSample& Sample) {
    const TDecodedSample& d = Sample.Decoded;
    QByteArray row;
    if (!Sample.Note.isEmpty()) row = CommentLine(Sample.Note);
    row += QByteArray::number(Sample.TimeMs, 'f', 3);
    row += ',' + Number(Sample.Raw.size() > 1 ? quint8(Sample.Raw[1]) : 0);
    row += ',' + (d.CountShown ? Number(d.Counts[0]) : QByteArray());
    row += ',' + (d.LTAShown ? Number(d.LTAs[0]) : QByteArray());
    row += ',' + (d.CountShown && d.LTAShown ? Number(d.LTAs[0] - d.Counts[0]) : QByteArray());
    row += ',' + (d.Compensation ? Number(*d.Compensation) : QByteArray());
    row += ',' + (d.Multipliers ? Number((*d.Multipliers & 0x30) >> 4) : QByteArray());
    row += ',' + (d.Multipliers ? Number(*d.Multipliers & 0x0F) : QByteArray());
    for (int bit = 0; bit < 8; ++bit)
        row += ',' + (d.SysFlags ? Number((*d.SysFlags >> bit) & 1) : QByteArray());
    row += Sample.Missed ? ",1," : ",0,";
    QString marker = Sample.Marker;
    marker.replace(',', ';').replace('\n', ' ').replace('\r', ' ');
    return row + Sample.Raw.toHex().toUpper() + ',' + marker.toUtf8() + '\n';
}

std::optional<TRow> TReader::Fail(const QString& Reason) {
    FEnded = true;
    FError = QStringLiteral("line %1: %2").arg(FLine).arg(Reason);
    return std::nullopt;
}

QByteArray TReader::ReadLine() {
    FLineBuffer.resize(MaxLineLength);
    const qint64 length = FDevice.readLine(FLineBuffer.data(), MaxLineLength);
    return length > 0 ? QByteArray(FLineBuffer.constData(), length) : QByteArray();
}

bool TReader::ReadHeader() {
    const QByteArray columns = ColumnNames();
    for (;;) {
        ++FLine;
        QByteArray line = ReadLine();
        if (line.isEmpty()) {
            Fail(FLine == 1 ? "the file is empty, not a recording" : "the header row is missing");
            return false;
        }
        const bool complete = line.endsWith('\n');
        line = line.trimmed();
        if (FLine == 1 && line != Marker) {
            Fail("not a recording of this application");
            return false;
        }
        if (!complete) {
            Fail("the file breaks off in the header");
            return false;
        }
        if (FLine == 1) continue;
        if (line.startsWith('#')) {
            FComments << QString::fromUtf8(line.mid(2));
            continue;
        }
        // Recordings from before the marker column have one column less.
        FColumnCount = line == columns ? ColumnCount : ColumnCount - 1;
        if (line != columns && line + ",marker" != columns) {
            Fail("not the header row of a recording");
            return false;
        }
        return true;
    }
}

std::optional<TRow> TReader::Next() {
    if (FEnded) return std::nullopt;
    if (!FHeaderRead) {
        if (!ReadHeader()) return std::nullopt;
        FHeaderRead = true;
    }
    QByteArray line;
    do { // comment lines between rows tell of what happened there, e.g. a gap
        if (!line.isEmpty()) FComments << QString::fromUtf8(line.mid(2).trimmed());
        ++FLine;
        line = ReadLine();
    } while (line.startsWith('#') && line.endsWith('\n'));
    if (line.isEmpty()) {
        FEnded = true; // the end
        return std::nullopt;
    }
    if (!line.endsWith('\n'))
        return Fail(line.size() >= MaxLineLength - 1 ? "the line is too long"
                                                     : "the file breaks off in this row");
    const QList<QByteArray> fields = line.trimmed().split(',');
    if (fields.size() != FColumnCount)
        return Fail(QStringLiteral("%1 columns, %2 expected").arg(fields.size()).arg(FColumnCount));
    TRow row;
    row.Line = FLine;
    bool ok = false;
    row.TimeMs = fields[TimeColumn].toDouble(&ok);
    if (!ok || !(row.TimeMs >= 0)) return Fail("the time is not a number of milliseconds");
    if (row.TimeMs < FLastTime) return Fail("the time goes backwards");
    if (row.TimeMs - FLastTime > MaxTimeStepMs)
        return Fail("the time jumps ahead by more than an hour");
    const uint counter = fields[CounterColumn].toUInt(&ok);
    if (!ok || counter > 255) return Fail("the counter is not a number from 0 to 255");
    row.Counter = quint8(counter);
    const QByteArray& missed = fields[MissedColumn];
    if (missed != "0" && missed != "1") return Fail("the missed column is neither 0 nor 1");
    row.Missed = missed == "1";
    const QByteArray& hex = fields[RawColumn];
    const bool hexDigits =
        std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); });
    row.Raw = QByteArray::fromHex(hex);
    if (!hexDigits || hex.size() % 2 != 0 || row.Raw.size() <= HeaderBytes ||
        row.Raw.size() > MaxSampleBytes)
        return Fail("the raw bytes are not a sample in hexadecimal");
    if (fields.size() > MarkerColumn) row.Marker = QString::fromUtf8(fields[MarkerColumn]);
    if (row.Missed)
        row.Lost = FLastCounter ? std::max(1, (row.Counter - *FLastCounter - 1) & 0xFF) : 1;
    FLastTime = row.TimeMs;
    FLastCounter = row.Counter;
    return row;
}

bool TReplayFile::Open(const QString& Path) {
    FFile.setFileName(Path);
    // A FIFO or a device would block the start or never end.
    const QFileInfo info(Path);
    if (info.exists() && !info.isFile()) {
        FOpenError = "not a regular file";
        return false;
    }
    if (!FFile.open(QIODevice::ReadOnly)) {
        FOpenError = FFile.errorString();
        return false;
    }
    FFirst = FReader.Next();
    return FReader.Error().isEmpty();
}

std::optional<TRow> TReplayFile::Next() {
    if (FFirst) return std::exchange(FFirst, std::nullopt);
    return FFile.isOpen() ? FReader.Next() : std::nullopt;
}

QString TReplayFile::Comment(const QString& Name) const {
    const QString prefix = Name + ": ";
    for (const QString& comment : Comments())
        if (comment.startsWith(prefix)) return comment.mid(prefix.size());
    return {};
}

QString TReplayFile::Error() const {
    return FOpenError.isEmpty() ? FReader.Error() : FOpenError;
}

} // namespace Recording
