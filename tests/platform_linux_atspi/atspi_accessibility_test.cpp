// The accessibility facility on the bus itself: element identity, the tree, the focus it follows
// or finds, applications that stall or go, and trust.

#include "base/log.hpp"
#include "desktop_support/third_party_app.hpp"
#include "facilities_fixture.hpp"
#include "platform/linux/atspi/atspi_text_cache.hpp"
#include "text/accessibility_error.hpp"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <random>
#include <thread>

using namespace pennial;
using namespace pennial::desktop;
namespace attribute = ax::attribute;

namespace {

class AtspiAccessibilityTest : public FacilitiesTest {
protected:
    std::optional<AXElement> readElement(const AXElement& element, std::string_view attribute) {
        auto result = read(element, attribute);
        return result.ok() ? result.value()->asElement() : std::nullopt;
    }
};

bool setAccessibilityEnabled(bool enabled) {
    return QProcess::execute("gdbus",
                             {"call", "--session", "-d", "org.a11y.Bus", "-o", "/org/a11y/bus",
                              "-m", "org.freedesktop.DBus.Properties.Set", "org.a11y.Status",
                              "IsEnabled", enabled ? "<true>" : "<false>"}) == 0;
}

} // namespace

TEST_F(AtspiAccessibilityTest, ElementsAreTheSameWhenTheyNameTheSameObject) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    const AXElement& element = field->element();

    auto again = readElement(accessibility->systemWideElement(), attribute::focusedUIElement);
    ASSERT_TRUE(again);
    EXPECT_TRUE(*again == element);
    EXPECT_EQ(accessibility->processId(element).value() ? *accessibility->processId(element).value()
                                                        : 0,
              editor.pid());

    // Down from the application to the field, through the window.
    const AXElement application = accessibility->applicationElement(editor.pid());
    EXPECT_EQ(readString(application, attribute::role), ax::role::application);
    EXPECT_EQ(readString(application, attribute::title), "pennial-test-editor");
    auto window = readElement(application, attribute::focusedWindow);
    ASSERT_TRUE(window);
    EXPECT_EQ(readString(*window, attribute::role), ax::role::window);
    EXPECT_EQ(readString(*window, attribute::title), "Pennial Test Editor");
    auto children = read(*window, attribute::children).value()->asElements();
    ASSERT_TRUE(children);
    EXPECT_EQ(std::count(children->begin(), children->end(), element), 1);
    EXPECT_FALSE(*window == element);
    EXPECT_TRUE(readElement(element, attribute::parent) == window);
    EXPECT_TRUE(readElement(*window, attribute::parent) == application);
    EXPECT_EQ(read(application, attribute::parent).error(), AXError::noValue);
    EXPECT_TRUE(readElement(application, attribute::focusedUIElement) == element);

    // What the bus cannot answer sends the strategies on to the next way.
    EXPECT_EQ(read(*window, attribute::startTextMarker).error(), AXError::attributeUnsupported);
    EXPECT_EQ(accessibility->setAttributeValue(application, attribute::enhancedUserInterface, true),
              AXError::attributeUnsupported);
    EXPECT_EQ(readForRange(element, ax::parameterized::stringForTextMarkerRange, {0, 1}).error(),
              AXError::parameterizedAttributeUnsupported);
}

// Focus taken before the facility started listening: found through the active window.
TEST_F(AtspiAccessibilityTest, FindsTheFocusItDidNotSeeTaken) {
    TestEditor editor("single");
    auto latecomer = makeAccessibility(workspace);
    const AXElement systemWide = latecomer->systemWideElement();
    EXPECT_EQ(latecomer->copyAttributeValue(systemWide, attribute::focusedUIElement).error(),
              AXError::noValue);

    auto application = latecomer->copyAttributeValue(systemWide, attribute::focusedApplication);
    ASSERT_TRUE(application.ok());
    auto focused = latecomer->copyAttributeValue(*application.value()->asElement(),
                                                 attribute::focusedUIElement);
    ASSERT_TRUE(focused.ok());
    auto title = latecomer->copyAttributeValue(*focused.value()->asElement(), attribute::title);
    EXPECT_EQ(title.value()->asString(), "One-line field");
}

// A window whose application says nothing on the bus (an X client without accessibility):
// the field focused before it is not where the user types any more.
TEST_F(AtspiAccessibilityTest, FocusIsNotKeptAcrossAWindowThatReportsNone) {
    TestEditor editor("multi");
    ASSERT_TRUE(focusedField("Multi-line field"));
    QProcess silent;
    silent.start("xmessage", {"-name", "silent", "not accessible"});
    ASSERT_TRUE(silent.waitForStarted());
    ASSERT_EQ(QProcess::execute("xdotool", {"search", "--sync", "--class", "xmessage",
                                            "windowactivate", "--sync"}),
              0);
    EXPECT_TRUE(waitUntil([&] {
        return read(accessibility->systemWideElement(), attribute::focusedUIElement).error() ==
               AXError::noValue;
    }));
    EXPECT_THROW(run(provider->getFocusedElement()), AccessibilityError);

    editor.activate();
    EXPECT_TRUE(focusedField("Multi-line field"));
    silent.kill();
    silent.waitForFinished();
}

TEST_F(AtspiAccessibilityTest, ForgetsTheFocusOfAnApplicationThatQuit) {
    std::optional<AccessibleElement> field;
    {
        TestEditor editor("multi");
        field = focusedField("Multi-line field");
        ASSERT_TRUE(field);
    }
    EXPECT_TRUE(waitUntil([&] {
        return read(accessibility->systemWideElement(), attribute::focusedUIElement).error() ==
               AXError::noValue;
    }));
    EXPECT_EQ(read(field->element(), attribute::value).error(), AXError::invalidUIElement);
}

// A stopped application never answers: each read gives up after the reference's time-out, the
// library's property reads (which drop their errors and answer 0) included.
TEST_F(AtspiAccessibilityTest, AStalledApplicationRunsOutOfTime) {
    TestEditor editor("multi");
    auto field = focusedField("Multi-line field");
    ASSERT_TRUE(field);
    typeOnKeyboard("abc");
    ASSERT_TRUE(valueBecomes(*field, "abc"));
    const AXElement& element = field->element();
    ASSERT_EQ(accessibility->setMessagingTimeout(element, std::chrono::milliseconds(150)),
              AXError::success);

    editor.pause();
    // Past the time a field at rest is answered from its text as last confirmed.
    std::this_thread::sleep_for(AtspiTextCache::maxAge);
    for (auto name : {attribute::value, attribute::numberOfCharacters, attribute::title}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(read(element, name).error(), AXError::cannotComplete) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << name;
    }
    editor.resume();
    EXPECT_EQ(readString(element, attribute::value), "abc");
}

// An application's direct connection (GTK 3 offers one) is the accessibility thread's alone: with
// the user interface's thread in its event loop all the while, as in the application, no read of
// a few hundred made at random moments waits out its time-out (a reply taken by the other thread
// once cost a whole deadline).
TEST_F(AtspiAccessibilityTest, RepliesAreNotTakenByTheUserInterfacesThread) {
    using desktop_support::ThirdPartyApp;
    if (!ThirdPartyApp::installed(ThirdPartyApp::Kind::gtk3Editor))
        GTEST_SKIP() << "needs mousepad (scripts/deps installs it)";
    ThirdPartyApp app({ThirdPartyApp::Kind::gtk3Editor, "textarea", "direct line", ""});
    std::optional<AccessibleElement> field;
    ASSERT_TRUE(waitUntil([&] {
        try {
            field = run(provider->getFocusedElement());
            return readString(field->element(), attribute::value) == "direct line";
        } catch (const std::exception&) {
            return false;
        }
    }));
    const AXElement element = field->element();

    const auto seed = std::random_device{}();
    std::atomic<bool> done{false};
    int late = 0, wrong = 0;
    std::thread reader([&] {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> pause(0, 3000);
        for (int i = 0; i < 300; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            const auto start = std::chrono::steady_clock::now();
            auto count = read(element, attribute::numberOfCharacters);
            late += std::chrono::steady_clock::now() - start > 300ms;
            wrong += !count.ok() || count.value()->get<std::int64_t>() == nullptr ||
                     *count.value()->get<std::int64_t>() != 11;
        }
        done = true;
    });
    QTimer wake; // the loop waits in the default main context's poll, woken now and then
    wake.start(5);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    reader.join();
    EXPECT_EQ(late, 0) << "seed " << seed;
    EXPECT_EQ(wrong, 0) << "seed " << seed;
}

// A window read level by level answers as reads of its elements do, in a Qt application (which
// lists children at once) and a GTK 4 one (which gives all properties at once); read again, with
// what the first read learnt of its elements, texts' values come with it.
TEST_F(AtspiAccessibilityTest, ASubtreeReadAnswersAsTheElementReadsDo) {
    auto compare = [&](const AXElement& field, const char* toolkit) {
        auto pid = accessibility->processId(field);
        ASSERT_TRUE(pid.ok()) << toolkit;
        auto window =
            readElement(accessibility->applicationElement(*pid.value()), attribute::focusedWindow);
        ASSERT_TRUE(window) << toolkit;
        int texts = 0;
        for (int pass = 1; pass <= 2; ++pass) {
            auto subtree = accessibility->readSubtree(*window, {30, 500, field, {}});
            ASSERT_TRUE(subtree.ok()) << toolkit;
            const auto& elements = *subtree.value();
            ASSERT_GT(elements.size(), 3u) << toolkit;
            EXPECT_TRUE(elements.front().element == *window);
            int answers = 0;
            for (const auto& [element, answered] : elements) {
                EXPECT_FALSE(element == field) << toolkit << ": the field is left out";
                for (const auto& [name, answer] : answered) {
                    auto expected = read(element, name);
                    ++answers;
                    texts += name == attribute::value && answer.ok();
                    EXPECT_EQ(answer.error(), expected.error()) << toolkit << " " << name;
                    if (answer.ok() && expected.ok())
                        EXPECT_TRUE(*answer.value() == *expected.value())
                            << toolkit << " " << name << " " << pass;
                }
            }
            EXPECT_GE(answers, 3 * static_cast<int>(elements.size())) << toolkit;
        }
        if (std::string_view(toolkit) == "GTK 4")
            EXPECT_GT(texts, 0) << "its labels' texts";
    };
    {
        TestEditor editor("multi");
        auto field = focusedField("Multi-line field");
        ASSERT_TRUE(field);
        compare(field->element(), "Qt");
    }
    using desktop_support::ThirdPartyApp;
    if (!ThirdPartyApp::installed(ThirdPartyApp::Kind::gtk4Editor))
        GTEST_SKIP() << "needs gnome-text-editor (scripts/deps installs it)";
    ThirdPartyApp app({ThirdPartyApp::Kind::gtk4Editor, "textarea", "some words", ""});
    std::optional<AccessibleElement> field;
    ASSERT_TRUE(waitUntil([&] {
        try {
            field = run(provider->getFocusedElement());
            return readString(field->element(), attribute::value) == "some words";
        } catch (const std::exception&) {
            return false;
        }
    }));
    compare(field->element(), "GTK 4");
}

// The switch's launcher stopped (as a stuck session would leave it): the user interface's
// thread, which checks trust every few seconds while it is missing, goes on with the last answer.
TEST_F(AtspiAccessibilityTest, AStoppedLauncherHoldsTheUserInterfaceOnlyAMoment) {
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    ASSERT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    QProcess owner;
    owner.start("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                          "/org/freedesktop/DBus", "--method",
                          "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.a11y.Bus"});
    ASSERT_TRUE(owner.waitForFinished(5000));
    // "(uint32 1234,)"
    const auto answer = owner.readAllStandardOutput().simplified();
    const pid_t launcher = answer.mid(answer.indexOf(' ') + 1).chopped(2).toInt();
    ASSERT_GT(launcher, 0) << answer.toStdString();
    EXPECT_TRUE(accessibility->isProcessTrusted(TrustCheck::silent));

    ::kill(launcher, SIGSTOP);
    for (int check = 0; check < 3; ++check) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(accessibility->isProcessTrusted(TrustCheck::silent));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    }
    ::kill(launcher, SIGCONT);
}

TEST_F(AtspiAccessibilityTest, TrustIsTheDesktopsAccessibilitySwitch) {
    EXPECT_TRUE(accessibility->isProcessTrusted(TrustCheck::silent));
    ASSERT_TRUE(setAccessibilityEnabled(false));
    EXPECT_FALSE(accessibility->isProcessTrusted(TrustCheck::silent));

    LogCapture log;
    EXPECT_TRUE(accessibility->isProcessTrusted(TrustCheck::prompt)) << "the switch just made";
    EXPECT_EQ(log.matching("[Accessibility]").size(), 1u);
    EXPECT_TRUE(accessibility->isProcessTrusted(TrustCheck::silent));
    setAccessibilityEnabled(true); // whatever happened above
}
