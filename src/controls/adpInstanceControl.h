#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

class QLocalServer;

// Raised for a second guard in one process.
class EInstanceControl : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Lets at most MaxInstances copies of the program run at once from one program path. Each
// admitted copy holds a lock of its own that the kernel releases when the copy ends, however
// it ends, so a crashed copy never locks the user out; copies register one at a time under a
// common lock. A refused copy asks the copy that registered last to come to the front.
class TadpInstanceControl : public QObject {
    Q_OBJECT
public:
    using TMaxInstancesReachedEvent =
        std::function<void(TadpInstanceControl* Sender, quint32 LastInstanceHandle)>;

    explicit TadpInstanceControl(QObject* Owner = nullptr);
    ~TadpInstanceControl() override;

    bool Enabled = true;
    quint32 MaxInstances = 1;
    TMaxInstancesReachedEvent OnMaxInstancesReached;
    // Called in an admitted copy when a refused one asks it to come to the front.
    std::function<void()> OnRaiseRequest;

    // Registers this copy of the program at ProgramPath; false when it is refused.
    bool Register(const QString& ProgramPath);
    // The name the copies of one program path share: the path without backslashes and blanks.
    static QString MappingName(const QString& ProgramPath);
    QString Name() const { return FMappingName; }

private:
    QString Folder() const;
    QString ServerName(int Slot) const;

    QString FMappingName;
    int FSlotFile = -1; // the lock this copy holds while it runs
    QLocalServer* FServer = nullptr;
};
