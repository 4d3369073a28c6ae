#pragma once
// What the code panel's tests share: a main loop running the test's io_context and the Qt events
// together, screens to place on, a verify callback answered when the test likes, and the user's
// own application to keep the focus.

#include "app/sign_in_result.hpp"
#include "base/task.hpp"
#include "platform/screens.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <asio/io_context.hpp>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::testing {

class MainLoop {
public:
    Executor executor() { return io_.get_executor(); }

    // What is ready now, nothing timed.
    void turn() {
        io_.restart();
        io_.poll();
        QCoreApplication::processEvents();
    }
    // Whether condition came to hold within the time-out.
    template <class Condition>
    bool runUntil(Condition condition,
                  std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
        QElapsedTimer clock;
        clock.start();
        for (; !condition(); QThread::msleep(1)) {
            if (clock.elapsed() > timeout.count())
                return false;
            turn();
        }
        return true;
    }
    void runFor(std::chrono::milliseconds duration) {
        runUntil([] { return false; }, duration);
    }

private:
    asio::io_context io_;
};

class ListedScreens : public Screens {
public:
    std::vector<Screen> screens() override { return list; }
    std::optional<Screen> mainScreen() override {
        return list.empty() ? std::nullopt : std::optional(list.front());
    }
    std::vector<Screen> list;
};

// Records each verification and answers it once the test has set an answer.
class ScriptedVerifier {
public:
    VerifyCodeHandler handler() {
        return [this](std::string email, std::string code) {
            return verify(this, std::move(email), std::move(code));
        };
    }

    std::vector<std::pair<std::string, std::string>> calls; // e-mail, code
    std::optional<SignInResult> answer;

private:
    static Awaitable<SignInResult> verify(ScriptedVerifier* self, std::string email,
                                          std::string code) {
        self->calls.emplace_back(std::move(email), std::move(code));
        while (!self->answer)
            co_await sleepFor(std::chrono::milliseconds(1));
        co_return *self->answer;
    }
};

// The application the user is in. The offscreen platform activates every window it shows, and
// the panel's field takes the focus with it; a desktop leaves the focus where it was. This puts
// the panel back in the background, its field never focused.
class ElsewhereWindow {
public:
    void takeFocus(QWidget* panelField, MainLoop& loop) {
        // Past the code field's delayed focus (0.1 s after it is shown), which would otherwise
        // take the keyboard back from this window: on a loaded machine a fixed wait can end
        // before the timer's event was handled, so the wait lasts until the timer has fired.
        loop.runFor(std::chrono::milliseconds(150));
        loop.runUntil([panelField] {
            const auto* delayed = panelField->findChild<QTimer*>(QStringLiteral("delayedFocus"));
            return !delayed || !delayed->isActive();
        });
        for (auto* widget : panelField->findChildren<QWidget*>())
            widget->clearFocus();
        window_.show();
        window_.activateWindow();
        loop.turn();
    }

private:
    QWidget window_;
};

} // namespace pennial::testing
