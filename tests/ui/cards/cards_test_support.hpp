#pragma once
// What the card tests share: a registry of our windows like the workspace's, fixed screens, the
// services bundle over them, event-loop turns and screenshots for review.

#include "platform/screens.hpp"
#include "platform/sim/sim_window_visibility.hpp"
#include "ui/cards/card_window_services.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui_support/qt_wait.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <utility>

namespace pennial::testing {

// Lists windows as the X11 workspace does: destroyed ones drop out, hidden ones stay.
class ListedOwnWindows final : public OwnWindowRegistry {
public:
    void addOwnWindow(std::string identifier, QWidget* window) override {
        windows_.emplace_back(std::move(identifier), QPointer<QWidget>(window));
    }
    std::vector<OwnWindow> ownWindows() override {
        std::erase_if(windows_, [](const auto& entry) { return entry.second.isNull(); });
        std::vector<OwnWindow> listed;
        for (const auto& [identifier, widget] : windows_)
            listed.push_back({identifier, widget->isVisible()});
        return listed;
    }

private:
    std::vector<std::pair<std::string, QPointer<QWidget>>> windows_;
};

// A 1440 x 900 primary screen with a 25-point panel at its top, and a second one to its right.
class TwoScreens final : public Screens {
public:
    static Screen primary() {
        return {{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}, 0, std::nullopt, std::nullopt};
    }
    static Screen secondary() {
        return {
            {{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 1080}}, 0, std::nullopt, std::nullopt};
    }
    std::vector<Screen> screens() override { return {primary(), secondary()}; }
    std::optional<Screen> mainScreen() override { return main; }

    Screen main = primary();
};

struct CardServices {
    std::shared_ptr<TwoScreens> screens = std::make_shared<TwoScreens>();
    std::shared_ptr<ListedOwnWindows> ownWindows = std::make_shared<ListedOwnWindows>();
    std::shared_ptr<QtWindowFocus> focus = std::make_shared<QtWindowFocus>(ownWindows);
    std::shared_ptr<SimWindowVisibility> visibility = std::make_shared<SimWindowVisibility>();

    CardWindowServices services() const { return {screens, focus, ownWindows, visibility}; }
};

// Runs what the windows queued for a later turn of the main loop.
inline void runQueued() {
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

// Saves what the window shows beside the test program (cards_screenshots/*.png).
inline QImage saveScreenshot(QWidget& window, const QString& name) {
    const QImage image = window.grab().toImage();
    const QString folder = QCoreApplication::applicationDirPath() + "/cards_screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
    return image;
}

// Runs the event loop until `done` holds, two seconds at most; whether it held.
template <class Condition> bool processUntil(Condition done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Until the window is the active one (a real window manager answers asynchronously).
inline bool processUntilActive(QWidget* window) {
    return processUntil([window] { return window->isActiveWindow(); });
}

} // namespace pennial::testing
