#include "SampleOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

void TSampleOutput::Begin(const Recording::TInfo& Info) {
    FColumns = Recording::ColumnNames().split(',');
    if (FFormat == TFormat::Csv) FBuffer += Recording::Header(Info);
}

void TSampleOutput::Add(const Recording::TSample& Sample) {
    if (FReaderGone || !FError.isEmpty()) return;
    const QByteArray row = Recording::Row(Sample);
    FBuffer += FFormat == TFormat::Csv ? row : JsonLine(FColumns, row);
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

QByteArray JsonLine(const QList<QByteArray>& Columns, const QByteArray& Row) {
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
    return line + "}\n";
}
