#include "windows/onboarding/permission_row.hpp"

#include "ui/design/pn_badge.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/onboarding_text.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal iconGlyphSize = 16;
constexpr int iconBox = 24;
constexpr int titleSize = 15;
constexpr int subtitleSize = 11;
constexpr qreal checkGlyphSize = 16;

QString localized(const char* text) {
    return QCoreApplication::translate("PermissionRow", text);
}

// The small bordered button of a dark surface.
QString grantButtonStyleSheet() {
    return QStringLiteral("QPushButton { color: white; background: rgba(255, 255, 255, 0.08);"
                          " border: 1px solid rgba(255, 255, 255, 0.25); border-radius: 5px;"
                          " padding: 2px 10px; }"
                          "QPushButton:hover { background: rgba(255, 255, 255, 0.14); }"
                          "QPushButton:pressed { background: rgba(255, 255, 255, 0.2); }");
}

} // namespace

PermissionRow::PermissionRow(const QString& title, const QString& subtitle,
                             OnboardingSymbol::Shape icon, bool isGranted, bool isRequired,
                             std::function<void()> onGrant, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("PermissionRow"));
    // Assistive technologies read the row as one element.
    setAccessibleName(title + QStringLiteral(", ") + subtitle);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, static_cast<int>(PNSpacing::md), 0,
                             static_cast<int>(PNSpacing::md));
    line->setSpacing(static_cast<int>(PNSpacing::md));
    line->addWidget(new OnboardingSymbol(icon, iconGlyphSize, PNColor::withOpacity(Qt::white, 0.8),
                                         QSize(iconBox, iconBox), this),
                    0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(static_cast<int>(PNSpacing::xs));
    auto* titleLine = new QHBoxLayout;
    titleLine->setSpacing(static_cast<int>(PNSpacing::sm));
    title_ = new OnboardingText(
        title, PNTypography::brand(QStringLiteral("Inter"), titleSize, QFont::DemiBold), this);
    title_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    titleLine->addWidget(title_, 0, Qt::AlignVCenter);
    if (isRequired) {
        badge_ =
            new PNBadge(localized("Required"), PNColor::error(), PNColor::badgeBackground(), this);
        titleLine->addWidget(badge_, 0, Qt::AlignVCenter);
    }
    titleLine->addStretch(1);
    texts->addLayout(titleLine);
    subtitle_ = new OnboardingText(
        subtitle, PNTypography::brand(QStringLiteral("Inter"), subtitleSize, QFont::Normal), this);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    texts->addWidget(subtitle_);
    line->addLayout(texts, 1);
    line->addSpacing(static_cast<int>(PNSpacing::md));

    // Both states are built; one is shown.
    auto* state = new QVBoxLayout;
    state->setContentsMargins(0, 0, 0, 0);
    grantButton_ = new QPushButton(localized("Grant Access"), this);
    grantButton_->setObjectName(QStringLiteral("GrantAccessButton"));
    grantButton_->setAccessibleName(localized("Grant %1 access").arg(title));
    grantButton_->setFont(PNTypography::labelRegular());
    grantButton_->setStyleSheet(grantButtonStyleSheet());
    grantButton_->setCursor(Qt::PointingHandCursor);
    connect(grantButton_, &QPushButton::clicked, this, [onGrant = std::move(onGrant)] {
        if (onGrant)
            onGrant();
    });
    checkmark_ = new OnboardingSymbol(
        OnboardingSymbol::Shape::checkmark, checkGlyphSize, PNColor::brand(),
        QSize(static_cast<int>(checkGlyphSize), static_cast<int>(checkGlyphSize)), this);
    checkmark_->setAccessibleName(localized("%1 granted").arg(title));
    auto* buttonBox = new QVBoxLayout;
    buttonBox->setContentsMargins(0, static_cast<int>(PNSpacing::xxs), 0, 0);
    buttonBox->addWidget(grantButton_);
    auto* checkBox = new QVBoxLayout;
    checkBox->setContentsMargins(0, static_cast<int>(PNSpacing::xs), 0, 0);
    checkBox->addWidget(checkmark_, 0, Qt::AlignRight);
    state->addLayout(buttonBox);
    state->addLayout(checkBox);
    state->addStretch(1);
    line->addLayout(state);
    setGranted(isGranted);
}

void PermissionRow::setGranted(bool granted) {
    granted_ = granted;
    grantButton_->setVisible(!granted);
    checkmark_->setVisible(granted);
}

} // namespace pennial
