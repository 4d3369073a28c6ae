#include "base/log.hpp"
#include "desktop.hpp"
#include "platform/linux/qt_clipboard.hpp"
#include "platform/linux/x11_palette_key_interceptor.hpp"
#include "platform/linux/xinput_key_event_source.hpp"
#include "platform/linux/xtest_keyboard_synthesizer.hpp"

#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::desktop;

TEST(LinuxPlatformFactories, SayWhichImplementationTheyChose) {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    LogCapture log;
    EXPECT_TRUE(makeKeyEventSource(mainExecutor()));
    EXPECT_TRUE(makePaletteKeyInterceptor(mainExecutor()));
    EXPECT_TRUE(makeKeyboardSynthesizer());
    EXPECT_TRUE(makeClipboard());
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "🔵 [Platform] Using XInput2 key events",
                               "🔵 [Platform] Using X11 key grabs for the palette keys",
                               "🔵 [Platform] Using XTest for synthesised shortcuts",
                               "🔵 [Platform] Using the Qt clipboard",
                           }));
}
