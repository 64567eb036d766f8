#include "SampleOutput.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Text as a JSON string, quotes included.
QByteArray JsonString(const QString& Text) {
    const QByteArray quoted = QJsonDocument(QJsonArray{Text}).toJson(QJsonDocument::Compact);
    return quoted.mid(1, quoted.size() - 2); // without the brackets
}

} // namespace

void TSampleOutput::Begin(const Recording::TInfo& Info) {
    FColumns = Recording::ColumnNames().split(',');
    if (FFormat == TFormat::Csv) FBuffer += Recording::Header(Info);
}

void TSampleOutput::Add(const Recording::TSample& Sample) {
    if (FReaderGone || !FError.isEmpty()) return;
    QByteArray row = Recording::Row(Sample);
    if (FFormat == TFormat::Csv) {
        FBuffer += row;
    } else {
        if (!Sample.Note.isEmpty()) row.remove(0, row.indexOf('\n') + 1); // a member instead
        FBuffer += JsonLine(FColumns, row, Sample.Note);
    }
    ++FSamples;
    if (FBuffer.size() >= FlushBytes) Flush();
}

void TSampleOutput::End(const QString& Note) {
    if (Note.isEmpty() || FReaderGone || !FError.isEmpty()) return;
    FBuffer += FFormat == TFormat::Csv ? Recording::CommentLine(Note)
                                       : "{\"note\":" + JsonString(Note) + "}\n";
}

bool TSampleOutput::Flush() {
    qsizetype done = 0;
    while (done < FBuffer.size() && !FReaderGone && FError.isEmpty()) {
        const ssize_t n = ::write(FFd, FBuffer.constData() + done, size_t(FBuffer.size() - done));
        if (n >= 0) {
            done += n;
        } else if (errno == EPIPE) {
            FReaderGone = true;
        } else if (errno != EINTR) {
            FError = QString::fromLocal8Bit(std::strerror(errno));
        }
    }
    FBuffer.clear();
    return !FReaderGone && FError.isEmpty();
}

QByteArray JsonLine(const QList<QByteArray>& Columns, const QByteArray& Row, const QString& Note) {
    const QList<QByteArray> values = Row.trimmed().split(',');
    QByteArray line = "{";
    for (qsizetype i = 0; i < Columns.size() && i < values.size(); ++i) {
        if (i > 0) line += ',';
        line += '"' + Columns[i] + "\":";
        if (values[i].isEmpty())
            line += "null";
        else if (Columns[i] == "raw")
            line += '"' + values[i] + '"';
        else if (Columns[i] == "marker")
            line += JsonString(QString::fromUtf8(values[i]));
        else
            line += values[i];
    }
    if (!Note.isEmpty()) line += ",\"note\":" + JsonString(Note);
    return line + "}\n";
}
