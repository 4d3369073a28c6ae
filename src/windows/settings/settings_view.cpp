#include "windows/settings/settings_view.hpp"

#include "ui/cards/card_title_bar.hpp"
#include "ui/design/pn_spacing.hpp"
#include "windows/settings/account_tab.hpp"
#include "windows/settings/general_tab.hpp"
#include "windows/settings/settings_divider.hpp"
#include "windows/settings/settings_tab_button.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace pennial {

SettingsView::SettingsView(AppCoordinator& coordinator, Executor main, int selectedTab,
                           TabBuilder makeCommandsTab, QWidget* parent)
    : QWidget(parent), coordinator_(coordinator), main_(std::move(main)),
      makeCommandsTab_(std::move(makeCommandsTab)), selectedTab_(selectedTab) {
    setObjectName(QStringLiteral("SettingsView"));
    auto* root = new QVBoxLayout(this);
    // The card's title strip with its buttons and logo lies over the top of the content; the tabs
    // start below it.
    root->setContentsMargins(0, CardTitleBar::height, 0, 0);
    root->setSpacing(0);

    tabBar_ = new QWidget(this);
    tabBar_->setObjectName(QStringLiteral("SettingsTabBar"));
    auto* bar = new QHBoxLayout(tabBar_);
    // The selected tab's mark reaches down through the bar's lower margin, onto the divider.
    bar->setContentsMargins(0, static_cast<int>(PNSpacing::sm), 0, 0);
    bar->setSpacing(static_cast<int>(PNSpacing::xl));
    const std::array<const char*, 3> titles = {"General", "Commands", "Account"};
    for (int index = 0; index < static_cast<int>(titles.size()); ++index) {
        auto* tab = new SettingsTabButton(
            QCoreApplication::translate("SettingsView", titles[index]), tabBar_);
        connect(tab, &QAbstractButton::clicked, this, [this, index] { selectTab(index); });
        bar->addWidget(tab);
        tabs_[index] = tab;
    }
    root->addWidget(tabBar_, 0, Qt::AlignHCenter);
    root->addWidget(makeSettingsDivider(this));

    auto* contentHolder = new QWidget(this);
    contentArea_ = new QVBoxLayout(contentHolder);
    contentArea_->setContentsMargins(0, 0, 0, 0);
    contentArea_->setSpacing(0);
    root->addWidget(contentHolder, 1);

    selectTab(selectedTab);
}

void SettingsView::selectTab(int index) {
    selectedTab_ = index;
    for (int tab = 0; tab < static_cast<int>(tabs_.size()); ++tab)
        tabs_[tab]->setSelected(tab == index);
    // The view left behind goes with all its state (and its load, if still running).
    delete content_;
    content_ = nullptr;
    if (auto made = makeContent(index)) {
        content_ = made.release();
        contentArea_->addWidget(content_);
    }
}

std::unique_ptr<QWidget> SettingsView::makeContent(int index) {
    switch (index) {
    case generalTab:
        return std::make_unique<GeneralTab>(coordinator_, main_);
    case commandsTab:
        return makeCommandsTab_ ? makeCommandsTab_(coordinator_) : nullptr;
    case accountTab:
        return std::make_unique<AccountTab>(coordinator_);
    default:
        return nullptr;
    }
}

} // namespace pennial
