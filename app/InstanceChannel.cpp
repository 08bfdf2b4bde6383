#include "InstanceChannel.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>

namespace zolven {
namespace {

const QByteArray kWake = QByteArrayLiteral("show\n");

} // namespace

bool InstanceChannel::listen(const QString& name)
{
    if (name.isEmpty())
        return false;
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: whatever sits on the name is stale or a squatter.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        qDebug().noquote() << "[Instance] Cannot listen on" << name << ":"
                           << m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // A peek, bounded: the one message is short, anything else is dropped.
                if (socket->bytesAvailable() < kWake.size())
                    return;
                const bool wanted = socket->read(kWake.size()) == kWake;
                socket->disconnectFromServer();
                if (wanted)
                    emit wakeRequested();
            });
        }
    });
    return true;
}

bool InstanceChannel::wake(const QString& name, int timeoutMs)
{
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kWake);
    const bool sent = socket.waitForBytesWritten(timeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return sent;
}

} // namespace zolven
