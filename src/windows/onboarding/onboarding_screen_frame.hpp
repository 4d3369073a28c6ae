#pragma once
// What every onboarding screen sits in: a vertical stack without spacing that fills the content
// area, its elements centred (the welcome screen) or at the leading edge (all others). The bottom
// bar always spans the whole width and stays at the foot: in a window too short for the screen
// (on a small screen) the stack above it scrolls, so the bar's button is always in reach.

#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace pennial {

class OnboardingScreenFrame : public QWidget {
public:
    enum class Alignment { centre, leading };

    explicit OnboardingScreenFrame(Alignment alignment, QWidget* parent = nullptr);

    Alignment alignment() const { return alignment_; }

    // A gap of exactly `height`.
    void addFixedGap(qreal height);
    // A gap that takes its share of the height left over, never less than `minimum`.
    void addFlexibleGap(qreal minimum);
    // An element, aligned as the frame says; the frame owns it.
    void addElement(QWidget* element);
    // An element across the whole width, whatever the alignment.
    void addFullWidthElement(QWidget* element);
    void addBottomBar(QWidget* bar);

    // The area that scrolls the stack above the bottom bar.
    QScrollArea* scroller() const { return scroller_; }
    // Scrolls the stack, once it has taken its new height, so that the element shows whole: a
    // line that appears in answer to a press must not appear out of sight.
    void bringIntoView(QWidget* element);

    // A block whose height follows its width, for content whose text wraps.
    static QWidget* wrappingBlock(QWidget* parent);

private:
    Alignment alignment_;
    QVBoxLayout* outer_;
    QScrollArea* scroller_;
    QVBoxLayout* stack_;
};

} // namespace pennial
