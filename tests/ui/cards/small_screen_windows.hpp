#pragma once
// Windows on small screens at the desktop's scales. A test program runs one of its own tests again
// in a child process for each screen and scale: the offscreen platform is given a screen of that
// many pixels and QT_SCALE_FACTOR the scale, so the child meets the screen in logical points as a
// user's desktop reports it. In the child, the screens add a panel strip along the top or the
// bottom edge (the offscreen platform has none of its own).

#include "platform/screens.hpp"
#include "ui/cards/cards_test_support.hpp"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pennial::testing {

struct ScaledScreen {
    int pixelWidth = 0;
    int pixelHeight = 0;
    double scale = 1;
};

inline std::vector<ScaledScreen> smallScaledScreens() {
    std::vector<ScaledScreen> all;
    for (const auto [width, height] : {std::pair{1280, 800}, std::pair{1024, 600}})
        for (const double scale : {1.0, 1.5, 2.0})
            all.push_back({width, height, scale});
    return all;
}

// Runs the test named by `filter` of this program in a child on the screen; its output when it
// fails or runs no test.
inline ::testing::AssertionResult passesOn(const ScaledScreen& screen, const QString& filter) {
    const QString where = QStringLiteral("%1x%2 at scale %3")
                              .arg(screen.pixelWidth)
                              .arg(screen.pixelHeight)
                              .arg(screen.scale);
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return ::testing::AssertionFailure() << "cannot write " << config.toStdString();
    const QJsonObject described{{"name", "small"},
                                {"x", 0},
                                {"y", 0},
                                {"width", screen.pixelWidth},
                                {"height", screen.pixelHeight},
                                {"logicalDpi", 96},
                                {"logicalBaseDpi", 96},
                                {"dpr", 1}};
    file.write(QJsonDocument(QJsonObject{{"screens", QJsonArray{described}}}).toJson());
    file.close();

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), "offscreen:configfile=" + config);
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(screen.scale));
    // The one test runs whole in the child, whatever share of the tests this program runs.
    environment.remove(QStringLiteral("GTEST_SHARD_INDEX"));
    environment.remove(QStringLiteral("GTEST_TOTAL_SHARDS"));
    environment.insert(QStringLiteral("PENNIAL_TEST_SCREEN"), QStringLiteral("%1x%2_scale%3")
                                                                  .arg(screen.pixelWidth)
                                                                  .arg(screen.pixelHeight)
                                                                  .arg(screen.scale));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=" + filter, QStringLiteral("--gtest_brief=1")});
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return ::testing::AssertionFailure() << where.toStdString() << ": no end within a minute";
    }
    const QString output = QString::fromUtf8(child.readAll());
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
        output.contains(QStringLiteral("PASSED  ] 1 test")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << where.toStdString() << ":\n" << output.toStdString();
}

// The primary screen as Qt reports it, less a panel strip of 32 points along one edge.
class PanelledScreens final : public Screens {
public:
    explicit PanelledScreens(bool panelAtTop) : panelAtTop_(panelAtTop) {}

    static constexpr int panel = 32;

    QRect freeArea() const {
        const QRect whole = QGuiApplication::primaryScreen()->geometry();
        return whole.adjusted(0, panelAtTop_ ? panel : 0, 0, panelAtTop_ ? 0 : -panel);
    }
    std::vector<Screen> screens() override { return {describe()}; }
    std::optional<Screen> mainScreen() override { return describe(); }

private:
    // In the screens' coordinates: y grows upwards from the screen's foot.
    Screen describe() const {
        const QRect whole = QGuiApplication::primaryScreen()->geometry();
        const QRect free = freeArea();
        Screen screen;
        screen.frame = {{0, 0}, {double(whole.width()), double(whole.height())}};
        screen.visibleFrame = {{double(free.x()), double(whole.bottom() - free.bottom())},
                               {double(free.width()), double(free.height())}};
        return screen;
    }

    bool panelAtTop_;
};

// Card window services over the panelled screens.
struct SmallScreenCards {
    explicit SmallScreenCards(bool panelAtTop)
        : screens(std::make_shared<PanelledScreens>(panelAtTop)) {}

    std::shared_ptr<PanelledScreens> screens;
    std::shared_ptr<ListedOwnWindows> ownWindows = std::make_shared<ListedOwnWindows>();
    std::shared_ptr<QtWindowFocus> focus = std::make_shared<QtWindowFocus>(ownWindows);

    CardWindowServices services() const { return {screens, focus, ownWindows, nullptr}; }
};

// The part of a widget its ancestors leave in view, in its window's coordinates.
inline QRect shownPart(const QWidget& widget) {
    QRect shown(widget.mapTo(widget.window(), QPoint(0, 0)), widget.size());
    for (const QWidget* above = widget.parentWidget(); above && !above->isWindow();
         above = above->parentWidget())
        shown &= QRect(above->mapTo(above->window(), QPoint(0, 0)), above->size());
    return shown;
}

// The window lies in the free area, and the button is shown whole in it, without scrolling.
inline ::testing::AssertionResult fitsWithButtonInView(const QWidget& window, const QWidget& button,
                                                       const QRect& free) {
    const auto text = [](const QRect& rect) {
        return std::to_string(rect.width()) + "x" + std::to_string(rect.height()) + " at " +
               std::to_string(rect.x()) + "," + std::to_string(rect.y());
    };
    if (!free.contains(window.geometry()))
        return ::testing::AssertionFailure()
               << "window " << text(window.geometry()) << " outside " << text(free);
    const QRect whole(button.mapTo(&window, QPoint(0, 0)), button.size());
    if (!button.isVisible() || shownPart(button) != whole || !window.rect().contains(whole))
        return ::testing::AssertionFailure()
               << button.objectName().toStdString() << " " << text(whole) << " shows only "
               << text(shownPart(button)) << " of a window " << text(window.rect());
    return ::testing::AssertionSuccess();
}

// The screen a child runs on, for screenshot names: "1280x800_scale2"; "own" outside a child.
inline QString screenName() {
    return qEnvironmentVariable("PENNIAL_TEST_SCREEN", QStringLiteral("own"));
}

} // namespace pennial::testing
