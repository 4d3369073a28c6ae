#pragma once
// The six-digit sign-in code field: a row of digit boxes drawn over by a transparent line edit
// that takes the keystrokes, so that typing, pasting and deleting work as in any field.
// Every user edit keeps only the numeric characters, at most six of them; a code set from outside
// shows as it is and never counts as an edit.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QTimer;
class QVariantAnimation;

namespace pennial {

class FocusTrackingTextField;

class PNOTPField : public QWidget {
    Q_OBJECT

public:
    static constexpr int digitCount = 6;

    // onComplete runs after every user edit that leaves six digits. isFocused is the caller's own
    // focus flag when it keeps one; without it the field shows itself focused from its first show.
    PNOTPField(bool disabled, std::function<void()> onComplete,
               std::optional<bool> isFocused = std::nullopt, QWidget* parent = nullptr);

    const QString& code() const { return code_; }
    // The caller's code, shown in the boxes and the line edit; not an edit.
    void setCode(const QString& code);
    void setFieldDisabled(bool disabled);
    bool isFieldDisabled() const;

    // The focus flag the boxes follow.
    bool isFocused() const { return focused_; }
    // The caller's flag changed; only the drawing follows, the keyboard focus stays where it is.
    void setFocused(bool focused);

    // The box the next digit goes into, if one is highlighted.
    std::optional<int> currentBox() const;
    // The character shown in box `index`.
    QString boxCharacter(int index) const;
    QRectF boxRect(int index) const;

    FocusTrackingTextField* textField() const { return textField_; }
    // Moves the keyboard focus into the field shortly after the first show.
    QTimer* delayedFocus() const { return delayedFocus_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // A user edit changed the code.
    void codeEdited(const QString& code);
    // The line edit reported a focus change (the caller's flag follows it).
    void isFocusedChanged(bool focused);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void filterEdit();
    void reportFocus(bool focused);
    void animateFocus();

    std::function<void()> onComplete_;
    const bool hasCallerFocus_;
    QString code_;
    bool focused_;
    qreal focusLevel_; // 0 unfocused .. 1 focused, animated
    bool shownOnce_ = false;
    FocusTrackingTextField* textField_;
    QTimer* delayedFocus_;
    QVariantAnimation* focusAnimation_;
};

} // namespace pennial
