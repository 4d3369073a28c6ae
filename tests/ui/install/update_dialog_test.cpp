// The update dialog through a check's states: what it says, the release notes and the install
// button only where the updater installs itself, the progress of a download, and the dialog only
// hiding, never cancelling, while work goes on.

#include "ui/install/update_dialog.hpp"
#include "ui_support/offscreen_qt.hpp"

#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace pennial;
using Kind = UpdateNotice::Kind;

[[maybe_unused]] static const bool environment = pennial::testing::addOffscreenQtEnvironment();

TEST(UpdateDialog, ShowsEachStateOfACheckAndOffersInstallOnlyForAnUpdateItInstalls) {
    UpdateDialog dialog;
    dialog.present(UpdateNotice::of(Kind::checking));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), "Pennial Update");
    EXPECT_FALSE(dialog.installButton()->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.progressBar()->isVisibleTo(&dialog));

    dialog.present(UpdateNotice::of(Kind::upToDate, "0.5.35"));
    EXPECT_EQ(dialog.headline(), "Pennial is up to date");
    EXPECT_FALSE(dialog.progressBar()->isVisibleTo(&dialog));

    dialog.present(UpdateNotice::of(Kind::inSystemUpdates, "0.6.0"));
    EXPECT_EQ(dialog.headline(),
              "Version 0.6.0 is available \u2014 install it with your system's updates");
    EXPECT_FALSE(dialog.installButton()->isVisibleTo(&dialog));

    int installs = 0;
    auto ready = UpdateNotice::of(Kind::readyToInstall, "0.6.0");
    ready.releaseNotes = "Faster palette.";
    ready.install = [&] { ++installs; };
    dialog.present(ready);
    EXPECT_EQ(dialog.headline(), "Version 0.6.0 is available");
    EXPECT_EQ(dialog.releaseNotes()->toPlainText(), "Faster palette.");
    ASSERT_TRUE(dialog.installButton()->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.installButton()->text(), "Install and Relaunch");
    dialog.installButton()->click();
    EXPECT_EQ(installs, 1);

    // A version this copy cannot install: where to download it, as a link, and no install.
    auto elsewhere = UpdateNotice::of(Kind::availableToDownload, "0.6.0");
    elsewhere.address = "https://pennial.example/download";
    dialog.present(elsewhere);
    EXPECT_EQ(dialog.headline(), "Version 0.6.0 is available");
    EXPECT_TRUE(dialog.message().contains(
        R"(<a href="https://pennial.example/download">https://pennial.example/download</a>)"));
    EXPECT_FALSE(dialog.installButton()->isVisibleTo(&dialog));

    auto downloading = UpdateNotice::of(Kind::downloading, "0.6.0");
    downloading.progress = 0.42;
    dialog.present(downloading);
    EXPECT_EQ(dialog.progressBar()->value(), 42);
    EXPECT_FALSE(dialog.installButton()->isVisibleTo(&dialog));
    dialog.installButton()->click();
    EXPECT_EQ(installs, 1) << "no second install from a stale button";
    auto* hide = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
    EXPECT_EQ(hide->text(), "Hide");
    hide->click();
    EXPECT_FALSE(dialog.isVisible());

    dialog.present(UpdateNotice::failure(Kind::installFailed,
                                         "The update's signature is not valid. Nothing was "
                                         "installed."));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.headline(), "Could not install the update");
    EXPECT_EQ(dialog.message(), "The update's signature is not valid. Nothing was installed.");
}
