#pragma once
// What the desktop tests share: the application object, the test editor running as another
// application (focused, typed into through XTest), and coroutines run to their end on an
// io_context standing in for the main thread.

#include "desktop_support/qt_session.hpp"
#include "desktop_support/test_editor.hpp"
#include "platform/accessibility.hpp"

#include <QProcess>
#include <chrono>
#include <functional>
#include <string>

namespace pennial::desktop {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
inline bool available() {
    return desktop_support::hasDisplay();
}

using desktop_support::waitUntil;

// Types the text as the keyboard would, through XTest.
void typeOnKeyboard(const std::string& text);

using desktop_support::TestEditor;

} // namespace pennial::desktop
