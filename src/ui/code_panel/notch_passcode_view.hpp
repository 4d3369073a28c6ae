#pragma once
// The code panel's one view: a black card under the notch asking for the six-digit code, with a
// status line for progress, a failure or the hint to click in. Drawn from the model; the code
// the user types goes into the model, and a complete code starts its verification.

#include "app/change_signal.hpp"
#include "base/runtime.hpp"

#include <QWidget>
#include <memory>
#include <string>

class QLabel;
class QPropertyAnimation;
class QVBoxLayout;

namespace pennial {

class NotchPasscodeModel;
class PaletteCard;
class PNErrorText;
class PNOTPField;

class NotchPasscodeView : public QWidget {
public:
    // Verifications run on executor, the main thread's.
    NotchPasscodeView(std::shared_ptr<NotchPasscodeModel> model, Executor executor,
                      QWidget* parent);

    // Stops following the model, before the panel is torn down and its model reset: a view on
    // its way out reports no change of code.
    void detachFromModel();

    // The code field has the keyboard focus.
    bool isFieldFocused() const { return isFieldFocused_; }
    PaletteCard* card() const { return card_; }
    PNOTPField* codeField() const { return codeField_; }
    // The status line's three forms; at most one is visible.
    QWidget* verifyingRow() const { return verifyingRow_; }
    PNErrorText* errorText() const { return errorText_; }
    QLabel* clickHint() const { return clickHint_; }
    // How far the card sits above the panel's top edge once it has come to rest.
    int revealOffset() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void sync();
    void syncStatusLine();
    void placeContent();
    void placeCard(bool animated);
    void setFieldFocused(bool focused);
    void verify();

    std::shared_ptr<NotchPasscodeModel> model_;
    Executor executor_;
    bool isFieldFocused_ = false;

    PaletteCard* card_;
    QWidget* content_;
    QVBoxLayout* stack_;
    PNOTPField* codeField_;
    QWidget* verifyingRow_;
    PNErrorText* errorText_;
    QLabel* clickHint_;
    QPropertyAnimation* sliding_;

    // What the view last showed, so that only real changes move the card or go to the core.
    std::string shownCode_;
    bool shownRevealed_;

    ChangeSignal::Connection modelChanged_;
};

} // namespace pennial
