#pragma once
// One running instance per user session. The first launch holds a lock file in a folder that only
// the user can write to and listens on a local socket beside it; a later launch finds the lock
// taken, asks the first through the socket to show its window, and ends. A lock left by a process
// that died is taken over. The socket serves a few short, small requests at a time, so a flood of
// connections costs the instance nothing it cannot spare. GUI thread.

#include "base/application_id.hpp"

#include <QLockFile>
#include <QObject>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class QLocalSocket;
class QSocketNotifier;

namespace pennial {

// What connections to the socket may take; a real launch needs a fraction of each.
struct SingleInstanceLimits {
    // Accepted at once; later ones wait in the kernel's queue, which holds no descriptor of ours.
    int connections = 4;
    // From acceptance to the end of the request.
    std::chrono::milliseconds readTimeout{2000};
    // The request line, its end included.
    qint64 requestBytes = 64;
};

class SingleInstance {
public:
    enum class Claim {
        Ours,    // this process is the session's one instance and listens for later launches
        Taken,   // another instance holds the lock
        Refused, // no lock can be trusted in the folder: see problem()
    };

    // The lock and the socket are runtimeDirectory/<name>.lock and runtimeDirectory/<name>.socket.
    explicit SingleInstance(const QString& runtimeDirectory,
                            const QString& name = QString::fromUtf8(
                                applicationId.data(), qsizetype(applicationId.size())),
                            SingleInstanceLimits limits = {});
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // The folder must be a real folder of the user's that nobody else can write to: elsewhere
    // another user could hold, move or swap the lock, and two instances would run.
    Claim claim();
    // Why the claim was refused, naming the folder.
    const QString& problem() const { return problem_; }
    // For a later launch: asks the running instance to show its window. False when none answered
    // within the time-out (it may still be starting: the socket follows the lock closely).
    bool askRunningInstanceToShow(std::chrono::milliseconds timeout = std::chrono::seconds(3));

    // Called on the GUI thread when a later launch asks for the window.
    std::function<void()> onShowRequested;

    // $XDG_RUNTIME_DIR when it is private to the user, else <temp>/runtime-<user>; either is made
    // (mode 0700) when missing. claim() checks the folder it is given.
    static QString userRuntimeDirectory();

private:
    QString listen();
    void acceptRequests();
    void serve(int descriptor);
    void end(QLocalSocket* connection);

    SingleInstanceLimits limits_;
    QString directory_;
    QString socketPath_;
    QLockFile lock_;
    QString problem_;
    int listener_ = -1;
    std::unique_ptr<QSocketNotifier> incoming_;
    QSet<QLocalSocket*> serving_;
    // Declared last, so destroyed first: no handler of a connection or timer outlives the rest.
    QObject handlers_;
};

} // namespace pennial
