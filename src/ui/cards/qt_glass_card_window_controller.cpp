#include "ui/cards/qt_glass_card_window_controller.hpp"

#include "platform/screens.hpp"
#include "platform/window_visibility.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "ui/cards/window_identifier.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_spacing.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace pennial {

namespace {

constexpr std::chrono::milliseconds resizeDuration{200};

QSize qtSize(Size size) {
    return {roundToPixels(size.width), roundToPixels(size.height)};
}

// Window work runs on a later turn of the main loop, never inside the window's own event.
void later(std::function<void()> step) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(step), Qt::QueuedConnection);
}

// A frame of the wanted size, no larger than the area, around the given centre and moved into
// the area where it would overhang.
QRect fittedFrame(QSize wanted, QPointF centre, const QRect& area) {
    const QSize size = wanted.boundedTo(area.size());
    QRect frame(QPoint(roundToPixels(centre.x() - size.width() / 2.0),
                       roundToPixels(centre.y() - size.height() / 2.0)),
                size);
    frame.moveLeft(std::clamp(frame.left(), area.left(), area.right() + 1 - size.width()));
    frame.moveTop(std::clamp(frame.top(), area.top(), area.bottom() + 1 - size.height()));
    return frame;
}

} // namespace

struct QtGlassCardWindowController::State {
    std::string id;
    Size size;
    bool resizable = false;
    ContentBuilder content;
    CardWindowServices services;

    bool canClose = true;
    bool hideButtons = false;
    bool showTitlebarLogo = false;
    std::optional<QColor> opaqueBackground;
    std::function<void()> onWindowDidResignKey;
    std::function<void()> onWindowDidBecomeKey;

    GlassCardWindow* window = nullptr;     // owned while set
    QPointer<QPropertyAnimation> resizing; // the open window's running resize

    // The closed window is deleted, so that it no longer counts as one of ours, before the focus
    // rules look for what is left.
    void forgetWindow(GlassCardWindow* closed) {
        if (window != closed)
            return;
        window = nullptr;
        later([focus = services.focus, closed = QPointer<GlassCardWindow>(closed)] {
            delete closed.data();
            focus->restoreAccessoryIfNoUserWindows();
        });
    }

    GlassCardWindow* build(const std::shared_ptr<State>& self);
    // The free area, in the window system's coordinates, of the screen that holds the point, else
    // of the main screen; none without screens.
    std::optional<QRect> freeArea(std::optional<QPoint> near) const;
};

GlassCardWindow* QtGlassCardWindowController::State::build(const std::shared_ptr<State>& self) {
    const std::weak_ptr<State> weak = self;
    GlassCardWindow::Events events;
    events.shouldClose = [weak] {
        auto state = weak.lock();
        return !state || state->canClose;
    };
    events.willClose = [weak](GlassCardWindow& closed) {
        if (auto state = weak.lock())
            state->forgetWindow(&closed);
    };
    // The callbacks reach into their creator, who owns the controller: once the controller is
    // gone, a change still queued is dropped.
    events.keyChanged = [weak](bool isKey) {
        later([weak, isKey] {
            auto state = weak.lock();
            if (!state)
                return;
            // A copy: the callback may replace itself.
            const auto callback = isKey ? state->onWindowDidBecomeKey : state->onWindowDidResignKey;
            if (callback)
                callback();
        });
    };

    auto* built = new GlassCardWindow(resizable, opaqueBackground.value_or(QColor(Qt::black)),
                                      std::move(events));
    built->setContent(content ? content() : nullptr);
    setWindowIdentifier(*built, id);
    services.ownWindows->addOwnWindow(id, built);
    // In the middle of the main screen's free area, and no larger: on a small screen the content
    // scrolls rather than reaching under a panel or past the edge.
    const auto area = freeArea(std::nullopt);
    const QRect frame = area ? fittedFrame(qtSize(size), QRectF(*area).center(), *area)
                             : QRect(QPoint(), qtSize(size));
    built->setMinimumSize(frame.size());
    if (!resizable)
        built->setMaximumSize(frame.size());
    built->resize(frame.size());
    if (area)
        built->move(frame.topLeft());
    if (hideButtons)
        built->titleBar()->setButtonsHidden(true);
    if (showTitlebarLogo) {
        built->setWindowTitle(QStringLiteral(" "));
        built->titleBar()->showLogo();
    }
    return built;
}

std::optional<QRect>
QtGlassCardWindowController::State::freeArea(std::optional<QPoint> near) const {
    if (!services.screens)
        return std::nullopt;
    const auto all = services.screens->screens();
    if (all.empty())
        return std::nullopt;
    // The screens count y upwards from the primary screen's bottom; the window system downwards
    // from its top. Fractions are rounded inwards.
    const double primaryTop = all.front().frame.maxY();
    const auto placed = [primaryTop](const Rect& area) {
        const QPoint topLeft(static_cast<int>(std::ceil(area.minX())),
                             static_cast<int>(std::ceil(primaryTop - area.maxY())));
        const QPoint bottomRight(static_cast<int>(std::floor(area.maxX())) - 1,
                                 static_cast<int>(std::floor(primaryTop - area.minY())) - 1);
        return QRect(topLeft, bottomRight);
    };
    if (near)
        for (const Screen& screen : all)
            if (placed(screen.frame).contains(*near))
                return placed(screen.visibleFrame);
    const auto main = services.screens->mainScreen();
    if (!main)
        return std::nullopt;
    return placed(main->visibleFrame);
}

QtGlassCardWindowController::QtGlassCardWindowController(std::string id, Size size, bool resizable,
                                                         ContentBuilder content,
                                                         CardWindowServices services)
    : state_(std::make_shared<State>()) {
    state_->id = std::move(id);
    state_->size = size;
    state_->resizable = resizable;
    state_->content = std::move(content);
    state_->services = std::move(services);
}

QtGlassCardWindowController::~QtGlassCardWindowController() {
    hide();
}

void QtGlassCardWindowController::show() {
    if (state_->window) {
        state_->services.focus->focus(*state_->window);
        return;
    }
    GlassCardWindow* built = state_->build(state_);
    state_->services.focus->showAppForUserInteraction();
    built->show();
    built->raise();
    built->activateWindow();
    state_->window = built;
}

void QtGlassCardWindowController::hide() {
    state_->canClose = true;
    GlassCardWindow* open = state_->window;
    if (!open)
        return;
    open->close();
    // A close that did not reach the window's close event (it was already closing) still ends
    // here.
    if (state_->window == open) {
        open->hide();
        state_->forgetWindow(open);
    }
}

void QtGlassCardWindowController::resize(Size size, bool animated) {
    GlassCardWindow* open = state_->window;
    if (!open)
        return;
    const QRect current = open->geometry();
    // Kept inside the free area of the screen the window is on.
    const QPointF centre(current.x() + current.width() / 2.0, current.y() + current.height() / 2.0);
    const auto area = state_->freeArea(current.center());
    const QRect frame = area ? fittedFrame(qtSize(size), centre, *area)
                             : QRect(QPoint(roundToPixels(centre.x() - size.width / 2),
                                            roundToPixels(centre.y() - size.height / 2)),
                                     qtSize(size));
    const QSize target = frame.size();
    // A newer size wins over one still on its way; a stopped animation never finishes.
    if (state_->resizing)
        state_->resizing->stop();
    const auto duration =
        animated ? PNAnimations::duration(resizeDuration) : std::chrono::milliseconds::zero();
    if (duration.count() == 0) {
        open->setMinimumSize(target);
        open->setMaximumSize(target);
        open->setGeometry(frame);
        return;
    }
    // The limits would hold the frames in between; they are fixed once the window got there.
    open->setMinimumSize(open->minimumSize().boundedTo(target));
    open->setMaximumSize(open->maximumSize().expandedTo(target));
    auto* animation = new QPropertyAnimation(open, "geometry", open);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setEndValue(frame);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(animation, &QPropertyAnimation::finished, open, [open, target] {
        open->setMinimumSize(target);
        open->setMaximumSize(target);
    });
    state_->resizing = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool QtGlassCardWindowController::isVisible() const {
    const GlassCardWindow* open = state_->window;
    if (!open || !open->isVisible() || open->isMinimized())
        return false;
    // Shown is not seen: another application's window may lie over it all.
    const auto& visibility = state_->services.visibility;
    return !visibility || visibility->isWindowSeen(open->winId());
}

bool QtGlassCardWindowController::canClose() const {
    return state_->canClose;
}

void QtGlassCardWindowController::setCanClose(bool canClose) {
    state_->canClose = canClose;
}

void QtGlassCardWindowController::setShowTitlebarLogo(bool show) {
    state_->showTitlebarLogo = show;
}

void QtGlassCardWindowController::setHideButtons(bool hide) {
    state_->hideButtons = hide;
}

void QtGlassCardWindowController::setOpaqueBackground(std::optional<QColor> color) {
    state_->opaqueBackground = color;
}

void QtGlassCardWindowController::setOnWindowDidBecomeKey(std::function<void()> callback) {
    state_->onWindowDidBecomeKey = std::move(callback);
}

void QtGlassCardWindowController::setOnWindowDidResignKey(std::function<void()> callback) {
    state_->onWindowDidResignKey = std::move(callback);
}

GlassCardWindow* QtGlassCardWindowController::window() const {
    return state_->window;
}

} // namespace pennial
