#pragma once
// What the onboarding controller needs of its card window, and the seam that makes one: the
// application passes a factory over the real card window, tests pass a recording one.

#include <QColor>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace pennial {

struct OnboardingCardLayout {
    QString id;
    QSize size; // content size of a newly built window
    bool resizable = false;
    bool canClose = true;
    bool hideButtons = false;
    std::optional<QColor> opaqueBackground; // none: black
};

class OnboardingCard {
public:
    virtual ~OnboardingCard() = default;

    // Builds the window (calling the content builder) and shows it, or only brings it forward
    // when it is open.
    virtual void show() = 0;
    // Closes and forgets the window.
    virtual void hide() = 0;
    // Fixes the open window at `size` around its centre; nothing without a window.
    virtual void resize(QSize size, bool animated) = 0;
    // A window exists and is at least partly visible on screen.
    virtual bool isVisible() const = 0;
    // Read at every change of keyboard focus; empty to clear.
    virtual void setOnWindowDidResignKey(std::function<void()> callback) = 0;
    virtual void setOnWindowDidBecomeKey(std::function<void()> callback) = 0;
};

// Builds a new root widget each time a window is built; the window owns it.
using OnboardingContentBuilder = std::function<std::unique_ptr<QWidget>()>;
using OnboardingCardFactory = std::function<std::unique_ptr<OnboardingCard>(
    const OnboardingCardLayout& layout, OnboardingContentBuilder content)>;

} // namespace pennial
