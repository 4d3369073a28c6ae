// One instance per session: a second claim fails while the first holds the lock, its request
// reaches the first, and what a dead instance left behind is taken over.

#include "platform/linux/session/single_instance.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace pennial;

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    // Turns the event loop until done or a second has passed.
    bool pumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(5);
        }
        return done();
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
    ASSERT_TRUE(first.claim());

    for (int launch = 1; launch <= 3; ++launch) {
        SingleInstance later(runtime_.path());
        EXPECT_FALSE(later.claim());
        EXPECT_TRUE(later.askRunningInstanceToShow());
        EXPECT_TRUE(pumpUntil([&] { return requests == launch; })) << "launch " << launch;
    }

    // Another session (its own runtime directory) runs an instance of its own.
    QTemporaryDir otherSession;
    SingleInstance elsewhere(otherSession.path());
    EXPECT_TRUE(elsewhere.claim());
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
    QFile staleLock(runtime_.filePath("com.pennial.macos.lock"));
    ASSERT_TRUE(staleLock.open(QIODevice::WriteOnly));
    staleLock.write(QByteArray::number(deadPid) + "\npennial\n" +
                    QSysInfo::machineHostName().toUtf8() + "\n");
    staleLock.close();
    QFile leftover(runtime_.filePath("com.pennial.macos.socket"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    auto first = std::make_unique<SingleInstance>(runtime_.path());
    bool asked = false;
    first->onShowRequested = [&] { asked = true; };
    ASSERT_TRUE(first->claim());
    SingleInstance later(runtime_.path());
    ASSERT_TRUE(later.askRunningInstanceToShow());
    EXPECT_TRUE(pumpUntil([&] { return asked; }));

    // Once the first has ended, the next launch is the one instance.
    first.reset();
    EXPECT_TRUE(later.claim());
}

} // namespace
