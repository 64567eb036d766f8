#pragma once

#include <QString>
#include <stdexcept>

// Raised when the settings file cannot be read or holds a value that does not parse.
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An INI file accessed key by key, in the manner of the platform's profile functions:
// every read looks at the file as it is on disk, every write reaches the disk at once.
// Section and key names compare case-insensitively. Lines other than the one a write sets
// are kept byte for byte, with their line ends; new lines take the file's line end.
class TIniFile {
public:
    explicit TIniFile(QString FileName);

    const QString& FileName() const { return FFileName; }
    bool Exists() const;

    // An absent key gives the default. A file that exists but cannot be read raises.
    QString ReadString(const QString& Section, const QString& Key, const QString& Default) const;
    // Decimal integers; a present value that is not one raises.
    int ReadInteger(const QString& Section, const QString& Key, int Default) const;
    // "0" is false; "-1", any other non-zero integer and "true" are true; "false" is false.
    bool ReadBool(const QString& Section, const QString& Key, bool Default) const;

    // Returns false when the file could not be written (WriteError() says why); the old file
    // is then untouched.
    bool WriteString(const QString& Section, const QString& Key, const QString& Value);
    bool WriteInteger(const QString& Section, const QString& Key, int Value);
    bool WriteBool(const QString& Section, const QString& Key, bool Value);
    const QString& WriteError() const { return FWriteError; }

    // A settings file larger than this is not a settings file; a write that would make the
    // file larger fails.
    static constexpr qint64 MaxFileSize = 1 << 20;

private:
    // The file's bytes; nothing when it does not exist. Raises when it cannot be read.
    QByteArray ReadBytes() const;

    QString FFileName;
    QString FWriteError;
};
