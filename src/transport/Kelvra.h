#pragma once

#include <QString>
#include <stdexcept>

// Small general utilities shared by the windows and the device layer.

// Raised by HexToInt for text that is not a hexadecimal number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Base raised to Exponent by repeated multiplication; 1 for Exponent 0 or less.
long long IntegerPower(long long Base, int Exponent);

// Text read as hexadecimal digits (an optional leading '$' or "0x" is accepted).
// Empty text, other characters or a value beyond 32 bits raise EConvertError.
int HexToInt(const QString& Text);

// Exactly Digits characters '0'/'1', most significant first.
QString IntToBin(unsigned Value, int Digits);

// Sum of 2^(position from the right) over every '1'; any other character counts as 0.
unsigned BinToInt(const QString& Text);

// The user's local (non-roaming) application-data folder.
QString GetLocalAppDataFolder();

// "major.minor.release.build" of the given program file; the running program carries the
// version it was built with, any other file has no version record and gives "".
QString GetFileVersionString(const QString& FileName);
