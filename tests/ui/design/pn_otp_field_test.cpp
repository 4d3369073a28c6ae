#include "ui/design/focus_tracking_text_field.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui_test_support.hpp"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace pennial;
using namespace pennial::test;

namespace {

// A shown field on a dark window, counting completions and code edits.
class PNOTPFieldTest : public ::testing::Test {
protected:
    void make(bool disabled = false, std::optional<bool> callerFocus = std::nullopt) {
        window_ = std::make_unique<QWidget>();
        window_->setStyleSheet(QStringLiteral("QWidget { background: black; }"));
        field_ = new PNOTPField(
            disabled, [this] { ++completions_; }, callerFocus, window_.get());
        QObject::connect(field_, &PNOTPField::codeEdited,
                         [this](const QString& code) { edits_.append(code); });
        field_->resize(field_->sizeHint());
        window_->resize(field_->size());
        window_->show();
    }

    void type(const QString& text) { typeText(field_->textField(), text); }

    int completions_ = 0;
    QStringList edits_;
    std::unique_ptr<QWidget> window_;
    PNOTPField* field_ = nullptr;
};

TEST_F(PNOTPFieldTest, TypingKeepsOnlyDigitsOfAnyScriptAndHighlightsTheNextBox) {
    make();
    type(QStringLiteral("12a3"));
    EXPECT_EQ(field_->code(), QStringLiteral("123"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("123"));
    EXPECT_EQ(edits_, (QStringList{"1", "12", "123"})); // the letter changed nothing
    EXPECT_EQ(field_->currentBox(), 3);
    EXPECT_EQ(field_->boxCharacter(2), QStringLiteral("3"));
    EXPECT_EQ(completions_, 0);
    saveScreenshot(window_.get(), QStringLiteral("otp_field_three_digits"));

    // Other scripts' digits enter as the ASCII digits the server checks; other numbers do not.
    type(QString::fromUtf8("٤-½５"));
    EXPECT_EQ(field_->code(), QStringLiteral("12345"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("12345"));
    QGuiApplication::clipboard()->setText(QString::fromUtf8("١٢٣٤٥٦"));
    field_->textField()->selectAll();
    field_->textField()->paste();
    EXPECT_EQ(field_->code(), QStringLiteral("123456"));
}

TEST_F(PNOTPFieldTest, PastingALongCodeWithSeparatorsKeepsItsFirstSixDigitsAndCompletesOnce) {
    make();
    QGuiApplication::clipboard()->setText(QStringLiteral("Code: 12-34 56 789"));
    field_->textField()->paste();

    EXPECT_EQ(field_->code(), QStringLiteral("123456"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("123456"));
    EXPECT_EQ(completions_, 1);
    EXPECT_EQ(field_->currentBox(), std::nullopt); // full: nothing left to highlight
}

TEST_F(PNOTPFieldTest, EditsOfAFullFieldLeaveItFullAndCompleteAgain) {
    make();
    type(QStringLiteral("123456"));
    ASSERT_EQ(completions_, 1);

    type(QStringLiteral("7x"));
    EXPECT_EQ(field_->code(), QStringLiteral("123456"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("123456"));
    EXPECT_EQ(completions_, 3);
    EXPECT_EQ(edits_.size(), 6); // only the six digits changed the code
}

TEST_F(PNOTPFieldTest, BackspaceMovesBackAndRetypingCompletesAgain) {
    make();
    type(QStringLiteral("123456"));
    pressKey(field_->textField(), Qt::Key_Backspace);

    EXPECT_EQ(field_->code(), QStringLiteral("12345"));
    EXPECT_EQ(field_->currentBox(), 5);
    EXPECT_EQ(completions_, 1);

    type(QStringLiteral("9"));
    EXPECT_EQ(field_->code(), QStringLiteral("123459"));
    EXPECT_EQ(completions_, 2);
}

TEST_F(PNOTPFieldTest, ACodeSetFromOutsideShowsWithoutCompletingOrCountingAsAnEdit) {
    make();
    field_->setCode(QStringLiteral("123456"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("123456"));
    EXPECT_EQ(field_->boxCharacter(5), QStringLiteral("6"));

    // Shown as given, though the boxes hold only six and none is highlighted.
    field_->setCode(QStringLiteral("1234567"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("1234567"));
    EXPECT_EQ(field_->boxCharacter(5), QStringLiteral("6"));
    EXPECT_EQ(field_->currentBox(), std::nullopt);
    EXPECT_EQ(completions_, 0);
    EXPECT_TRUE(edits_.isEmpty());
}

TEST_F(PNOTPFieldTest, ADisabledFieldLooksTheSameButIgnoresKeystrokes) {
    make();
    field_->setCode(QStringLiteral("12"));
    const QImage enabled = field_->grab().toImage();

    field_->setFieldDisabled(true);
    EXPECT_EQ(field_->grab().toImage(), enabled);
    type(QStringLiteral("34"));
    pressKey(field_->textField(), Qt::Key_Backspace);
    EXPECT_EQ(field_->code(), QStringLiteral("12"));
    EXPECT_EQ(field_->textField()->text(), QStringLiteral("12"));
    EXPECT_EQ(completions_, 0);
}

TEST_F(PNOTPFieldTest, WithoutACallerFlagItShowsFocusAtOnceAndTakesTheKeyboardShortlyAfter) {
    make();
    EXPECT_TRUE(field_->isFocused());
    EXPECT_EQ(field_->currentBox(), 0);
    EXPECT_FALSE(field_->textField()->hasFocus());
    EXPECT_TRUE(field_->delayedFocus()->isActive());
    EXPECT_EQ(field_->delayedFocus()->interval(), 100);

    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    EXPECT_TRUE(processEventsUntil([&] { return field_->textField()->hasFocus(); }));
    type(QStringLiteral("12"));
    saveScreenshot(window_.get(), QStringLiteral("otp_field_keyboard_focus"));

    // Neither the caret nor the typed text shows: inside the boxes only the digits are light.
    const QImage image = window_->grab().toImage();
    for (int box : {2, 3}) {
        const QRect inside = field_->boxRect(box).adjusted(3, 3, -3, -3).toRect();
        for (int x = inside.left(); x <= inside.right(); ++x)
            for (int y = inside.top(); y <= inside.bottom(); ++y)
                ASSERT_LT(image.pixelColor(x, y).lightness(), 100) << "box " << box;
    }
}

TEST_F(PNOTPFieldTest, WithACallerFlagTheBoxesFollowTheFlagAndFocusReportsReachTheCaller) {
    make(false, false);
    EXPECT_FALSE(field_->isFocused());
    EXPECT_EQ(field_->currentBox(), std::nullopt);

    QList<bool> reports;
    QObject::connect(field_, &PNOTPField::isFocusedChanged,
                     [&](bool focused) { reports.append(focused); });
    field_->textField()->onFocusChanged(true);
    EXPECT_EQ(field_->currentBox(), 0);
    EXPECT_EQ(reports, QList<bool>{true});

    field_->setFocused(false); // the caller's own write: drawn, not reported back
    EXPECT_EQ(field_->currentBox(), std::nullopt);
    EXPECT_EQ(reports, QList<bool>{true});
}

TEST_F(PNOTPFieldTest, OnlyTheCurrentBoxHasTheBrandBorder) {
    make();
    field_->setCode(QStringLiteral("1"));
    const QImage image = field_->grab().toImage();
    const auto topEdge = [&](int index) { // the greenest pixel across the box's top edge
        const QRectF box = field_->boxRect(index);
        QColor greenest(Qt::black);
        for (int y = static_cast<int>(box.top()); y < box.top() + 3; ++y) {
            const QColor pixel = image.pixelColor(static_cast<int>(box.center().x()), y);
            greenest = pixel.green() > greenest.green() ? pixel : greenest;
        }
        return greenest;
    };
    EXPECT_GT(topEdge(1).green() - topEdge(1).red(), 120);
    EXPECT_LT(std::abs(topEdge(0).red() - topEdge(0).green()), 8); // grey
    EXPECT_LT(std::abs(topEdge(2).red() - topEdge(2).green()), 8);
}

TEST_F(PNOTPFieldTest, EveryPointOfTheRowLandsInTheTextField) {
    make();
    const QRectF first = field_->boxRect(0);
    const QRectF last = field_->boxRect(PNOTPField::digitCount - 1);
    for (qreal x = first.left(); x < last.right(); x += 3) {
        for (qreal y : {first.top() + 1, first.center().y(), first.bottom() - 1}) {
            EXPECT_EQ(field_->childAt(QPoint(static_cast<int>(x), static_cast<int>(y))),
                      field_->textField())
                << x << "," << y;
        }
    }
}

} // namespace
