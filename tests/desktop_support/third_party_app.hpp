#pragma once
// A third-party application the desktop tests and benchmarks write in: a GTK 3 editor (mousepad),
// a GTK 4 editor (gnome-text-editor), a word processor (LibreOffice Writer, whose paragraphs are
// elements of their own), or a web browser (Firefox ESR, Chromium) showing the local page
// fields.html. Started with a document of text before and after the caret, its window
// active, the field focused; read through the accessibility bus by another process, as any other
// client would.

#include "platform/accessibility.hpp"

#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace pennial::desktop_support {

using namespace std::chrono_literals;

class ThirdPartyApp {
public:
    enum class Kind { gtk3Editor, gtk4Editor, firefox, chromium, writer };

    struct Options {
        Kind kind = Kind::gtk3Editor;
        // In a browser: "textarea", "input" or "editable" (a contenteditable element).
        std::string field = "textarea";
        std::string before; // the field's text before the caret
        std::string after;  // and after it
        // The page a browser shows, beside this file: fields.html, or rich.html (a rich editor
        // whose element named by field takes the caret at its end); or the address of one served
        // elsewhere (http://...).
        std::string page = "fields.html";
        // A native Wayland client rather than an X one. The compositor activates its window
        // itself, and only an empty field is supported: no key reaches it from here to place
        // the caret.
        bool nativeWayland = false;
        // In the word processor, the field is a paragraph between these two (words short enough
        // for its word completion to leave alone).
        std::string paragraphBefore =
            "Dear Ada, thank you for the notes on the old mill and the map of the river. We read "
            "them over the weekend and liked most of what you wrote about the path.";
        std::string paragraphAfter = "We hope to see you in the spring, when the days are long and "
                                     "the water is high. Kind regards, Jo and Sam.";
    };

    // Whether the application is installed (scripts/deps installs them all).
    static bool installed(Kind kind);
    static const char* name(Kind kind);

    explicit ThirdPartyApp(Options options);
    ~ThirdPartyApp();
    ThirdPartyApp(const ThirdPartyApp&) = delete;
    ThirdPartyApp& operator=(const ThirdPartyApp&) = delete;

    const Options& options() const { return options_; }
    bool isBrowser() const;

    // Puts the starting text back with the caret between its two parts, the field focused.
    void reset();
    // Makes its window the active one again.
    void activate();

    // The focused field's text and caret (UTF-16 units), read through the accessibility bus; none
    // when the focused element is not this application's text field.
    std::optional<std::string> text();
    std::optional<std::int64_t> caret();
    // The text of the field and the elements beside it (the word processor's paragraphs), one
    // a line.
    std::optional<std::string> document();
    bool waitForText(const std::string& expected, std::chrono::milliseconds timeout = 10s);
    // The title of the active window.
    std::string activeWindowTitle();

private:
    void start();
    void placeCaret();
    // One exchange with the reader (tools/field_reader), another process: the application may
    // be waiting for this one (for the clipboard it owns) before it answers.
    std::string ask(const QString& command);

    Options options_;
    QTemporaryDir folder_;
    QProcess process_;
    QProcess reader_;
};

// Presses keys as the keyboard would (xdotool key, through XTest), e.g. "ctrl+End".
void tapKeys(const QStringList& keys);

} // namespace pennial::desktop_support
