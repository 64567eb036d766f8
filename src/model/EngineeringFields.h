#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The texts of the engineering tools' fields and labels.
namespace EngineeringFields {

// A byte as two upper-case hexadecimal digits ("0A").
QString TwoDigits(quint8 Byte);
// An address or data field's text taken as a hexadecimal literal: one or two hexadecimal
// digits and nothing else. Nothing for any other text (a sign, a prefix, a blank, an empty
// text, a value beyond a byte).
std::optional<quint8> HexValue(const QString& Text);
// What the application's error report says of a text that HexValue refuses.
QString ConversionError(const QString& Text);
// The labels beside the short and long timer periods: "= 0.5s" and "= 15s" for the value 0.
// The short period is written with the locale's decimal separator.
QString ShortTimerText(int Value, const QLocale& Locale);
QString LongTimerText(int Value);

} // namespace EngineeringFields
