#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace {

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

QStringList TIniFile::ReadLines() const {
    if (!Exists()) return {};
    QFile file(FFileName);
    const QFileInfo info(FFileName);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw EIniFileError("cannot open " + FFileName.toStdString());
    if (file.size() > MaxFileSize)
        throw EIniFileError("settings file too large: " + FFileName.toStdString());
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        throw EIniFileError("settings file too large: " + FFileName.toStdString());
    QStringList lines = QString::fromUtf8(bytes).split('\n');
    for (QString& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    return lines;
}

QString TIniFile::ReadString(const QString& Section, const QString& Key,
                             const QString& Default) const {
    bool inSection = false;
    for (const QString& line : ReadLines()) {
        if (const auto name = SectionName(line)) {
            inSection = SameName(*name, Section);
            continue;
        }
        if (inSection && !KeyOf(line).isEmpty() && SameName(KeyOf(line), Key))
            return line.mid(line.indexOf('=') + 1).trimmed();
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
    QStringList lines;
    try {
        lines = ReadLines();
    } catch (const EIniFileError&) {
        return false; // never replace a file we could not read
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();

    const QString entry = Key + '=' + Value;
    int sectionEnd = -1; // index after the last line of the section
    bool inSection = false;
    bool written = false;
    for (int i = 0; i < lines.size() && !written; ++i) {
        if (const auto name = SectionName(lines[i])) {
            inSection = SameName(*name, Section);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!lines[i].trimmed().isEmpty()) sectionEnd = i + 1;
        if (SameName(KeyOf(lines[i]), Key)) {
            lines[i] = entry;
            written = true;
        }
    }
    if (!written) {
        if (sectionEnd < 0) {
            if (!lines.isEmpty()) lines << QString();
            lines << '[' + Section + ']' << entry;
        } else {
            lines.insert(sectionEnd, entry);
        }
    }

    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write((lines.join("\r\n") + "\r\n").toUtf8());
    return file.commit();
}

bool TIniFile::WriteInteger(const QString& Section, const QString& Key, int Value) {
    return WriteString(Section, Key, QString::number(Value));
}

bool TIniFile::WriteBool(const QString& Section, const QString& Key, bool Value) {
    return WriteString(Section, Key, Value ? "-1" : "0");
}
