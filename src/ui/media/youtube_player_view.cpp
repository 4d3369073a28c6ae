#include "ui/media/youtube_player_view.hpp"

#include "platform/workspace.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <algorithm>

namespace pennial {

namespace {

std::string encoded(const std::string& videoID) {
    return QUrl::toPercentEncoding(QString::fromStdString(videoID)).toStdString();
}

} // namespace

YouTubePlayerView::Coordinator::Coordinator(std::shared_ptr<Workspace> workspace)
    : workspace_(std::move(workspace)) {}

NavigationPolicy YouTubePlayerView::Coordinator::decidePolicy(const NavigationAction& action) {
    if (action.type == NavigationType::other || action.type == NavigationType::reload)
        return NavigationPolicy::allow;
    // Whether or not the browser takes it, the view stays where it is.
    if (action.url && workspace_)
        workspace_->openURL(*action.url);
    return NavigationPolicy::cancel;
}

YouTubePlayerView::YouTubePlayerView(std::string videoID, std::shared_ptr<Workspace> workspace,
                                     QWidget* parent)
    : QWidget(parent), videoID_(std::move(videoID)), coordinator_(std::move(workspace)) {
    setObjectName(QStringLiteral("YouTubePlayerView"));
    setAccessibleName(QStringLiteral("Play video"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    navigate({NavigationType::other, embedURL(videoID_)});
}

std::string YouTubePlayerView::embedURL(const std::string& videoID) {
    return "https://www.youtube.com/embed/" + encoded(videoID);
}

std::string YouTubePlayerView::watchURL(const std::string& videoID) {
    return "https://www.youtube.com/watch?v=" + encoded(videoID);
}

NavigationPolicy YouTubePlayerView::navigate(const NavigationAction& action) {
    const NavigationPolicy policy = coordinator_.decidePolicy(action);
    if (policy == NavigationPolicy::allow && action.type != NavigationType::reload && action.url)
        currentURL_ = *action.url;
    return policy;
}

QSize YouTubePlayerView::sizeHint() const {
    return {480, heightForWidth(480)};
}

int YouTubePlayerView::heightForWidth(int width) const {
    return width * 9 / 16;
}

void YouTubePlayerView::openVideo() {
    navigate({NavigationType::linkActivated, watchURL(videoID_)});
}

void YouTubePlayerView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        openVideo();
    else
        QWidget::mouseReleaseEvent(event);
}

void YouTubePlayerView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter)
        openVideo();
    else
        QWidget::keyPressEvent(event);
}

void YouTubePlayerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    // The poster: a dark card in the brand's colours.
    QPainterPath card;
    card.addRoundedRect(frame, PNRadius::medium, PNRadius::medium);
    QLinearGradient shade(frame.topLeft(), frame.bottomRight());
    shade.setColorAt(0, QColor(0x1C, 0x2A, 0x25));
    shade.setColorAt(1, QColor(0x0B, 0x0F, 0x0E));
    painter.fillPath(card, shade);
    painter.setPen(QPen(PNColor::withOpacity(Qt::white, hasFocus() ? 0.4 : 0.12), 1));
    painter.drawPath(card);

    // The play button in the middle.
    const qreal diameter = std::clamp(std::min(frame.width(), frame.height()) * 0.28, 24.0, 88.0);
    const QRectF button(frame.center().x() - diameter / 2, frame.center().y() - diameter / 2,
                        diameter, diameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(PNColor::brandGradient(button));
    painter.drawEllipse(button);
    const qreal arm = diameter * 0.2;
    const QPointF centre = button.center() + QPointF(arm * 0.2, 0);
    const QPolygonF triangle{centre + QPointF(-arm * 0.8, -arm), centre + QPointF(-arm * 0.8, arm),
                             centre + QPointF(arm, 0)};
    painter.setBrush(PNColor::onboardingBg());
    painter.drawPolygon(triangle);
}

} // namespace pennial
