#pragma once
// The "Saved" note beside a Save button: shown when its flag turns true, it hides itself after
// `duration` and writes the flag back to false. It also writes false when it leaves the screen
// earlier. Setting the flag again while the note is up does not prolong it.

#include <QLabel>
#include <chrono>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

namespace pennial {

class PNSavedIndicator : public QLabel {
    Q_OBJECT

public:
    explicit PNSavedIndicator(std::chrono::milliseconds duration, QWidget* parent = nullptr);

    // The caller's flag: true while the note is up.
    bool isShowing() const { return showing_; }
    void setShowing(bool showing);

    // Counts down the note's time on screen (driven by tests through its interval).
    QTimer* lifetime() const { return lifetime_; }

Q_SIGNALS:
    // The note wrote the flag: false after its time ran out, or on the next turn of the event loop
    // after it left the screen.
    void showingChanged(bool showing);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void fadeTo(qreal opacity);
    void end();

    std::chrono::milliseconds duration_;
    bool showing_ = false;
    QTimer* lifetime_;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
};

} // namespace pennial
