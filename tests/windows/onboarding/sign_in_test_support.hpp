#pragma once
// What the sign-in tests share: typing as the keyboard does, and sign-in callbacks that record
// each call and answer when the test says so.

#include "app/sign_in_result.hpp"
#include "base/task.hpp"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pennial::testing {

// One key press per character, as a keyboard delivers them.
inline void typeInto(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QCoreApplication::sendEvent(widget, &press);
    }
}

inline void pressKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

// The core's two sign-in callbacks, answered by the test: each call waits until its answer is set
// and takes it (the next call waits for a new one).
class ScriptedSignIn {
public:
    RequestCodeHandler requestHandler() {
        return [this](std::string email) { return request(this, std::move(email)); };
    }
    VerifyCodeHandler verifyHandler() {
        return [this](std::string email, std::string code) {
            return verify(this, std::move(email), std::move(code));
        };
    }

    std::vector<std::string> requests;                              // e-mail
    std::vector<std::pair<std::string, std::string>> verifications; // e-mail, code
    std::optional<SignInResult> requestAnswer;
    std::optional<SignInResult> verifyAnswer;

private:
    static Awaitable<SignInResult> take(std::optional<SignInResult>& answer) {
        while (!answer)
            co_await sleepFor(std::chrono::milliseconds(1));
        auto result = *answer;
        answer.reset();
        co_return result;
    }
    static Awaitable<SignInResult> request(ScriptedSignIn* self, std::string email) {
        self->requests.push_back(std::move(email));
        co_return co_await take(self->requestAnswer);
    }
    static Awaitable<SignInResult> verify(ScriptedSignIn* self, std::string email,
                                          std::string code) {
        self->verifications.emplace_back(std::move(email), std::move(code));
        co_return co_await take(self->verifyAnswer);
    }
};

} // namespace pennial::testing
