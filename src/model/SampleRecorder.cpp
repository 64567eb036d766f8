#include "SampleRecorder.h"

#include "SafeFile.h"

#include <cerrno>
#include <chrono>
#include <sys/stat.h>

TSampleRecorder::~TSampleRecorder() {
    Stop();
}

bool TSampleRecorder::Start(const QString& Path, const QByteArray& Header) {
    Stop();
    FFile.setFileName(Path);
    FQueue.clear();
    FStop = FOverflow = false;
    FFailed = false;
    FError.clear();
    FWritten = 0;
    FBytes = 0;
    // Unbuffered: a row that went out is with the system, and nothing is left to write
    // after a failure has cut the file back.
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        FError = FFile.errorString();
        return false;
    }
    struct stat file {};
    if (!SafeFile::WriteFully(FFile.handle(), Header) || ::fstat(FFile.handle(), &file) != 0) {
        FError = SafeFile::Reason(errno);
        FFile.close();
        return false;
    }
    FDevice = file.st_dev;
    FInode = file.st_ino;
    FBytes = Header.size();
    FRunning = true;
    FWriter = std::thread(&TSampleRecorder::WriterLoop, this);
    return true;
}

void TSampleRecorder::Add(Recording::TSample Sample) {
    if (!FRunning) return;
    std::lock_guard lock(FLock);
    if (FStop || FFailed) return;
    if (FQueue.size() >= QueueLimit) {
        // The disk has not kept up for half a minute: stop rather than lose samples silently.
        FOverflow = true;
        FWake.notify_one();
        return;
    }
    FQueue.push_back(std::move(Sample));
}

void TSampleRecorder::Stop(const QString& Closing) {
    if (!FWriter.joinable()) return;
    {
        std::lock_guard lock(FLock);
        FStop = true;
        FClosing = Closing;
    }
    FWake.notify_one();
    FWriter.join();
    FFile.close();
    FRunning = false;
}

QString TSampleRecorder::Error() const {
    std::lock_guard lock(FLock);
    return FError;
}

void TSampleRecorder::WriterLoop() {
    std::deque<Recording::TSample> batch;
    for (;;) {
        bool stopping = false;
        QString closing;
        {
            std::unique_lock lock(FLock);
            FWake.wait_for(lock, std::chrono::milliseconds(FlushMs),
                           [this] { return FStop || FOverflow; });
            batch.swap(FQueue);
            stopping = FStop;
            if (stopping) closing = FClosing;
            if (FOverflow) {
                FError = "the disk did not keep up with the samples";
                FFailed = true;
            }
        }
        QByteArray rows;
        rows.reserve(qsizetype(batch.size()) * 96);
        for (const Recording::TSample& sample : batch)
            rows += Recording::Row(sample);
        if (!closing.isEmpty()) rows += Recording::CommentLine(closing);
        const bool written = rows.isEmpty() || WriteBatch(rows, qint64(batch.size()));
        batch.clear();
        if (!written || FFailed || stopping) return;
    }
}

bool TSampleRecorder::FileGone() const {
    struct stat file {};
    return ::stat(QFile::encodeName(Path()).constData(), &file) != 0 || file.st_dev != FDevice ||
           file.st_ino != FInode;
}

bool TSampleRecorder::WriteBatch(const QByteArray& Rows, qint64 Count) {
    if (SafeFile::WriteFully(FFile.handle(), Rows)) {
        FBytes += Rows.size();
        FWritten += Count;
        return true;
    }
    const QString reason = SafeFile::Reason(errno);
    // Part of the batch may be on disk: cut back to the last complete row.
    FFile.resize(FBytes);
    std::lock_guard lock(FLock);
    FError = reason;
    FFailed = true;
    return false;
}
