#include "RemoteCommandServer.h"

#include "RemoteCommand.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

namespace {
constexpr int ClientTimeoutMs = 2000;
} // namespace

TRemoteCommandServer::TRemoteCommandServer(THandler Handler, QObject* Parent)
    : QObject(Parent), FHandler(std::move(Handler)), FServer(new QLocalServer(this)) {
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TRemoteCommandServer::Accept);
}

QString TRemoteCommandServer::SocketName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder + "/pxs733-remote";
}

bool TRemoteCommandServer::Listen() {
    if (FServer->listen(SocketName())) return true;
    if (FServer->serverError() != QAbstractSocket::AddressInUseError) return false;
    // The name is taken: by a running copy, or by a stale socket of one that crashed.
    QLocalSocket probe;
    probe.connectToServer(SocketName());
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(SocketName());
    return FServer->listen(SocketName());
}

void TRemoteCommandServer::Accept() {
    while (QLocalSocket* client = FServer->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { Read(client); });
        // A client that never finishes its line is dropped.
        QTimer::singleShot(ClientTimeoutMs, client, [client] { client->abort(); });
    }
}

void TRemoteCommandServer::Read(QLocalSocket* Client) {
    if (!Client->canReadLine()) {
        if (Client->bytesAvailable() > RemoteCommand::MaxLength) Reply(Client, 0);
        return;
    }
    const QByteArray line = Client->readLine(RemoteCommand::MaxLength + 2);
    if (line.size() > RemoteCommand::MaxLength + 1 || !line.endsWith('\n')) {
        Reply(Client, 0);
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(line.chopped(1));
    Reply(Client, utf8.hasError() ? 0 : FHandler(text));
}

void TRemoteCommandServer::Reply(QLocalSocket* Client, int Answer) {
    disconnect(Client, &QLocalSocket::readyRead, this, nullptr);
    Client->write(QByteArray::number(Answer) + '\n');
    Client->flush();
    Client->disconnectFromServer();
}

int TRemoteCommandServer::Send(const QString& Text, int TimeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(SocketName());
    if (!socket.waitForConnected(TimeoutMs)) return -1;
    QByteArray line = Text.toUtf8();
    line.replace('\n', ' ');
    socket.write(line + '\n');
    if (!socket.waitForBytesWritten(TimeoutMs)) return -1;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(TimeoutMs)) return -1;
    bool ok = false;
    const int answer = socket.readLine().trimmed().toInt(&ok);
    return ok ? answer : -1;
}
