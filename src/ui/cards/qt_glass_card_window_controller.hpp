#pragma once
// Shows one root view in a dark card window: builds the window on show(), brings it forward when
// it is already open, closes and forgets it on hide(), and builds a new one, with a new root view,
// on the next show() after a close. A window never reaches beyond its screen's free area: on a
// smaller screen it is as large as that area and its view scrolls. The settings, about and
// onboarding windows are each one of these. Main thread only.

#include "app/glass_card_window_controller.hpp"
#include "platform/geometry.hpp"
#include "ui/cards/card_window_services.hpp"

#include <QColor>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace pennial {

class GlassCardWindow;

class QtGlassCardWindowController final : public GlassCardWindowController {
public:
    // Called each time a window is built; the window owns what it returns. An empty builder, or
    // one that returns none, leaves the card empty.
    using ContentBuilder = std::function<std::unique_ptr<QWidget>()>;

    QtGlassCardWindowController(std::string id, Size size, bool resizable, ContentBuilder content,
                                CardWindowServices services);
    // An open window is closed as by hide().
    ~QtGlassCardWindowController() override;
    QtGlassCardWindowController(const QtGlassCardWindowController&) = delete;
    QtGlassCardWindowController& operator=(const QtGlassCardWindowController&) = delete;

    void show() override;
    // Closes even a window that refuses the user's close.
    void hide() override;
    // Changes the open window's size, keeping its centre as far as its screen's free area allows,
    // and fixes it there; a later window is built at the size given here at construction.
    // Nothing happens without a window.
    void resize(Size size, bool animated);
    // A window exists and is shown and not minimised.
    bool isVisible() const;

    // The answer to a close request; true at first.
    bool canClose() const;
    void setCanClose(bool canClose);

    // Read when the window is built.
    void setShowTitlebarLogo(bool show) override;
    void setHideButtons(bool hide);
    // The container's colour; black when none.
    void setOpaqueBackground(std::optional<QColor> color);

    // Run on a later main-loop turn after the window gains or loses keyboard focus; empty to
    // clear.
    void setOnWindowDidBecomeKey(std::function<void()> callback);
    void setOnWindowDidResignKey(std::function<void()> callback);

    // The open window, for views that need it and for tests.
    GlassCardWindow* window() const;

private:
    struct State; // shared with the steps queued by the window's events

    std::shared_ptr<State> state_;
};

} // namespace pennial
