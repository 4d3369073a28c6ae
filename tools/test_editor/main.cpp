// A small editor window the desktop tests type into: a multi-line field, a one-line field and a
// password field, each with an accessible name so tests can find them.

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <cstdio>

namespace {

// --focus=<multi|single|password> picks the field that has focus at start.
QString focusArgument(int argc, char** argv) {
    const QString prefix = "--focus=";
    for (int i = 1; i < argc; ++i) {
        QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return "multi";
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("pennial-test-editor");

    QWidget window;
    window.setWindowTitle("Pennial Test Editor");
    auto* layout = new QFormLayout(&window);

    auto* multi = new QPlainTextEdit;
    multi->setAccessibleName("Multi-line field");
    auto* single = new QLineEdit;
    single->setAccessibleName("One-line field");
    auto* password = new QLineEdit;
    password->setAccessibleName("Password field");
    password->setEchoMode(QLineEdit::Password);

    layout->addRow("Notes", multi);
    layout->addRow("Subject", single);
    layout->addRow("Password", password);
    window.resize(640, 420);
    window.show();

    const QString focus = focusArgument(argc, argv);
    QWidget* focused = focus == "single"     ? static_cast<QWidget*>(single)
                       : focus == "password" ? static_cast<QWidget*>(password)
                                             : static_cast<QWidget*>(multi);
    window.activateWindow();
    focused->setFocus();

    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
