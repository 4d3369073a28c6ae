// The about window's content: its texts, its fixed frame, and where its links lead.

#include "platform/sim/sim_desktop.hpp"
#include "ui/design/pn_color.hpp"
#include "windows/about/about_icon.hpp"
#include "windows/about/about_texts.hpp"
#include "windows/about/about_view.hpp"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace pennial {
namespace {

QString text(const QWidget& view, const char* name) {
    const auto* label = view.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

QPushButton* link(const QWidget& view, const char* name) {
    return view.findChild<QPushButton*>(QString::fromLatin1(name));
}

// The widget's rectangle in the coordinates of `ancestor`.
QRect rectIn(const QWidget& widget, const QWidget& ancestor) {
    return QRect(widget.mapTo(&ancestor, QPoint(0, 0)), widget.size());
}

class AboutViewTest : public ::testing::Test {
protected:
    SimDesktop desktop;
};

TEST_F(AboutViewTest, ShowsTheNameThisBuildsVersionTheTaglineAndTheYear) {
    AboutView view(desktop.workspace());
    EXPECT_EQ(text(view, "AboutName"), "Pennial");
    EXPECT_EQ(text(view, "AboutVersion"), QStringLiteral("Version " PENNIAL_TEST_VERSION));
    EXPECT_EQ(text(view, "AboutTagline"), "AI-powered text transforms for Linux.");
    EXPECT_EQ(text(view, "AboutFooter"),
              QStringLiteral("© %1 Pennial").arg(QDate::currentDate().year()));
    ASSERT_NE(link(view, "AboutWebsiteLink"), nullptr);
    ASSERT_NE(link(view, "AboutSupportLink"), nullptr);
    EXPECT_EQ(link(view, "AboutWebsiteLink")->text(), "pennial.com");
    EXPECT_EQ(link(view, "AboutSupportLink")->text(), "support@pennial.com");
}

TEST_F(AboutViewTest, TheFooterYearIsPlainDigits) {
    // Never grouped as a number would be in a locale with separators.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(about::footer(2026), "© 2026 Pennial");
    EXPECT_EQ(about::footer(12026), "© 12026 Pennial");
    QLocale::setDefault(previous);
}

TEST_F(AboutViewTest, TheLinksOpenTheWebsiteAndTheSupportAddressThroughTheWorkspace) {
    AboutView view(desktop.workspace());
    link(view, "AboutWebsiteLink")->click();
    link(view, "AboutSupportLink")->click();
    EXPECT_EQ(desktop.openedURLs(),
              (std::vector<std::string>{"https://pennial.com", "mailto:support@pennial.com"}));
}

TEST_F(AboutViewTest, TheContentKeepsItsFrameInTheMiddleWithTheFooterAtTheBottomMargin) {
    for (const QSize window : {QSize(324, 284), QSize(500, 400)}) {
        AboutView view(desktop.workspace());
        view.resize(window);
        view.show();
        auto* frame = view.findChild<QWidget*>(QStringLiteral("AboutFrame"));
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->geometry(),
                  QRect((window.width() - 300) / 2, (window.height() - 260) / 2, 300, 260));

        const auto* footer = view.findChild<QLabel*>(QStringLiteral("AboutFooter"));
        const auto* tagline = view.findChild<QLabel*>(QStringLiteral("AboutTagline"));
        const QRect footerRect = rectIn(*footer, *frame);
        EXPECT_EQ(footerRect.bottom() + 1, 260 - 24) << "on the bottom margin";
        const QRect links = rectIn(*link(view, "AboutWebsiteLink"), *frame);
        EXPECT_GT(footerRect.top() - links.bottom(), 16) << "the free height gathers above it";
        EXPECT_LT(rectIn(*tagline, *frame).bottom(), links.top());
        EXPECT_TRUE(QRect(0, 0, 300, 260).contains(links.united(rectIn(*tagline, *frame))));
    }
}

TEST_F(AboutViewTest, TheMarkIsDrawnInTheAccentColourAndHasNoName) {
    AboutView view(desktop.workspace());
    auto* icon = dynamic_cast<AboutIcon*>(view.findChild<QWidget*>(QStringLiteral("AboutIcon")));
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(icon->hasImage());
    EXPECT_EQ(icon->size(), QSize(32, 32));
    EXPECT_TRUE(icon->accessibleName().isEmpty());

    // Drawn onto a clear image, without the window's background beneath.
    QImage image(icon->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    icon->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() == 255) {
                ++drawn;
                EXPECT_EQ(pixel.rgb(), PNColor::accent().rgb()) << x << "," << y;
            }
    EXPECT_GT(drawn, 20);
}

} // namespace
} // namespace pennial
