#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>

// A folder on a full disk. Where the test may mount (as root) it is a small tmpfs of its own,
// filled up by Fill(); elsewhere Fill() sets this process's file-size limit (with SIGXFSZ
// ignored), under which a write past it fails as on a full disk. Files put there before
// Fill() stay readable.
class TFullDisk {
public:
    TFullDisk() {
        FMounted = ::mount("tmpfs", QFile::encodeName(FFolder.path()).constData(), "tmpfs",
                           MS_NOSUID | MS_NODEV, "size=256k") == 0;
    }
    ~TFullDisk() {
        if (FLimited) ::setrlimit(RLIMIT_FSIZE, &FOldLimit);
        if (FMounted) ::umount2(QFile::encodeName(FFolder.path()).constData(), MNT_DETACH);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

    QString FilePath(const QString& Name) const { return FFolder.filePath(Name); }
    QString Path() const { return FFolder.path(); }

    // Puts a file with the given bytes in place (before the disk is full).
    void Put(const QString& Name, const QByteArray& Bytes) const {
        QFile file(FilePath(Name));
        if (file.open(QIODevice::WriteOnly)) file.write(Bytes);
    }
    QByteArray Read(const QString& Name) const {
        QFile file(FilePath(Name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    // The names in the folder, the filler left out: a failed save leaves no temporary file.
    QStringList Files() const {
        QStringList names = QDir(FFolder.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(".filler");
        return names;
    }

    // Leaves room for about Room bytes more (to the page; under the limit, in each file).
    void Fill(qint64 Room = 0) {
        if (FMounted) {
            QFile filler(FilePath(".filler"));
            filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
            filler.resize(std::max<qint64>(0, filler.size() - Room));
            return;
        }
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &FOldLimit);
        rlimit limited = FOldLimit;
        limited.rlim_cur = rlim_t(Room);
        FLimited = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }

    // What a write on this full disk fails with.
    QString Reason() const {
        return QString::fromLocal8Bit(std::strerror(FMounted ? ENOSPC : EFBIG));
    }

private:
    QTemporaryDir FFolder;
    bool FMounted = false;
    bool FLimited = false;
    rlimit FOldLimit{};
};
