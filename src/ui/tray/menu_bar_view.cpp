#include "ui/tray/menu_bar_view.hpp"

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "ui/tray/status_symbol.hpp"
#include "ui/tray/tray_colours.hpp"
#include "ui/tray/tray_icon_image.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace pennial {

namespace {

// How long after the icon is shown the tray has embedded it, so that what lies behind it can be
// read.
constexpr auto trayEmbedDelay = std::chrono::milliseconds(700);

} // namespace

MenuBarView::MenuBarView(std::shared_ptr<AppCoordinator> coordinator, std::function<void()> quit)
    : coordinator_(std::move(coordinator)), quit_(std::move(quit)),
      iconColour_(trayForegroundFor(desktopSchemeBackground())) {
    tray_.setContextMenu(&menu_);
    // The right button opens the context menu through the tray; the left one, as a menu-bar
    // item's click does, opens it too.
    QObject::connect(&tray_, &QSystemTrayIcon::activated, &menu_,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger)
                             openMenuFromIcon();
                     });
    changes_ = coordinator_->changed().connect([this] { rebuild(); });
    rebuild();
    tray_.show();

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // GNOME without its tray extension, a bare window manager: nothing would lead to us.
        logLine("⚠️ [Pennial] No system tray on this desktop: opening the window instead");
        coordinator_->showMainWindow();
        return;
    }
    QTimer::singleShot(trayEmbedDelay, &menu_, [this] { matchTrayBackground(); });
}

MenuBarView::~MenuBarView() {
    tray_.setContextMenu(nullptr);
}

void MenuBarView::matchTrayBackground() {
    const QRect slot = tray_.geometry();
    QScreen* screen = QGuiApplication::screenAt(slot.center());
    if (const auto background = trayBackgroundAround(screen, slot))
        setIconColour(trayForegroundFor(*background));
}

void MenuBarView::setIconColour(const QColor& colour) {
    if (colour == iconColour_)
        return;
    iconColour_ = colour;
    tray_.setIcon(QIcon(QPixmap::fromImage(trayImage(badged_, iconColour_))));
}

void MenuBarView::openMenuFromIcon() {
    if (menu_.isVisible()) {
        menu_.hide();
        return;
    }
    const QRect slot = tray_.geometry();
    QPoint at = slot.isValid() ? slot.bottomLeft() + QPoint(0, 1) : QCursor::pos();
    // A tray at the bottom of the screen: open upwards.
    if (QScreen* screen = QGuiApplication::screenAt(at);
        screen && slot.isValid() &&
        at.y() + menu_.sizeHint().height() > screen->geometry().bottom())
        at = slot.topLeft() - QPoint(0, menu_.sizeHint().height());
    menu_.popup(at);
}

void MenuBarView::updateToolTip() {
    QString tip = QString::fromStdString(shown_.empty() ? std::string() : shown_.front().title);
    if (!coordinator_->statusMessage().empty())
        tip += '\n' + QString::fromStdString(coordinator_->statusMessage());
    if (const auto& error = coordinator_->lastError())
        tip += '\n' + QString::fromStdString(*error);
    if (tray_.toolTip() != tip)
        tray_.setToolTip(tip);
}

void MenuBarView::rebuild() {
    const auto inputs = menuBarInputs(*coordinator_);
    auto entries = menuBarEntries(inputs);
    if (!tray_.icon().isNull() && badged_ == inputs.updateAvailable && shown_ == entries) {
        updateToolTip();
        return;
    }
    badged_ = inputs.updateAvailable;
    tray_.setIcon(QIcon(QPixmap::fromImage(trayImage(badged_, iconColour_))));
    shown_ = std::move(entries);
    updateToolTip();
    menu_.clear();
    for (const auto& entry : shown_) {
        if (entry.kind == MenuBarEntry::Kind::divider) {
            menu_.addSeparator();
            continue;
        }
        auto* action = menu_.addAction(QString::fromStdString(entry.title));
        if (entry.kind == MenuBarEntry::Kind::label) {
            // A label, not a button; read out as its text.
            action->setIcon(
                statusSymbolIcon(entry.symbol, menu_.palette().color(QPalette::WindowText)));
            action->setEnabled(false);
            action->setToolTip(action->text());
            continue;
        }
        action->setEnabled(entry.enabled);
        QObject::connect(action, &QAction::triggered, &menu_,
                         [this, chosen = entry.action] { choose(chosen); });
    }
}

void MenuBarView::choose(MenuBarAction action) {
    if (action == MenuBarAction::quit) {
        quit_();
        return;
    }
    if (!runsAfterMenuCloses(action)) {
        performMenuBarAction(*coordinator_, action);
        return;
    }
    // After the menu has closed: a window opened while it is still up would lose its focus to it.
    std::weak_ptr<AppCoordinator> weak = coordinator_;
    QTimer::singleShot(0, &menu_, [weak, action] {
        if (auto coordinator = weak.lock())
            performMenuBarAction(*coordinator, action);
    });
}

} // namespace pennial
