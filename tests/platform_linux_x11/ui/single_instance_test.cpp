// One instance per session: a second claim fails while the first holds the lock, its request
// reaches the first, and what a dead instance left behind is taken over. The lock is taken only in
// a folder nobody else can write to, and the socket outlasts connections that stay silent, say too
// much or come by the hundred. Some tests run this program again in a role (an instance with few
// descriptors, one of many launches) named by an environment variable.

#include "platform/linux/session/single_instance.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace pennial;
using namespace std::chrono_literals;
using Claim = SingleInstance::Claim;

namespace {

const char* const roleVariable = "PENNIAL_SINGLE_INSTANCE_ROLE";
const char* const folderVariable = "PENNIAL_SINGLE_INSTANCE_FOLDER";

// A client of the socket that does just what the test says and never blocks.
class RawClient {
public:
    explicit RawClient(const QString& path)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
        connected_ =
            fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    RawClient(RawClient&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), connected_(other.connected_) {}
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    ~RawClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool connected() const { return connected_; }
    void send(const QByteArray& bytes) {
        [[maybe_unused]] const auto sent =
            ::send(fd_, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
    }
    // The server closed its end.
    bool dropped() const {
        char byte;
        const ssize_t read = ::recv(fd_, &byte, 1, MSG_DONTWAIT);
        return read == 0 || (read < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

private:
    int fd_;
    bool connected_ = false;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    // Turns the event loop until done or the time is up.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds time = 1s) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < time.count()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(5);
        }
        return done();
    }

    static QString role() { return qEnvironmentVariable(roleVariable); }
    // The shared folder in a role, this test's own otherwise.
    QString folder() const {
        return role().isEmpty() ? runtime_.path() : qEnvironmentVariable(folderVariable);
    }
    QString socketPath() const { return QDir(folder()).filePath("com.pennial.Pennial.socket"); }

    // This program again, running the current test in the role.
    std::unique_ptr<QProcess> startRole(const QString& role) const {
        auto process = std::make_unique<QProcess>();
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(roleVariable, role);
        environment.insert(folderVariable, runtime_.path());
        process->setProcessEnvironment(environment);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        process->start(
            QFileInfo("/proc/self/exe").canonicalFilePath(),
            {QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
        return process;
    }
    // What a role says for the parent, on a line of its own among the test framework's.
    static void say(const char* word) {
        std::printf("\nrole: %s\n", word);
        std::fflush(stdout);
    }
    static bool said(QProcess& process, const QByteArray& word, int milliseconds) {
        QByteArray output;
        QElapsedTimer elapsed;
        elapsed.start();
        while (!output.contains("role: " + word + "\n") && elapsed.elapsed() < milliseconds &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            output += process.readAllStandardOutput();
        }
        return output.contains("role: " + word + "\n");
    }

    int argc_ = 1;
    char name_[16] = "single_instance";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_{argc_, argv_};
    QTemporaryDir runtime_;
};

TEST_F(SingleInstanceTest, ALaterLaunchAsksTheFirstToShowItsWindow) {
    SingleInstance first(runtime_.path());
    int requests = 0;
    first.onShowRequested = [&] { ++requests; };
    ASSERT_EQ(first.claim(), Claim::Ours);

    for (int launch = 1; launch <= 3; ++launch) {
        SingleInstance later(runtime_.path());
        EXPECT_EQ(later.claim(), Claim::Taken);
        EXPECT_TRUE(later.askRunningInstanceToShow());
        EXPECT_TRUE(pumpUntil([&] { return requests == launch; })) << "launch " << launch;
    }

    // Another session (its own runtime directory) runs an instance of its own.
    QTemporaryDir otherSession;
    SingleInstance elsewhere(otherSession.path());
    EXPECT_EQ(elsewhere.claim(), Claim::Ours);
}

TEST_F(SingleInstanceTest, NothingToAskWithoutARunningInstanceAndLeftoversAreTakenOver) {
    {
        SingleInstance alone(runtime_.path());
        EXPECT_FALSE(alone.askRunningInstanceToShow(std::chrono::milliseconds(100)));
    }
    // The lock and the socket of an instance that died do not keep the next one out.
    QProcess finished;
    finished.start("true");
    ASSERT_TRUE(finished.waitForStarted());
    const qint64 deadPid = finished.processId();
    ASSERT_TRUE(finished.waitForFinished());
    QFile staleLock(runtime_.filePath("com.pennial.Pennial.lock"));
    ASSERT_TRUE(staleLock.open(QIODevice::WriteOnly));
    staleLock.write(QByteArray::number(deadPid) + "\npennial\n" +
                    QSysInfo::machineHostName().toUtf8() + "\n");
    staleLock.close();
    QFile leftover(runtime_.filePath("com.pennial.Pennial.socket"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    auto first = std::make_unique<SingleInstance>(runtime_.path());
    bool asked = false;
    first->onShowRequested = [&] { asked = true; };
    ASSERT_EQ(first->claim(), Claim::Ours);
    SingleInstance later(runtime_.path());
    ASSERT_TRUE(later.askRunningInstanceToShow());
    EXPECT_TRUE(pumpUntil([&] { return asked; }));

    // Once the first has ended, the next launch is the one instance.
    first.reset();
    EXPECT_EQ(later.claim(), Claim::Ours);
}

// Puts the variables the cases change and the working folder back as they were.
struct EnvironmentGuard {
    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentGuard() {
        restore("XDG_RUNTIME_DIR", session);
        restore("TMPDIR", temporary);
        QDir::setCurrent(working);
    }
    const QByteArray session = qgetenv("XDG_RUNTIME_DIR"), temporary = qgetenv("TMPDIR");
    const QString working = QDir::currentPath();
};

// What a folder is before the first launch.
enum class Folder { Missing, Private, OtherUsers, Link, OpenToAll, File };

void prepare(const QString& path, Folder kind) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == Folder::File) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        return;
    }
    if (kind == Folder::Link) {
        prepare(path + ".target", Folder::Private);
        ASSERT_EQ(::symlink(QFile::encodeName(path + ".target").constData(), name.constData()), 0);
        return;
    }
    if (kind != Folder::Missing)
        ASSERT_EQ(::mkdir(name.constData(), 0700), 0);
    if (kind == Folder::OtherUsers)
        ASSERT_EQ(::chown(name.constData(), 12345, 12345), 0);
    if (kind == Folder::OpenToAll)
        ASSERT_EQ(::chmod(name.constData(), 0777), 0);
}

TEST_F(SingleInstanceTest, TheLockIsTakenOnlyInAFolderNobodyElseCanWriteTo) {
    enum Where { Session, Fallback, Nowhere };
    struct Case {
        const char* what;
        std::optional<Folder> session; // XDG_RUNTIME_DIR, unset when none
        Folder fallback;               // runtime-<user> in the temporary folder
        Where lock;
    };
    const Case cases[] = {
        {"no session folder, the fallback missing", {}, Folder::Missing, Fallback},
        {"no session folder, the fallback another user's", {}, Folder::OtherUsers, Nowhere},
        {"no session folder, the fallback a link", {}, Folder::Link, Nowhere},
        {"no session folder, the fallback open to all", {}, Folder::OpenToAll, Nowhere},
        {"no session folder, the fallback a file", {}, Folder::File, Nowhere},
        {"the session folder another user's", Folder::OtherUsers, Folder::Private, Fallback},
        {"the session folder open to all", Folder::OpenToAll, Folder::Missing, Fallback},
        {"the session folder private", Folder::Private, Folder::OtherUsers, Session},
    };
    const QString user = QFile::decodeName(::getpwuid(::geteuid())->pw_name);
    const EnvironmentGuard restored;
    // Made where the temporary folder was before the cases moved it.
    const QString folders = QDir::tempPath() + "/single_instance-XXXXXX";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (::geteuid() != 0 &&
            (c.session == Folder::OtherUsers || c.fallback == Folder::OtherUsers))
            continue; // only root gives a folder away
        QTemporaryDir temporary(folders);
        const QString session = temporary.filePath("session");
        const QString fallback = temporary.filePath("runtime-" + user);
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        if (c.session) {
            prepare(session, *c.session);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(session));
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        prepare(fallback, c.fallback);

        // Two launches from different working folders: at most one runs, and only in a folder
        // of the user's that nobody else can write to.
        QTemporaryDir workingA(folders), workingB(folders);
        QDir::setCurrent(workingA.path());
        SingleInstance first(SingleInstance::userRuntimeDirectory());
        const Claim firstClaim = first.claim();
        QDir::setCurrent(workingB.path());
        SingleInstance second(SingleInstance::userRuntimeDirectory());
        const Claim secondClaim = second.claim();
        QDir::setCurrent(restored.working);

        EXPECT_FALSE(firstClaim == Claim::Ours && secondClaim == Claim::Ours);
        EXPECT_TRUE(QDir(workingA.path()).isEmpty() && QDir(workingB.path()).isEmpty());
        if (c.lock == Nowhere) {
            EXPECT_EQ(firstClaim, Claim::Refused);
            EXPECT_EQ(secondClaim, Claim::Refused);
            EXPECT_TRUE(second.problem().contains(fallback)) << second.problem().toStdString();
            continue;
        }
        EXPECT_EQ(firstClaim, Claim::Ours);
        EXPECT_EQ(secondClaim, Claim::Taken);
        const QString folder = c.lock == Session ? session : fallback;
        EXPECT_TRUE(QFile::exists(folder + "/com.pennial.Pennial.lock"));
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(info.st_mode & 077, 0u) << std::oct << info.st_mode;
    }
}

TEST_F(SingleInstanceTest, SilentAndTalkativeConnectionsAreDroppedAndLaterLaunchesServed) {
    SingleInstance first(runtime_.path(), "com.pennial.Pennial",
                         SingleInstanceLimits{.connections = 2, .readTimeout = 1500ms});
    int requests = 0;
    first.onShowRequested = [&] { ++requests; };
    ASSERT_EQ(first.claim(), Claim::Ours);
    RawClient silent(socketPath()), talkative(socketPath());
    ASSERT_TRUE(silent.connected() && talkative.connected());
    talkative.send(QByteArray(64 * 1024, 'x'));
    // Both places are taken: a real launch waits until one is free.
    SingleInstance later(runtime_.path());
    ASSERT_TRUE(later.askRunningInstanceToShow());

    // A request longer than any is dropped at once; the launch takes its place.
    EXPECT_TRUE(pumpUntil([&] { return talkative.dropped() && requests == 1; }));
    EXPECT_FALSE(silent.dropped());
    // Silence is dropped after a while.
    EXPECT_TRUE(pumpUntil([&] { return silent.dropped(); }, 5s));
    EXPECT_EQ(requests, 1);
}

TEST_F(SingleInstanceTest, AFloodOfConnectionsNeitherEndsNorSilencesTheInstance) {
    if (role() == "instance") {
        // Few descriptors: one held for each connection would soon run out.
        const rlimit few{64, 64};
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
        SingleInstance instance(folder());
        ASSERT_EQ(instance.claim(), Claim::Ours);
        instance.onShowRequested = [] { QCoreApplication::exit(0); };
        QTimer::singleShot(20s, [] { QCoreApplication::exit(1); });
        say("listening");
        EXPECT_EQ(QCoreApplication::exec(), 0) << "no request came through";
        return;
    }
    const auto instance = startRole("instance");
    ASSERT_TRUE(said(*instance, "listening", 10000))
        << instance->readAllStandardError().toStdString();

    // Hundreds of connections that say nothing, or more than a request, held for a while.
    std::vector<RawClient> flood;
    QElapsedTimer elapsed;
    elapsed.start();
    while (flood.size() < 400 && elapsed.elapsed() < 2000) {
        RawClient client(socketPath());
        if (!client.connected()) {
            QThread::msleep(1); // the queue is full
            continue;
        }
        if (flood.size() % 3 == 0)
            client.send(QByteArray(4096, 'x'));
        flood.push_back(std::move(client));
    }
    QThread::msleep(300);
    flood.clear();

    SingleInstance later(runtime_.path());
    EXPECT_EQ(later.claim(), Claim::Taken);
    EXPECT_TRUE(later.askRunningInstanceToShow(5s));
    ASSERT_TRUE(instance->waitForFinished(25000));
    EXPECT_EQ(instance->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(instance->exitCode(), 0) << instance->readAllStandardError().toStdString()
                                       << instance->readAllStandardOutput().toStdString();
}

TEST_F(SingleInstanceTest, ManyLaunchesAtOnceLeaveOneInstanceAndNoneHangs) {
    if (role() == "launch") {
        SingleInstance launch(folder());
        const Claim claim = launch.claim();
        if (claim != Claim::Ours)
            return say(claim == Claim::Refused             ? "refused"
                       : launch.askRunningInstanceToShow() ? "shown"
                                                           : "unanswered");
        // The survivor serves until its input ends, which then says how many were shown.
        int requests = 0;
        launch.onShowRequested = [&] { ++requests; };
        QByteArray input;
        QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
            char bytes[64];
            const ssize_t read = ::read(STDIN_FILENO, bytes, sizeof bytes);
            if (read <= 0)
                QCoreApplication::exit(0);
            else
                input.append(bytes, read);
        });
        say("ours");
        QCoreApplication::exec();
        EXPECT_TRUE(pumpUntil([&] { return requests == input.toInt(); }, 5s))
            << requests << " of " << input.toInt();
        return;
    }
    std::vector<std::unique_ptr<QProcess>> launches;
    for (int i = 0; i < 100; ++i)
        launches.push_back(startRole("launch"));
    const auto running = [&] {
        return std::count_if(launches.begin(), launches.end(), [](const auto& launch) {
            return launch->state() != QProcess::NotRunning;
        });
    };
    pumpUntil([&] { return running() <= 1; }, 60s);
    ASSERT_EQ(running(), 1) << "none or several survived, or a launch hangs";
    int shown = 0;
    for (const auto& launch : launches) {
        if (launch->state() != QProcess::NotRunning)
            continue;
        const QByteArray output = launch->readAllStandardOutput();
        EXPECT_FALSE(output.contains("role: refused"));
        shown += output.contains("role: shown");
    }
    auto& survivor = *std::find_if(launches.begin(), launches.end(), [](const auto& launch) {
        return launch->state() != QProcess::NotRunning;
    });
    survivor->write(QByteArray::number(shown));
    survivor->closeWriteChannel();
    ASSERT_TRUE(survivor->waitForFinished(10000));
    EXPECT_TRUE(survivor->readAllStandardOutput().contains("role: ours"));
    EXPECT_EQ(survivor->exitCode(), 0) << "it did not hear from every launch that it answered";
    EXPECT_GT(shown, 0);
}

} // namespace
