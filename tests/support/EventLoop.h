#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <ostream>

// Readable failure messages for Qt strings in GoogleTest.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

// Runs the event loop until Done holds or TimeoutMs passed; returns Done's last value.
inline bool ProcessEventsUntil(const std::function<bool()>& Done, int TimeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > TimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the events already posted.
inline void ProcessPostedEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}
