#include "IniFile.h"

#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <optional>

namespace {

// One line of the file as it is on disk, its line end included, and its text for matching.
struct TLine {
    QByteArray Bytes;
    QString Text; // without the line end
};

// The lines of a file, and the line end that lines written by us get.
struct TLines {
    QList<TLine> Lines;
    QByteArray LineEnd = "\r\n";
};

TLines SplitLines(const QByteArray& Bytes) {
    TLines result;
    const qsizetype firstLf = Bytes.indexOf('\n');
    if (firstLf >= 0 && (firstLf == 0 || Bytes[firstLf - 1] != '\r')) result.LineEnd = "\n";
    qsizetype start = 0;
    while (start < Bytes.size()) {
        qsizetype end = Bytes.indexOf('\n', start);
        end = end < 0 ? Bytes.size() : end + 1;
        const QByteArray bytes = Bytes.mid(start, end - start);
        QByteArray text = bytes;
        while (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        result.Lines.append({bytes, QString::fromUtf8(text)});
        start = end;
    }
    return result;
}

// Name of the section a "[name]" line opens, or nothing for any other line.
std::optional<QString> SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith('[') && t.endsWith(']'))
        return t.mid(1, t.size() - 2).trimmed();
    return std::nullopt;
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Key of a "key=value" line (empty when the line has no '=').
QString KeyOf(const QString& line) {
    const int eq = line.indexOf('=');
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

} // namespace

TIniFile::TIniFile(QString FileName) : FFileName(std::move(FileName)) {}

bool TIniFile::Exists() const {
    return QFileInfo::exists(FFileName);
}

QByteArray TIniFile::ReadBytes() const {
    if (!Exists()) return {};
    QFile file(FFileName);
    const QFileInfo info(FFileName);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw EIniFileError("cannot open " + FFileName.toStdString());
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        throw EIniFileError("settings file too large: " + FFileName.toStdString());
    return bytes;
}

QString TIniFile::ReadString(const QString& Section, const QString& Key,
                             const QString& Default) const {
    bool inSection = false;
    for (const TLine& line : SplitLines(ReadBytes()).Lines) {
        if (const auto name = SectionName(line.Text)) {
            inSection = SameName(*name, Section);
            continue;
        }
        if (inSection && !KeyOf(line.Text).isEmpty() && SameName(KeyOf(line.Text), Key))
            return line.Text.mid(line.Text.indexOf('=') + 1).trimmed();
    }
    return Default;
}

int TIniFile::ReadInteger(const QString& Section, const QString& Key, int Default) const {
    const QString text = ReadString(Section, Key, QString());
    if (text.isNull()) return Default;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw EIniFileError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

bool TIniFile::ReadBool(const QString& Section, const QString& Key, bool Default) const {
    const QString text = ReadString(Section, Key, QString());
    if (text.isNull()) return Default;
    if (SameName(text, "true")) return true;
    if (SameName(text, "false")) return false;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw EIniFileError(
            QStringLiteral("'%1' is not a valid boolean value").arg(text).toStdString());
    return value != 0;
}

bool TIniFile::WriteString(const QString& Section, const QString& Key, const QString& Value) {
    TLines file;
    try {
        file = SplitLines(ReadBytes());
    } catch (const EIniFileError& e) {
        FWriteError = QString::fromStdString(e.what()); // never replace a file we could not read
        return false;
    }
    QList<TLine>& lines = file.Lines;
    while (!lines.isEmpty() && lines.last().Text.trimmed().isEmpty())
        lines.removeLast();
    // Lines of ours follow the last line of the file on lines of their own.
    if (!lines.isEmpty() && !lines.last().Bytes.endsWith('\n')) lines.last().Bytes += file.LineEnd;
    auto ownLine = [&file](const QString& Text) {
        return TLine{Text.toUtf8() + file.LineEnd, Text};
    };

    const TLine entry = ownLine(Key + '=' + Value);
    int sectionEnd = -1; // index after the last line of the section
    bool inSection = false;
    bool written = false;
    for (int i = 0; i < lines.size() && !written; ++i) {
        if (const auto name = SectionName(lines[i].Text)) {
            inSection = SameName(*name, Section);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!lines[i].Text.trimmed().isEmpty()) sectionEnd = i + 1;
        if (SameName(KeyOf(lines[i].Text), Key)) {
            lines[i] = entry;
            written = true;
        }
    }
    if (!written) {
        if (sectionEnd < 0) {
            if (!lines.isEmpty()) lines << ownLine(QString());
            lines << ownLine('[' + Section + ']') << entry;
        } else {
            lines.insert(sectionEnd, entry);
        }
    }

    QByteArray bytes;
    for (const TLine& line : lines)
        bytes += line.Bytes;
    // A file we write is always one we can read again.
    if (bytes.size() > MaxFileSize) {
        FWriteError = "the settings file would grow past 1 MiB";
        return false;
    }
    FWriteError = SafeFile::Write(FFileName, bytes);
    return FWriteError.isEmpty();
}

bool TIniFile::WriteInteger(const QString& Section, const QString& Key, int Value) {
    return WriteString(Section, Key, QString::number(Value));
}

bool TIniFile::WriteBool(const QString& Section, const QString& Key, bool Value) {
    return WriteString(Section, Key, Value ? "-1" : "0");
}
