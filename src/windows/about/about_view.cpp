#include "windows/about/about_view.hpp"

#include "platform/workspace.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/about/about_icon.hpp"
#include "windows/about/about_texts.hpp"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour, const QString& name,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

AboutView::AboutView(std::shared_ptr<Workspace> workspace, QWidget* parent)
    : QWidget(parent), workspace_(std::move(workspace)) {
    setObjectName(QStringLiteral("AboutView"));

    // Whatever the window's size, the content keeps its own frame in the middle of it.
    auto* frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("AboutFrame"));
    frame->setFixedSize(frameWidth, frameHeight);
    auto* centring = new QGridLayout(this);
    centring->setContentsMargins(0, 0, 0, 0);
    centring->addWidget(frame, 0, 0, Qt::AlignCenter);

    const int margin = static_cast<int>(PNSpacing::xl);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(static_cast<int>(PNSpacing::lg));

    column->addWidget(new AboutIcon(frame), 0, Qt::AlignHCenter);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(static_cast<int>(PNSpacing::xs));
    heading->addWidget(makeLabel(QString::fromLatin1(about::productName), PNTypography::title(),
                                 PNColor::textPrimary(), QStringLiteral("AboutName"), frame));
    heading->addWidget(makeLabel(about::versionLine(), PNTypography::caption(),
                                 PNColor::textSecondary(), QStringLiteral("AboutVersion"), frame));
    column->addLayout(heading);

    auto* tagline = makeLabel(QString::fromLatin1(about::tagline), PNTypography::body(),
                              PNColor::textSecondary(), QStringLiteral("AboutTagline"), frame);
    tagline->setWordWrap(true);
    column->addWidget(tagline);

    auto* links = new QHBoxLayout;
    links->setSpacing(static_cast<int>(PNSpacing::lg));
    links->addStretch();
    links->addWidget(makeLink(QString::fromLatin1(about::websiteDomain), about::websiteURL(),
                              QStringLiteral("AboutWebsiteLink")),
                     0, Qt::AlignVCenter);
    links->addWidget(makeLink(QString::fromLatin1(about::supportEmail), about::supportMailURL(),
                              QStringLiteral("AboutSupportLink")),
                     0, Qt::AlignVCenter);
    links->addStretch();
    column->addLayout(links);

    // The free height gathers here, holding the footer at the bottom margin.
    column->addStretch(1);

    column->addWidget(makeLabel(about::footer(QDate::currentDate().year()), PNTypography::caption(),
                                PNColor::textTertiary(), QStringLiteral("AboutFooter"), frame));
}

QPushButton* AboutView::makeLink(const QString& title, const QString& url, const QString& name) {
    auto* link = new QPushButton(title, this);
    link->setObjectName(name);
    link->setFlat(true);
    link->setFont(PNTypography::body());
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: %1; }")
                            .arg(PNColor::accent().name(QColor::HexArgb)));
    // Opened at once; a desktop with no handler for the address simply shows nothing.
    connect(link, &QPushButton::clicked, this, [this, url] {
        if (workspace_)
            workspace_->openURL(url.toStdString());
    });
    return link;
}

} // namespace pennial
