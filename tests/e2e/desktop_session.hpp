#pragma once
// What the end-to-end tests share: the Qt application with the main executor posting into its
// event loop, waits that keep that loop running, keys typed through XTest, and the test editor
// running as another application, focused and driven through its stdin commands.

#include "desktop_support/qt_session.hpp"
#include "desktop_support/test_editor.hpp"
#include "platform/accessibility.hpp"
#include "platform/linux/qt/qt_executor.hpp"

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::e2e {

using namespace std::chrono_literals;

// False outside a desktop session (no $DISPLAY): the tests skip.
inline bool available() {
    return desktop_support::hasDisplay();
}
// The application's main executor context; only while available().
QtExecutionContext& mainContext();

using desktop_support::pumpFor;
using desktop_support::waitUntil;

// Types the text as the keyboard would (xdotool, through XTest).
void typeOnKeyboard(const std::string& text);

using desktop_support::TestEditor;

} // namespace pennial::e2e
