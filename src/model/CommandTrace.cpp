#include "CommandTrace.h"

namespace CommandTrace {

QString Line(const TKvrByteArray& Request) {
    QString line;
    line.reserve(BytesShown * 3);
    for (int i = 0; i < BytesShown; ++i)
        line += QString::number(Request[size_t(i)], 16).toUpper().rightJustified(2, '0') + ' ';
    return line;
}

std::optional<quint8> CodeOf(const QString& Line) {
    if (Line.size() != BytesShown * 3) return std::nullopt;
    bool ok = false;
    const uint code = Line.mid(6, 2).toUInt(&ok, 16);
    return ok ? std::optional<quint8>(quint8(code)) : std::nullopt;
}

QByteArray FileText(const QStringList& Lines, const QList<qint64>& Times, bool WithTimes) {
    QByteArray text;
    for (int i = 0; i < Lines.size(); ++i) {
        if (WithTimes && i < Times.size() && Times[i] >= 0)
            text += QByteArray::number(Times[i]) + '\t';
        text += Lines[i].toLatin1() + "\r\n";
    }
    return text;
}

} // namespace CommandTrace
