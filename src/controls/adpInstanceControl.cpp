#include "adpInstanceControl.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

TadpInstanceControl* TheGuard = nullptr;
const QByteArray RaiseRequest = "raise\n";

// Opens (creating) a file and takes its exclusive lock; -1 when it is held elsewhere or
// cannot be had. Blocking waits for the lock.
int LockFile(const QString& Path, bool Blocking) {
    const int fd = ::open(QFile::encodeName(Path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | (Blocking ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TadpInstanceControl::TadpInstanceControl(QObject* Owner) : QObject(Owner) {
    if (TheGuard)
        throw EInstanceControl("Only one copy of this component can be dropped on a form!");
    TheGuard = this;
}

TadpInstanceControl::~TadpInstanceControl() {
    // Counting out: the lock goes with the file.
    if (FSlotFile >= 0) ::close(FSlotFile);
    TheGuard = nullptr;
}

QString TadpInstanceControl::MappingName(const QString& ProgramPath) {
    QString name = ProgramPath;
    name.remove('\\');
    name.remove(' ');
    return name;
}

QString TadpInstanceControl::Folder() const {
    // The shared name holds slashes; its hash names the files and sockets of the copies.
    const QByteArray key =
        QCryptographicHash::hash(FMappingName.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return base + "/pxs733-instances-" + QString::fromLatin1(key);
}

QString TadpInstanceControl::ServerName(int Slot) const {
    return QDir(Folder()).filePath(QStringLiteral("copy%1.socket").arg(Slot));
}

bool TadpInstanceControl::Register(const QString& ProgramPath) {
    if (!Enabled) return true;
    FMappingName = MappingName(ProgramPath);
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) return true; // no place to register: this copy runs unguarded
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // One copy registers at a time; the slots held tell how many copies run.
    const int common = LockFile(QDir(folder).filePath("registration.lock"), true);
    if (common < 0) return true;
    int slot = -1;
    for (quint32 i = 0; i < MaxInstances && slot < 0; ++i) {
        FSlotFile = LockFile(QDir(folder).filePath(QStringLiteral("copy%1.lock").arg(i)), false);
        if (FSlotFile >= 0) slot = int(i);
    }
    QFile last(QDir(folder).filePath("last"));
    if (slot >= 0) {
        if (last.open(QIODevice::WriteOnly | QIODevice::Truncate))
            last.write(QByteArray::number(slot));
        FServer = new QLocalServer(this);
        QLocalServer::removeServer(ServerName(slot));
        FServer->setSocketOptions(QLocalServer::UserAccessOption);
        connect(FServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* client = FServer->nextPendingConnection()) {
                connect(client, &QLocalSocket::readyRead, this, [this, client] {
                    if (client->readAll().startsWith(RaiseRequest.trimmed()) && OnRaiseRequest)
                        OnRaiseRequest();
                    client->disconnectFromServer();
                });
                connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            }
        });
        FServer->listen(ServerName(slot));
        ::close(common);
        return true;
    }
    // Refused: the copy that registered last comes to the front.
    ::close(common);
    const quint32 lastSlot = last.open(QIODevice::ReadOnly) ? last.readAll().toUInt() : 0;
    if (OnMaxInstancesReached) OnMaxInstancesReached(this, lastSlot);
    QLocalSocket socket;
    socket.connectToServer(ServerName(int(lastSlot)));
    if (socket.waitForConnected(1000)) {
        socket.write(RaiseRequest);
        socket.waitForBytesWritten(1000);
        socket.waitForDisconnected(1000);
    }
    return false;
}
