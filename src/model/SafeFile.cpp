#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates a new file beside Target for writing, readable as a new file would be (the kernel
// applies the umask). Its name goes to Name.
int CreateTemporary(const QFileInfo& Target, QByteArray& Name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        Name =
            QFile::encodeName(QStringLiteral("%1/.%2.%3.tmp")
                                  .arg(Target.absolutePath(), Target.fileName())
                                  .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0')));
        const int fd = ::open(Name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

namespace SafeFile {

QString Reason(int Error) {
    return qt_error_string(Error); // strerror's text, safe on any thread
}

bool WriteFully(int Fd, const QByteArray& Bytes) {
    const char* data = Bytes.constData();
    qsizetype left = Bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(Fd, data, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

QString Write(const QString& Path, const QByteArray& Bytes) {
    QFileInfo info(Path);
    // A link stays a link: the file it names is the one replaced.
    if (info.isSymLink()) info = QFileInfo(info.symLinkTarget());
    if (info.isDir()) return Reason(EISDIR);
    const QString target = info.absoluteFilePath();
    // A file the user may not write is not replaced behind his back.
    if (info.exists() && ::access(QFile::encodeName(target).constData(), W_OK) != 0)
        return Reason(errno);

    QByteArray temporary;
    const int fd = CreateTemporary(info, temporary);
    if (fd < 0) return Reason(errno);

    // The replacement keeps the old file's permissions.
    struct stat old {};
    bool ok = (::stat(QFile::encodeName(target).constData(), &old) != 0 ||
               ::fchmod(fd, old.st_mode & 07777) == 0) &&
              WriteFully(fd, Bytes) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return Reason(error);
    }
    return QString();
}

} // namespace SafeFile
