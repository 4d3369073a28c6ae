#pragma once
// What the code panel's tests share: a main loop that runs the test's io_context and the Qt
// events together, screens to place on, a verify callback the test answers when it likes, and
// a stand-in for the onboarding window's code field.

#include "app/notch_passcode_panel.hpp"
#include "base/task.hpp"
#include "platform/screens.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
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

    // Runs both until condition holds; whether it did within the time-out.
    template <class Condition>
    bool runUntil(Condition condition,
                  std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > timeout.count())
                return false;
            turn();
            QThread::msleep(1);
        }
        return true;
    }

    void runFor(std::chrono::milliseconds duration) {
        QElapsedTimer clock;
        clock.start();
        do {
            turn();
            QThread::msleep(1);
        } while (clock.elapsed() < duration.count());
    }

    // What is ready now, nothing timed.
    void turn() {
        io_.restart();
        io_.poll();
        QCoreApplication::processEvents();
    }

private:
    asio::io_context io_;
};

// The application the user is in. The offscreen platform activates every window it shows, and
// the panel's code field takes the focus with it; on a desktop the panel shows without taking the
// focus. This leaves the panel as a desktop would: in the background, its field never focused.
class ElsewhereWindow {
public:
    void takeFocus(QWidget* panelField, MainLoop& loop) {
        for (auto* widget : panelField->findChildren<QWidget*>())
            widget->clearFocus();
        window_.show();
        window_.activateWindow();
        loop.turn();
    }

private:
    QWidget window_;
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

// The onboarding window's side of the mirroring, as the core wires it: its setter ignores an
// equal code, and what the user types there goes to the panel.
class OtherCodeField {
public:
    explicit OtherCodeField(NotchPasscodePanel& panel) : panel_(panel) {}

    void setSignInCode(const std::string& newCode) {
        if (newCode == code)
            return;
        code = newCode;
        ++writes;
        panel_.setCode(code);
    }
    void type(const std::string& typed) {
        code = typed;
        panel_.setCode(code);
    }

    std::string code;
    int writes = 0;

private:
    NotchPasscodePanel& panel_;
};

} // namespace pennial::testing
