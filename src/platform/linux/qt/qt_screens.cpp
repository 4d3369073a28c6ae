#include "platform/linux/qt/qt_screens.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWindow>

namespace pennial {

namespace {

Rect flipped(const QRect& rect, int primaryHeight) {
    return {{static_cast<double>(rect.x()),
             static_cast<double>(primaryHeight - (rect.y() + rect.height()))},
            {static_cast<double>(rect.width()), static_cast<double>(rect.height())}};
}

Screen describe(const QScreen& screen, int primaryHeight) {
    Screen described;
    described.frame = flipped(screen.geometry(), primaryHeight);
    described.visibleFrame = flipped(screen.availableGeometry(), primaryHeight);
    return described;
}

int primaryHeight() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().height() : 0;
}

} // namespace

std::vector<Screen> QtScreens::screens() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return {};
    const int height = primaryHeight();
    std::vector<Screen> screens{describe(*primary, height)};
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back(describe(*screen, height));
    return screens;
}

Point QtScreens::fromDevicePixels(Point point) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const double ratio = screen->devicePixelRatio();
        const QRectF device(logical.topLeft(), QSizeF(logical.size()) * ratio);
        if (!device.contains(QPointF(point.x, point.y)))
            continue;
        return {logical.x() + (point.x - logical.x()) / ratio,
                logical.y() + (point.y - logical.y()) / ratio};
    }
    return point;
}

std::optional<Screen> QtScreens::mainScreen() {
    const QScreen* screen = nullptr;
    if (const QWindow* focused = QGuiApplication::focusWindow())
        screen = focused->screen();
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return describe(*screen, primaryHeight());
}

} // namespace pennial
