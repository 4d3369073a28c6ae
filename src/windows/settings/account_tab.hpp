#pragma once
// The settings window's Account tab: which address the application is signed in with, or nothing
// while nobody is. Follows every change the coordinator announces (sign-in, sign-out).

#include "app/change_signal.hpp"

#include <QWidget>

class QLabel;

namespace pennial {

class AppCoordinator;

class AccountTab : public QWidget {
public:
    explicit AccountTab(AppCoordinator& coordinator, QWidget* parent = nullptr);

    // The "Signed in as" line; hidden while no address is known.
    QLabel* identityLine() const { return identityLine_; }

private:
    void refresh();

    AppCoordinator& coordinator_;
    QLabel* identityLine_;
    ChangeSignal::Connection changes_;
};

} // namespace pennial
