#pragma once
// The bar that ends every onboarding screen: the seven step marks, an optional skip link and the
// primary button. It holds no state: a screen builds it anew from its arguments.

#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;
class QPushButton;

namespace pennial {

class PNStepIndicator;

class BrandedBottomBar : public QWidget {
public:
    static constexpr int totalSteps = 7;

    // The skip link is shown only when both its label and its action are given. A disabled
    // primary button ignores presses; the skip link stays active.
    BrandedBottomBar(int step, const QString& buttonLabel, bool disabled,
                     std::optional<QString> skipLabel, std::function<void()> skipAction,
                     std::function<void()> action, QWidget* parent = nullptr);

    PNStepIndicator* stepIndicator() const { return stepIndicator_; }
    QAbstractButton* skipLink() const { return skipLink_; } // null without one
    QPushButton* primaryButton() const { return primaryButton_; }

private:
    PNStepIndicator* stepIndicator_;
    QAbstractButton* skipLink_ = nullptr;
    QPushButton* primaryButton_;
};

} // namespace pennial
