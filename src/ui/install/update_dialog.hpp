#pragma once
// The one update dialog: it shows each state of a check the user asked for (checking, up to date,
// an update in the system's updates, an update ready to install with its notes, the download's
// progress, a failure) and offers "Install and Relaunch" where the updater installs itself. Plain
// system widgets, as update dialogs are. GUI thread.

#include "platform/update_notice.hpp"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace pennial {

class UpdateDialog : public QDialog {
public:
    static constexpr const char* title = "Pennial Update";
    static constexpr const char* installButtonText = "Install and Relaunch";

    explicit UpdateDialog(QWidget* parent = nullptr);

    // Shows the dialog (raised) in the notice's state.
    void present(const UpdateNotice& notice);

    QString headline() const;
    QString message() const;
    QPushButton* installButton() const { return install_; }
    QProgressBar* progressBar() const { return progress_; }
    QTextBrowser* releaseNotes() const { return notes_; }

private:
    QLabel* headline_;
    QLabel* message_;
    QTextBrowser* notes_;
    QProgressBar* progress_;
    QDialogButtonBox* buttons_;
    QPushButton* install_;
    QPushButton* close_;
    std::function<void()> onInstall_;
};

} // namespace pennial
