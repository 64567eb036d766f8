#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// Receives text commands from other processes of the same user over a local socket.
// A client sends one line of UTF-8 text and receives one line holding the answer number.
class TRemoteCommandServer : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<int(const QString& Text)>;

    explicit TRemoteCommandServer(THandler Handler, QObject* Parent = nullptr);

    // Starts listening; false when another running copy already listens or the socket
    // cannot be created.
    bool Listen();

    // The socket path, private to the current user.
    static QString SocketName();

    // Sends Text to the running copy and returns its answer, or -1 when none answers.
    static int Send(const QString& Text, int TimeoutMs = 5000);

private:
    void Accept();
    void Read(QLocalSocket* Client);
    void Reply(QLocalSocket* Client, int Answer);

    THandler FHandler;
    QLocalServer* FServer;
};
