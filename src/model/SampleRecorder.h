#pragma once

#include "Recording.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/types.h>
#include <thread>

// Writes a recording without holding up the caller: samples go into a bounded queue and a
// thread of its own formats and writes them, handing them to the system at least every
// FlushMs (a crash of the program loses no more). A failed write
// cuts the file back to its last complete row and stops the writing; the caller finds out
// through Failed().
class TSampleRecorder {
public:
    static constexpr int FlushMs = 200;
    static constexpr std::size_t QueueLimit = 1 << 18; // 32 s at 8000 samples/s

    TSampleRecorder() = default;
    ~TSampleRecorder();
    TSampleRecorder(const TSampleRecorder&) = delete;
    TSampleRecorder& operator=(const TSampleRecorder&) = delete;

    // Creates or replaces the file and writes the header; false with Error() set when the
    // file cannot be written.
    bool Start(const QString& Path, const QByteArray& Header);
    // Takes a sample; dropped only once the recording has failed or stopped.
    void Add(Recording::TSample Sample);
    // Writes what is queued, then Closing as a comment line when there is one (what came
    // after the last sample), and closes the file.
    void Stop(const QString& Closing = {});

    bool Recording() const { return FRunning; }
    bool Failed() const { return FFailed; }
    QString Error() const;
    QString Path() const { return FFile.fileName(); }
    // The file was deleted or replaced since the recording started: its rows are lost.
    bool FileGone() const;
    qint64 SamplesWritten() const { return FWritten; }
    qint64 BytesWritten() const { return FBytes; }

private:
    void WriterLoop();
    // Writes one batch of rows; false (and the file cut back) when the write fails.
    bool WriteBatch(const QByteArray& Rows, qint64 Count);

    QFile FFile;
    std::thread FWriter;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::deque<Recording::TSample> FQueue;
    bool FStop = false;
    QString FClosing;
    bool FOverflow = false;
    QString FError;
    std::atomic<bool> FRunning = false;
    std::atomic<bool> FFailed = false;
    std::atomic<qint64> FWritten = 0;
    std::atomic<qint64> FBytes = 0; // the file's complete rows end here
    dev_t FDevice = 0;              // the file written, to tell when it is gone
    ino_t FInode = 0;
};
