#pragma once

#include <QByteArray>
#include <QString>

// The one way the program replaces a file: the bytes go to a temporary file beside it, every
// write, the flush to the disk and the close are checked, and only then is the temporary file
// renamed over the old one. On any failure the temporary file is removed and the old file is
// left as it was.
namespace SafeFile {

// Empty on success; otherwise the system's reason ("No space left on device").
QString Write(const QString& Path, const QByteArray& Bytes);

// Writes all of Bytes to an open file, going on after short writes; false with errno set.
bool WriteFully(int Fd, const QByteArray& Bytes);
// The system's text for an errno value.
QString Reason(int Error);

} // namespace SafeFile
