#include "ui/tray/menu_bar_view.hpp"

#include "app/app_coordinator.hpp"
#include "ui/tray/tray_icon_image.hpp"

#include <QIcon>
#include <QPixmap>
#include <QTimer>

namespace pennial {

namespace {

QIcon trayIconFor(bool updateAvailable) {
    return QIcon(QPixmap::fromImage(trayImage(updateAvailable)));
}

// The status line's mark, as close as the icon theme gets.
QIcon statusIcon(const std::string& symbol) {
    return QIcon::fromTheme(symbol == "checkmark.circle.fill" ? "emblem-ok-symbolic"
                                                              : "media-record-symbolic");
}

} // namespace

MenuBarView::MenuBarView(std::shared_ptr<AppCoordinator> coordinator, std::function<void()> quit)
    : coordinator_(std::move(coordinator)), quit_(std::move(quit)) {
    tray_.setToolTip("Pennial");
    tray_.setContextMenu(&menu_);
    changes_ = coordinator_->changed().connect([this] { rebuild(); });
    rebuild();
    tray_.show();
}

MenuBarView::~MenuBarView() {
    tray_.setContextMenu(nullptr);
}

void MenuBarView::rebuild() {
    const auto inputs = menuBarInputs(*coordinator_);
    if (!tray_.icon().isNull() && badged_ == inputs.updateAvailable &&
        shown_ == menuBarEntries(inputs))
        return;
    badged_ = inputs.updateAvailable;
    tray_.setIcon(trayIconFor(badged_));
    shown_ = menuBarEntries(inputs);
    menu_.clear();
    for (const auto& entry : shown_) {
        if (entry.kind == MenuBarEntry::Kind::divider) {
            menu_.addSeparator();
            continue;
        }
        auto* action = menu_.addAction(QString::fromStdString(entry.title));
        if (entry.kind == MenuBarEntry::Kind::label) {
            // A label, not a button; read out as its text.
            action->setIcon(statusIcon(entry.symbol));
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
