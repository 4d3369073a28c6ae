#include "platform/linux/session/single_instance.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace pennial {

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");

} // namespace

SingleInstance::SingleInstance(const QString& runtimeDirectory, const QString& name)
    : socketPath_(QDir(runtimeDirectory).filePath(name + QStringLiteral(".socket"))),
      lock_(QDir(runtimeDirectory).filePath(name + QStringLiteral(".lock"))) {
    // Held for the whole run, so never stale by age; a lock whose process died is taken over.
    lock_.setStaleLockTime(0);
}

QString SingleInstance::userRuntimeDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool SingleInstance::claim() {
    if (!lock_.tryLock(0))
        return false;
    // Ours now: a socket left behind by a process that died is in the way.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_))
        return true; // still the one instance, only unreachable by later launches
    QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                     [this] { acceptRequests(); });
    return true;
}

void SingleInstance::acceptRequests() {
    while (QLocalSocket* connection = server_.nextPendingConnection()) {
        QObject::connect(connection, &QLocalSocket::disconnected, connection,
                         &QObject::deleteLater);
        auto read = [this, connection] {
            if (!connection->canReadLine())
                return;
            const QByteArray line = connection->readLine(64);
            connection->disconnectFromServer();
            if (line == showRequest && onShowRequested)
                onShowRequested();
        };
        QObject::connect(connection, &QLocalSocket::readyRead, connection, read);
        read();
    }
}

bool SingleInstance::askRunningInstanceToShow(std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(200)) {
            socket.write(showRequest);
            return socket.waitForBytesWritten(1000);
        }
        QThread::msleep(50);
    } while (elapsed.elapsed() < timeout.count());
    return false;
}

} // namespace pennial
