#include "ui/install/update_dialog.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pennial {

namespace {

struct Texts {
    QString headline;
    QString message;
};

Texts textsFor(const UpdateNotice& notice) {
    const auto version = QString::fromStdString(notice.version);
    const auto reason = QString::fromStdString(notice.reason);
    using Kind = UpdateNotice::Kind;
    switch (notice.kind) {
    case Kind::checking:
        return {"Checking for updates…", "Looking for a newer version of Pennial."};
    case Kind::upToDate:
        return {"Pennial is up to date", "Version " + version + " is the newest version."};
    case Kind::inSystemUpdates:
        return {"Version " + version + " is available \u2014 install it with your system's updates",
                "Your system's software updates or package manager installs it."};
    case Kind::readyToInstall:
        return {"Version " + version + " is available", "What's new:"};
    case Kind::availableToDownload: {
        const auto address = QString::fromStdString(notice.address).toHtmlEscaped();
        return {"Version " + version + " is available",
                "This copy was installed from a package file, which your package manager cannot "
                "update. Download the new version from <a href=\"" +
                    address + "\">" + address + "</a>."};
    }
    case Kind::downloading:
        return {"Downloading version " + version + "…",
                "The update is checked before anything is installed."};
    case Kind::installing:
        return {"Installing version " + version + "…", "Pennial restarts when it is done."};
    case Kind::checkFailed:
        return {"Could not check for updates", reason};
    case Kind::installFailed:
        return {"Could not install the update", reason};
    }
    return {};
}

} // namespace

UpdateDialog::UpdateDialog(QWidget* parent)
    : QDialog(parent), headline_(new QLabel(this)), message_(new QLabel(this)),
      notes_(new QTextBrowser(this)), progress_(new QProgressBar(this)),
      buttons_(new QDialogButtonBox(this)) {
    setWindowTitle(title);
    setMinimumWidth(420);
    auto font = headline_->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    headline_->setFont(font);
    headline_->setWordWrap(true);
    message_->setWordWrap(true);
    message_->setOpenExternalLinks(true);
    notes_->setOpenExternalLinks(true);
    progress_->setRange(0, 100);
    install_ = buttons_->addButton(installButtonText, QDialogButtonBox::AcceptRole);
    close_ = buttons_->addButton(QDialogButtonBox::Close);
    // The dialog only hides: a download under way goes on, and the next check shows it again.
    QObject::connect(close_, &QPushButton::clicked, this, &QDialog::hide);
    QObject::connect(install_, &QPushButton::clicked, this, [this] {
        if (auto install = onInstall_)
            install();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline_);
    layout->addWidget(message_);
    layout->addWidget(notes_);
    layout->addWidget(progress_);
    layout->addWidget(buttons_);
}

void UpdateDialog::present(const UpdateNotice& notice) {
    using Kind = UpdateNotice::Kind;
    const auto texts = textsFor(notice);
    headline_->setText(texts.headline);
    // Only the download's address is a link: a reason is shown as the words it is.
    message_->setTextFormat(notice.kind == Kind::availableToDownload ? Qt::RichText
                                                                     : Qt::PlainText);
    message_->setText(texts.message);
    notes_->setPlainText(QString::fromStdString(notice.releaseNotes));
    notes_->setVisible(
        (notice.kind == Kind::readyToInstall || notice.kind == Kind::availableToDownload) &&
        !notice.releaseNotes.empty());
    onInstall_ = notice.kind == Kind::readyToInstall ? notice.install : nullptr;
    install_->setVisible(notice.kind == Kind::readyToInstall && notice.install);
    const bool working = notice.kind == Kind::checking || notice.kind == Kind::downloading ||
                         notice.kind == Kind::installing;
    progress_->setVisible(working);
    // Checking and installing have no measure: a busy bar.
    progress_->setMaximum(notice.kind == Kind::downloading ? 100 : 0);
    progress_->setValue(static_cast<int>(notice.progress * 100));
    close_->setText(working ? "Hide" : "Close");
    adjustSize();
    show();
    raise();
    activateWindow();
}

QString UpdateDialog::headline() const {
    return headline_->text();
}

QString UpdateDialog::message() const {
    return message_->text();
}

} // namespace pennial
