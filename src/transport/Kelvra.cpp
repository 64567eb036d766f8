#include "Kelvra.h"

#include "Version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

long long IntegerPower(long long Base, int Exponent) {
    long long result = 1;
    for (int i = 0; i < Exponent; ++i)
        result *= Base;
    return result;
}

int HexToInt(const QString& Text) {
    QString digits = Text.trimmed();
    if (digits.startsWith('$'))
        digits.remove(0, 1);
    else if (digits.startsWith("0x", Qt::CaseInsensitive))
        digits.remove(0, 2);
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    // toUInt accepts a sign and its own prefix; a conversion error must not depend on that.
    if (!ok || digits.startsWith('+') || digits.startsWith('-') || digits.startsWith("0x"))
        throw EConvertError(
            QStringLiteral("'%1' is not a valid hexadecimal value").arg(Text).toStdString());
    return static_cast<int>(value);
}

QString IntToBin(unsigned Value, int Digits) {
    QString text(Digits, '0');
    for (int i = Digits - 1; i >= 0 && Value != 0; --i, Value >>= 1)
        if (Value & 1u) text[i] = '1';
    return text;
}

unsigned BinToInt(const QString& Text) {
    unsigned value = 0;
    for (const QChar c : Text)
        value = (value << 1) | (c == '1' ? 1u : 0u);
    return value;
}

QString GetLocalAppDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString GetFileVersionString(const QString& FileName) {
    if (QFileInfo(FileName).canonicalFilePath() !=
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath())
        return {};
    return QStringLiteral("%1.%2.%3.%4")
        .arg(pxs733::VersionMajor)
        .arg(pxs733::VersionMinor)
        .arg(pxs733::VersionRelease)
        .arg(pxs733::VersionBuild);
}
