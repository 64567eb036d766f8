#include "SampleOutput.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <unistd.h>

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
        else
            line += values[i];
    }
    if (!Note.isEmpty()) {
        const QByteArray quoted = QJsonDocument(QJsonArray{Note}).toJson(QJsonDocument::Compact);
        line += ",\"note\":" + quoted.mid(1, quoted.size() - 2); // without the brackets
    }
    return line + "}\n";
}
