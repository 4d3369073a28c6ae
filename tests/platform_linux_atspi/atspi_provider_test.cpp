// The accessibility provider over the Linux facilities, against a Qt application typed into
// through XTest: what the text monitor and the write-back ask of it.

#include "facilities_fixture.hpp"
#include "text/accessibility_error.hpp"
#include "text/field_write.hpp"

#include <QProcess>

using namespace pennial;
using namespace pennial::desktop;
namespace attribute = ax::attribute;
namespace parameterized = ax::parameterized;

namespace {

class AtspiProviderTest : public FacilitiesTest {
protected:
    std::optional<AccessibilityError::Kind> readFailure(const AccessibleElement& element) {
        try {
            run(provider->getValue(element));
        } catch (const AccessibilityError& error) {
            return error.kind();
        }
        return std::nullopt;
    }

    std::optional<Rect> boundsOf(const AXElement& element, AXRange range) {
        auto bounds = readForRange(element, parameterized::boundsForRange, range);
        const Rect* rect = bounds.ok() ? bounds.value()->get<Rect>() : nullptr;
        return rect ? std::optional(*rect) : std::nullopt;
    }
};

bool contains(const Rect& outer, const Point& point) {
    return point.x >= outer.minX() && point.x <= outer.maxX() && point.y >= outer.minY() &&
           point.y <= outer.maxY();
}

void pressKeys(const QStringList& keys) {
    QProcess::execute("xdotool", QStringList{"key"} + keys);
}

} // namespace

TEST_F(AtspiProviderTest, ReadsTheTypedTextItsSelectionAndWhereEachCharacterLies) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    typeOnKeyboard("hello world");
    ASSERT_TRUE(editor.waitForText("hello world"));
    ASSERT_TRUE(valueBecomes(*field, "hello world"));
    const AXElement& element = field->element();

    EXPECT_FALSE(run(provider->isSecureField(*field)));
    EXPECT_EQ(readString(element, attribute::role), ax::role::textArea);
    EXPECT_EQ(readBoxed<std::int64_t>(element, attribute::numberOfCharacters), 11);
    EXPECT_EQ(readBoxed<AXRange>(element, attribute::selectedTextRange), (AXRange{11, 0}));

    pressKeys({"shift+Left", "shift+Left", "shift+Left", "shift+Left", "shift+Left"});
    EXPECT_TRUE(waitUntil([&] {
        return readBoxed<AXRange>(element, attribute::selectedTextRange) == AXRange{6, 5};
    }));
    EXPECT_EQ(readString(element, attribute::selectedText), "world");

    auto position = readBoxed<Point>(element, attribute::position);
    auto size = readBoxed<Size>(element, attribute::size);
    ASSERT_TRUE(position && size);
    const Rect frame{*position, *size};
    auto h = boundsOf(element, {0, 1});
    auto e = boundsOf(element, {1, 1});
    auto word = boundsOf(element, {6, 5});
    ASSERT_TRUE(h && e && word);
    EXPECT_NEAR(e->minX(), h->maxX(), 1.0); // one character, not two
    EXPECT_EQ(e->minY(), h->minY());
    EXPECT_GT(h->size.height, 0);
    EXPECT_GT(word->size.width, e->size.width);
    for (const Rect* rect : {&*h, &*e, &*word})
        EXPECT_TRUE(contains(frame, rect->origin) && contains(frame, {rect->maxX(), rect->maxY()}))
            << rect->origin.x << "," << rect->origin.y;

    // Just right of the caret, after the selection's end: the end of the line.
    const Point caret = run(provider->getCaretPosition(*field));
    EXPECT_TRUE(contains(frame, caret));
    EXPECT_NEAR(caret.x, word->maxX(), 1.0);
    EXPECT_EQ(stringForRange(element, {0, 5}), "hello");
}

TEST_F(AtspiProviderTest, NeverReadsThePasswordField) {
    TestEditor editor("password");
    auto field = focusedField("Password field");
    ASSERT_TRUE(field);
    typeOnKeyboard("hunter2");
    ASSERT_TRUE(editor.waitForText("hunter2"));
    const AXElement& element = field->element();

    EXPECT_TRUE(run(provider->isSecureField(*field)));
    EXPECT_EQ(readFailure(*field), AccessibilityError::Kind::cannotReadValue);
    EXPECT_EQ(readString(element, attribute::role), ax::role::textField);
    EXPECT_EQ(readString(element, attribute::subrole), ax::subrole::secureTextField);
    for (auto text : {attribute::value, attribute::selectedText, attribute::numberOfCharacters})
        EXPECT_EQ(read(element, text).error(), AXError::noValue) << text;
    EXPECT_EQ(readForRange(element, parameterized::stringForRange, {0, 2}).error(),
              AXError::noValue);
}

// Qt counts offsets in UTF-16 units, as the provider does; the editor's own view of its text shows
// what the writes did.
TEST_F(AtspiProviderTest, WritesAroundCharactersOutsideTheBasicPlane) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    const AXElement& element = field->element();

    run(provider->setValue("x a😀b y", *field));
    EXPECT_TRUE(editor.waitForText("x a😀b y"));
    EXPECT_EQ(readBoxed<AXRange>(element, attribute::selectedTextRange), (AXRange{8, 0}));
    EXPECT_EQ(readBoxed<std::int64_t>(element, attribute::numberOfCharacters), 8);
    EXPECT_EQ(stringForRange(element, {3, 2}), "😀");
    EXPECT_EQ(readForRange(element, parameterized::stringForRange, {7, 2}).error(),
              AXError::illegalArgument);

    // The emoji's two units, replaced by two emoji; the caret, at the range's end as after a
    // trigger, goes after them.
    run(provider->selectRange({5, 0}, *field));
    run(provider->replaceRange({3, 2}, "🙂🙂", *field));
    EXPECT_TRUE(editor.waitForText("x a🙂🙂b y"));
    EXPECT_EQ(readBoxed<AXRange>(element, attribute::selectedTextRange), (AXRange{7, 0}));
    typeOnKeyboard("Z");
    EXPECT_TRUE(editor.waitForText("x a🙂🙂Zb y"));

    // An insertion at the start; the caret, behind text typed after it, keeps its place there.
    run(provider->replaceRange({0, 0}, "a😀b", *field));
    EXPECT_TRUE(editor.waitForText("a😀bx a🙂🙂Zb y"));
    EXPECT_EQ(readBoxed<AXRange>(element, attribute::selectedTextRange), (AXRange{12, 0}));
    EXPECT_TRUE(valueBecomes(*field, "a😀bx a🙂🙂Zb y"));
}

// A change the field's application never reported (the toolkit's, another program's) is still
// seen by the check that goes with a write: the check asks the application, not the text kept
// from the last poll.
TEST_F(AtspiProviderTest, AWriteIsCheckedAgainstTheFieldNotAKeptText) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    typeOnKeyboard("helo ;;fix");
    ASSERT_TRUE(editor.waitForText("helo ;;fix"));
    ASSERT_TRUE(valueBecomes(*field, "helo ;;fix"));
    // Past the settling after a key: polls are answered from the kept text now.
    waitUntil([] { return false; }, 300ms);
    ASSERT_EQ(run(provider->getValue(*field)), "helo ;;fix");

    editor.appendUnreported(" and more");
    ASSERT_EQ(editor.text(), "helo ;;fix and more");
    EXPECT_THROW(run(provider->replaceRange({0, 10}, "Hello.", *field, "helo ;;fix")),
                 FieldChangedError);
    EXPECT_THROW(run(provider->setValue("Hello.", *field, "helo ;;fix")), FieldChangedError);
    EXPECT_EQ(editor.text(), "helo ;;fix and more");
}

TEST_F(AtspiProviderTest, SetsTheValueOfAOneLineField) {
    TestEditor editor("single");
    auto field = focusedField("One-line field");
    ASSERT_TRUE(field);
    EXPECT_EQ(readString(field->element(), attribute::role), ax::role::textField);
    typeOnKeyboard("draft");
    ASSERT_TRUE(editor.waitForText("draft"));

    run(provider->setValue("fixed 👍", *field));
    EXPECT_TRUE(editor.waitForText("fixed 👍"));
    EXPECT_EQ(readBoxed<AXRange>(field->element(), attribute::selectedTextRange), (AXRange{8, 0}));

    // The selected-text write itself leaves the caret after what it inserted (Qt puts it at the
    // end), before any caret move of the provider's.
    const AXElement& element = field->element();
    ASSERT_EQ(
        accessibility->setAttributeValue(element, attribute::selectedTextRange, AXRange{0, 5}),
        AXError::success);
    ASSERT_EQ(accessibility->setAttributeValue(element, attribute::selectedText, "ok"),
              AXError::success);
    EXPECT_TRUE(editor.waitForText("ok 👍"));
    EXPECT_EQ(readBoxed<AXRange>(element, attribute::selectedTextRange), (AXRange{2, 0}));
}

TEST_F(AtspiProviderTest, CapturesWhoAndWhereTheUserIsTyping) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    auto context = run(provider->captureContext(*field));
    ASSERT_TRUE(context);
    EXPECT_EQ(context->appName, "pennial-test-editor");
    EXPECT_EQ(context->windowTitle, "Pennial Test Editor");
    EXPECT_NE(context->bundleIdentifier, "unknown");
    EXPECT_FALSE(context->documentPath);
}
