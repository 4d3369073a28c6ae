#include "ui/install/user_install_dialogs.hpp"

#include <QMessageBox>
#include <QPushButton>

namespace pennial {

bool askToInstallForUser() {
    QMessageBox question;
    question.setWindowTitle("Install Pennial");
    question.setIcon(QMessageBox::Information);
    question.setText(UserInstallPrompt::questionTitle);
    question.setInformativeText(UserInstallPrompt::questionBody);
    auto* install = question.addButton(UserInstallPrompt::installButton, QMessageBox::AcceptRole);
    question.addButton(UserInstallPrompt::notNowButton, QMessageBox::RejectRole);
    question.setDefaultButton(install);
    question.exec();
    return question.clickedButton() == install;
}

void showUserInstallError(const std::string& body) {
    QMessageBox alert;
    alert.setWindowTitle("Install Pennial");
    alert.setIcon(QMessageBox::Warning);
    alert.setText(UserInstallPrompt::errorTitle);
    alert.setInformativeText(QString::fromStdString(body));
    alert.exec();
}

} // namespace pennial
