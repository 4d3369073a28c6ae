// A small editor window the desktop tests type into: a multi-line field, a one-line field and a
// password field, each with an accessible name so tests can find them.
//
// --focus=<multi|single|password> picks the field that has focus at start (the target field).
// --accessible-text=<editable|read-only|none|losing-insertion> limits what the one-line field's
//   accessible interface offers: all of Qt's (the default), its text without a way to write it,
//   nothing of its text, or editing whose first insertion is lost.
// --stdin-commands lets a test drive it, one command a line on stdin, answers on stdout:
//   text         prints "text <the target field's text as UTF-8, in hex>"
//   focused      prints "focused yes" when the window is active with the target field focused
//                (from then on typed keys reach it), else "focused no"
//   clipboard    prints "format <type> <data in hex>" for each type on the clipboard, then "end"
//   copy-sample  puts text, HTML, an image and a private type on the clipboard; prints "copied"
//   append-unreported <hex>
//                adds the UTF-8 text at the target field's end with no accessibility report of
//                the change (as when a toolkit or another program changes a field unannounced);
//                prints "appended"
//   quit         ends the editor (as does the end of stdin)

#include "limited_line_accessibility.hpp"

#include <QAccessible>
#include <QApplication>
#include <QByteArray>
#include <QClipboard>
#include <QColor>
#include <QFormLayout>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

QString argumentValue(int argc, char** argv, const QString& prefix, const QString& fallback) {
    for (int i = 1; i < argc; ++i) {
        QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return fallback;
}

bool hasArgument(int argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], flag) == 0)
            return true;
    }
    return false;
}

void printLine(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printClipboard() {
    if (const QMimeData* data = QApplication::clipboard()->mimeData()) {
        for (const QString& format : data->formats())
            printLine("format " + format.toUtf8() + ' ' + data->data(format).toHex());
    }
    printLine("end");
}

void copySample() {
    auto* data = new QMimeData;
    data->setText("Pennial sample");
    data->setHtml("<p>Pennial <b>sample</b></p>");
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    data->setImageData(image);
    data->setData("application/x-pennial-sample", QByteArray("\x00\x01\x02sample", 9));
    QApplication::clipboard()->setMimeData(data);
    printLine("copied");
}

// Reads commands from stdin as they come, without blocking the window.
class CommandReader {
public:
    explicit CommandReader(QWidget* target)
        : target_(target), notifier_(STDIN_FILENO, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readCommands(); });
    }

private:
    void readCommands() {
        char chunk[4096];
        const ssize_t size = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (size <= 0) {
            QApplication::quit();
            return;
        }
        pending_.append(chunk, size);
        for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
            const QByteArray command = pending_.left(end).trimmed();
            pending_.remove(0, end + 1);
            run(command);
        }
    }

    void run(const QByteArray& command) {
        if (command == "text")
            printLine("text " + targetText().toUtf8().toHex());
        else if (command == "focused")
            printLine(isFocused() ? "focused yes" : "focused no");
        else if (command == "clipboard")
            printClipboard();
        else if (command == "copy-sample")
            copySample();
        else if (command.startsWith("append-unreported "))
            appendUnreported(QString::fromUtf8(QByteArray::fromHex(command.mid(18))));
        else if (command == "quit")
            QApplication::quit();
        else
            printLine("unknown " + command);
    }

    void appendUnreported(const QString& text) {
        const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent*) {});
        if (auto* edit = qobject_cast<QPlainTextEdit*>(target_)) {
            edit->moveCursor(QTextCursor::End);
            edit->insertPlainText(text);
        } else if (auto* line = qobject_cast<QLineEdit*>(target_)) {
            line->setText(line->text() + text);
        }
        // Reports the change posts for later are dropped too.
        QCoreApplication::processEvents();
        QAccessible::installUpdateHandler(previous);
        printLine("appended");
    }

    bool isFocused() const {
        return target_->window()->isActiveWindow() && QApplication::focusWidget() == target_;
    }

    QString targetText() const {
        if (const auto* edit = qobject_cast<const QPlainTextEdit*>(target_))
            return edit->toPlainText();
        if (const auto* line = qobject_cast<const QLineEdit*>(target_))
            return line->text();
        return {};
    }

    QWidget* target_;
    QSocketNotifier notifier_;
    QByteArray pending_;
};

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
    // Before anything makes Qt build the field's accessible interface (naming it does).
    const QString access = argumentValue(argc, argv, "--accessible-text=", "editable");
    limitAccessibleText(single, access == "read-only" ? AccessibleText::readOnly
                                : access == "none"    ? AccessibleText::none
                                : access == "losing-insertion"
                                    ? AccessibleText::losingFirstInsertion
                                    : AccessibleText::editable);
    single->setAccessibleName("One-line field");
    auto* password = new QLineEdit;
    password->setAccessibleName("Password field");
    password->setEchoMode(QLineEdit::Password);

    layout->addRow("Notes", multi);
    layout->addRow("Subject", single);
    layout->addRow("Password", password);
    window.resize(640, 420);
    window.show();

    const QString focus = argumentValue(argc, argv, "--focus=", "multi");
    QWidget* focused = focus == "single"     ? static_cast<QWidget*>(single)
                       : focus == "password" ? static_cast<QWidget*>(password)
                                             : static_cast<QWidget*>(multi);
    window.activateWindow();
    focused->setFocus();

    std::unique_ptr<CommandReader> commands;
    if (hasArgument(argc, argv, "--stdin-commands"))
        commands = std::make_unique<CommandReader>(focused);

    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
