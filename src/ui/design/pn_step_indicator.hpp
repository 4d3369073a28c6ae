#pragma once
// The onboarding step marks: one small mark per step, the current one wide, the steps up to it
// in the brand colour.

#include <QWidget>

class QVariantAnimation;

namespace pennial {

class PNStepIndicator : public QWidget {
public:
    PNStepIndicator(int totalSteps, int currentStep, QWidget* parent = nullptr);

    int totalSteps() const { return totalSteps_; }
    int currentStep() const { return currentStep_; }
    void setTotalSteps(int totalSteps);
    // Moves the marks to the new step in a short ease-in-out animation.
    void setCurrentStep(int currentStep);

    // Where mark `index` is drawn right now.
    QRectF markRect(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal markWidth(int index) const;
    QColor markColor(int index) const;

    int totalSteps_;
    int currentStep_;
    int previousStep_;
    qreal progress_ = 1; // from previousStep_ (0) to currentStep_ (1)
    QVariantAnimation* animation_;
};

} // namespace pennial
