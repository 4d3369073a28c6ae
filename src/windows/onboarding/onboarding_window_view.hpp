#pragma once
// The onboarding window's root: the black background, the brand header and the screen of the
// model's stage. A change of stage fades the old screen out and the new one in while the header
// glides to its new place, in one half-second ease-in-out animation. It also hands every change of
// the sign-in code to the model's onCodeChanged.

#include "app/onboarding_stage.hpp"

#include <QPointF>
#include <QWidget>

class QVariantAnimation;

namespace pennial {

class AppCoordinator;
class BrandHeader;
class OnboardingModel;
class OnboardingPlaygroundModel;

class OnboardingWindowView : public QWidget {
public:
    // Where the header stands and how it looks on one stage.
    struct HeaderLook {
        QPointF offset;
        qreal iconSize = 0;
        qreal nameOpacity = 0;
        bool operator==(const HeaderLook&) const = default;
    };

    // The coordinator is handed on to the screens that reach the core.
    OnboardingWindowView(AppCoordinator& coordinator, OnboardingModel& model,
                         OnboardingPlaygroundModel& playgroundModel, QWidget* parent = nullptr);

    static HeaderLook headerLook(OnboardingStage stage, qreal contentWidth);

    // The screen of the current stage (the one fading in while the stage changes).
    QWidget* currentScreen() const { return screen_; }
    BrandHeader* header() const { return header_; }

    // What the screens read and write besides the model.
    AppCoordinator& coordinator() const { return coordinator_; }
    OnboardingPlaygroundModel& playgroundModel() const { return playgroundModel_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A new screen for the stage; an empty one where no screen exists yet.
    QWidget* contentForStage(OnboardingStage stage);
    void stageChanged();
    void applyHeader(const HeaderLook& look);
    void animationStep(qreal progress);
    void animationFinished();

    AppCoordinator& coordinator_;
    OnboardingModel& model_;
    OnboardingPlaygroundModel& playgroundModel_;
    BrandHeader* header_;
    QWidget* screen_ = nullptr;
    QWidget* leavingScreen_ = nullptr;
    HeaderLook headerFrom_;
    HeaderLook headerNow_;
    QVariantAnimation* transition_;
};

} // namespace pennial
