#include "ui/design/pn_saved_indicator.hpp"
#include "ui_test_support.hpp"

#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace pennial;
using namespace pennial::test;
using namespace std::chrono_literals;

namespace {

// A shown window holding the note, recording what the note writes into the caller's flag.
class PNSavedIndicatorTest : public ::testing::Test {
protected:
    void make(std::chrono::milliseconds duration = 2s) {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        saved_ = new PNSavedIndicator(duration);
        layout->addWidget(saved_);
        QObject::connect(saved_, &PNSavedIndicator::showingChanged,
                         [this](bool showing) { writes_.append(showing); });
        window_->show();
    }

    // Makes the running countdown end now.
    void expireLifetime() {
        ASSERT_TRUE(saved_->lifetime()->isActive());
        saved_->lifetime()->setInterval(0);
        ASSERT_TRUE(processEventsUntil([&] { return !saved_->isShowing(); }));
    }

    QList<bool> writes_;
    std::unique_ptr<QWidget> window_;
    PNSavedIndicator* saved_ = nullptr;
};

TEST_F(PNSavedIndicatorTest, ShowsSavedForItsDurationThenWritesFalse) {
    make();
    EXPECT_FALSE(saved_->isVisible());

    saved_->setShowing(true);
    EXPECT_TRUE(saved_->isVisible());
    EXPECT_EQ(saved_->text(), QStringLiteral("Saved"));
    EXPECT_EQ(saved_->lifetime()->interval(), 2000);
    saveScreenshot(window_.get(), QStringLiteral("saved_indicator"));

    expireLifetime();
    EXPECT_FALSE(saved_->isVisible());
    EXPECT_EQ(writes_, QList<bool>{false});
}

TEST_F(PNSavedIndicatorTest, SettingTheFlagAgainWhileShownDoesNotProlongTheNote) {
    make();
    saved_->setShowing(true);
    ASSERT_TRUE(processEventsUntil([&] { return saved_->lifetime()->remainingTime() < 1990; }));
    const int remaining = saved_->lifetime()->remainingTime();

    saved_->setShowing(true);
    EXPECT_LE(saved_->lifetime()->remainingTime(), remaining);
    expireLifetime();
    EXPECT_EQ(writes_, QList<bool>{false});

    // A later save shows the note afresh, for its whole duration.
    saved_->setShowing(true);
    EXPECT_TRUE(saved_->isVisible());
    EXPECT_GT(saved_->lifetime()->remainingTime(), remaining);
}

TEST_F(PNSavedIndicatorTest, LeavingTheScreenEarlyWritesFalseAtOnce) {
    make();
    saved_->setShowing(true);
    window_->hide();

    EXPECT_FALSE(saved_->isShowing());
    EXPECT_FALSE(saved_->lifetime()->isActive());
    EXPECT_TRUE(processEventsUntil([&] { return !writes_.isEmpty(); }));
    EXPECT_EQ(writes_, QList<bool>{false});

    // Shown again, the note starts from its flag, not stuck on.
    window_->show();
    EXPECT_FALSE(saved_->isVisible());
}

TEST_F(PNSavedIndicatorTest, AnOwnerDestroyedWithTheNoteUpGetsNoWriteDuringItsDestruction) {
    // An owner's own members are gone by the time its child widgets are hidden and destroyed.
    bool wroteLate = false;
    auto* owner = new QWidget();
    auto* note = new PNSavedIndicator(2s, owner);
    QObject::connect(note, &PNSavedIndicator::showingChanged, owner,
                     [&wroteLate](bool) { wroteLate = true; });
    owner->show();
    note->setShowing(true);

    delete owner;
    QCoreApplication::processEvents();
    EXPECT_FALSE(wroteLate);
}

TEST_F(PNSavedIndicatorTest, TheCallersOwnFalseHidesWithoutWritingBack) {
    make();
    saved_->setShowing(true);
    saved_->setShowing(false);

    EXPECT_FALSE(saved_->isVisible());
    EXPECT_FALSE(saved_->lifetime()->isActive());
    EXPECT_TRUE(writes_.isEmpty());
}

} // namespace
