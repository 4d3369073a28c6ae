#include "platform/linux/session/single_instance.hpp"

#include "base/log.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace pennial {

namespace {

const QByteArray showRequest = QByteArrayLiteral("show\n");
// Launches beyond those accepted wait in the kernel; more than this are refused by it.
constexpr int waitingLaunches = 50;
// After the process ran out of descriptors: the waiting stay queued meanwhile.
constexpr auto acceptRetry = std::chrono::milliseconds(500);

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Empty when path is a folder (not a link to one) of this user's that nobody else can write to.
QString privacyProblem(const QString& path) {
    if (!QDir::isAbsolutePath(path))
        return QStringLiteral("the folder for the lock (\"%1\") is not an absolute path").arg(path);
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("%1 cannot be used: %2").arg(path, systemError());
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link, not a folder of the user's").arg(path);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(info.st_uid);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("%1 can be written by other users (mode %2)")
            .arg(path)
            .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

// A folder that is already there is left as found: privacyProblem judges it.
void makePrivateFolder(const QString& path) {
    ::mkdir(QFile::encodeName(path).constData(), 0700);
}

QString userName() {
    const uid_t uid = ::geteuid();
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QFile::decodeName(found->pw_name);
    return QString::number(uid);
}

} // namespace

SingleInstance::SingleInstance(const QString& runtimeDirectory, const QString& name,
                               SingleInstanceLimits limits)
    : limits_(limits), directory_(runtimeDirectory),
      socketPath_(QDir(runtimeDirectory).filePath(name + QStringLiteral(".socket"))),
      lock_(QDir(runtimeDirectory).filePath(name + QStringLiteral(".lock"))) {
    // Held for the whole run, so never stale by age; a lock whose process died is taken over.
    lock_.setStaleLockTime(0);
}

QString SingleInstance::userRuntimeDirectory() {
    // The same folders as Qt's runtime location, so that builds before this one find the lock.
    const QString fromSession = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!fromSession.isEmpty()) {
        makePrivateFolder(fromSession);
        const QString problem = privacyProblem(fromSession);
        if (problem.isEmpty())
            return fromSession;
        logf("⚠️ [Pennial] XDG_RUNTIME_DIR is passed over: {}", problem.toStdString());
    }
    const QString fallback = QDir::tempPath() + QStringLiteral("/runtime-") + userName();
    makePrivateFolder(fallback);
    return fallback;
}

SingleInstance::Claim SingleInstance::claim() {
    problem_ = privacyProblem(directory_);
    if (!problem_.isEmpty())
        return Claim::Refused;
    if (!lock_.tryLock(0)) {
        if (lock_.error() == QLockFile::LockFailedError)
            return Claim::Taken;
        problem_ = QStringLiteral("the lock file in %1 cannot be written").arg(directory_);
        return Claim::Refused;
    }
    if (const QString unreachable = listen(); !unreachable.isEmpty())
        logf("⚠️ [Pennial] Later launches cannot reach this instance: {}",
             unreachable.toStdString());
    return Claim::Ours; // the one instance even when later launches cannot reach it
}

SingleInstance::~SingleInstance() {
    qDeleteAll(std::exchange(serving_, {}));
    incoming_.reset();
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(QFile::encodeName(socketPath_).constData());
    }
}

// A listener of our own rather than a QLocalServer: accepting stops while the accepted are
// served, so a flood waits in the kernel's queue instead of taking our descriptors, and running
// out of descriptors pauses it instead of closing it for good.
QString SingleInstance::listen() {
    const QByteArray path = QFile::encodeName(socketPath_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return QStringLiteral("the socket's path is too long");
    std::memcpy(address.sun_path, path.constData(), path.size());
    // Ours now: a socket left behind by a process that died is in the way.
    ::unlink(path.constData());
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        return systemError();
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(listener_, waitingLaunches) != 0) {
        const QString problem = systemError();
        ::close(listener_);
        listener_ = -1;
        return problem;
    }
    incoming_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
    QObject::connect(incoming_.get(), &QSocketNotifier::activated, &handlers_,
                     [this] { acceptRequests(); });
    return {};
}

void SingleInstance::acceptRequests() {
    while (serving_.size() < limits_.connections) {
        const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0) {
            serve(descriptor);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            // Out of descriptors or memory: try again later rather than spin on it.
            incoming_->setEnabled(false);
            QTimer::singleShot(acceptRetry, &handlers_, [this] { acceptRequests(); });
            return;
        }
        break;
    }
    incoming_->setEnabled(serving_.size() < limits_.connections);
}

void SingleInstance::serve(int descriptor) {
    auto* connection = new QLocalSocket;
    // Set before the first read: no connection buffers more than a request.
    connection->setReadBufferSize(limits_.requestBytes);
    if (!connection->setSocketDescriptor(descriptor)) {
        ::close(descriptor);
        delete connection;
        return;
    }
    serving_.insert(connection);
    auto* deadline = new QTimer(connection);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, &handlers_,
                     [this, connection] { end(connection); });
    deadline->start(limits_.readTimeout);
    auto read = [this, connection] {
        if (!connection->canReadLine()) {
            if (connection->bytesAvailable() >= limits_.requestBytes)
                end(connection); // longer than any request
            return;
        }
        const QByteArray line = connection->readLine(limits_.requestBytes + 1);
        end(connection);
        if (line == showRequest && onShowRequested)
            onShowRequested();
    };
    QObject::connect(connection, &QLocalSocket::readyRead, &handlers_, read);
    // A launch writes and goes: what it wrote still counts.
    QObject::connect(connection, &QLocalSocket::disconnected, &handlers_, [this, connection, read] {
        read();
        end(connection);
    });
}

void SingleInstance::end(QLocalSocket* connection) {
    if (!serving_.remove(connection))
        return;
    connection->abort();
    connection->deleteLater();
    // A place is free for one that waits; taken after this handler, which may be the reader's.
    QMetaObject::invokeMethod(
        &handlers_, [this] { acceptRequests(); }, Qt::QueuedConnection);
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
