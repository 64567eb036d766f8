#include "EngineeringFields.h"

namespace EngineeringFields {

QString TwoDigits(quint8 Byte) {
    return QString::number(Byte, 16).toUpper().rightJustified(2, '0');
}

std::optional<quint8> HexValue(const QString& Text) {
    if (Text.isEmpty() || Text.size() > 2) return std::nullopt;
    uint value = 0;
    for (const QChar c : Text) {
        const int digit = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
        if (digit < 0) return std::nullopt;
        value = value * 16 + uint(digit);
    }
    return quint8(value);
}

QString ConversionError(const QString& Text) {
    return QStringLiteral("'$%1' is not a valid integer value").arg(Text);
}

QString ShortTimerText(int Value, const QLocale& Locale) {
    QLocale locale = Locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return "= " + locale.toString((Value + 1) * 0.5, 'g', QLocale::FloatingPointShortest) + 's';
}

QString LongTimerText(int Value) {
    return "= " + QString::number((Value + 1) * 15) + 's';
}

} // namespace EngineeringFields
