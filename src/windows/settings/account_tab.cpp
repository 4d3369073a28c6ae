#include "windows/settings/account_tab.hpp"

#include "app/app_coordinator.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace pennial {

AccountTab::AccountTab(AppCoordinator& coordinator, QWidget* parent)
    : QWidget(parent), coordinator_(coordinator) {
    setObjectName(QStringLiteral("AccountTab"));
    auto* root = new QVBoxLayout(this);
    const int margin = static_cast<int>(PNSpacing::xl);
    root->setContentsMargins(margin, margin, margin, margin);
    root->setSpacing(static_cast<int>(PNSpacing::lg));
    identityLine_ = new QLabel(this);
    identityLine_->setFont(PNTypography::caption());
    identityLine_->setTextFormat(Qt::PlainText);
    QPalette palette = identityLine_->palette();
    palette.setColor(QPalette::WindowText, PNColor::textSecondary());
    identityLine_->setPalette(palette);
    // The column is only as wide as its line, and the window centres it.
    root->addWidget(identityLine_, 0, Qt::AlignHCenter);
    root->addStretch(1);
    // The address itself is not announced; it changes together with the sign-in state, which is.
    changes_ = coordinator_.changed().connect([this] { refresh(); });
    refresh();
}

void AccountTab::refresh() {
    const auto& email = coordinator_.userEmail();
    identityLine_->setVisible(email.has_value());
    identityLine_->setText(email ? QCoreApplication::translate("AccountTab", "Signed in as ") +
                                       QString::fromStdString(*email)
                                 : QString());
}

} // namespace pennial
