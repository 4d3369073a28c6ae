#pragma once
// One running instance per user session. The first launch holds a lock file in the user's
// runtime directory and listens on a local socket beside it; a later launch finds the lock taken,
// asks the first through the socket to show its window, and ends. A lock left by a process that
// died is taken over. GUI thread.

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <chrono>
#include <functional>

namespace pennial {

class SingleInstance {
public:
    // The lock and the socket are runtimeDirectory/<name>.lock and runtimeDirectory/<name>.socket.
    explicit SingleInstance(const QString& runtimeDirectory,
                            const QString& name = QStringLiteral("com.pennial.macos"));
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the session's one instance; it then listens for later launches.
    bool claim();
    // For a later launch: asks the running instance to show its window. False when none answered
    // within the time-out (it may still be starting: the socket follows the lock closely).
    bool askRunningInstanceToShow(std::chrono::milliseconds timeout = std::chrono::seconds(3));

    // Called on the GUI thread when a later launch asks for the window.
    std::function<void()> onShowRequested;

    // The user's runtime directory ($XDG_RUNTIME_DIR, or Qt's fallback for it).
    static QString userRuntimeDirectory();

private:
    void acceptRequests();

    QString socketPath_;
    QLockFile lock_;
    QLocalServer server_;
};

} // namespace pennial
