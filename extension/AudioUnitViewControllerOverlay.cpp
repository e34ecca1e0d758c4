// The info overlay: a message that grows and fades in, then shrinks, fades out and hides.
#include "Animator.h"
#include "AudioUnitViewController.h"

namespace {
constexpr std::int64_t kFadeInFrames = 320;
constexpr std::int64_t kFadeOutFrames = 120;
constexpr float kFrameInterval = 0.009f; // seconds
} // namespace

void AudioUnitViewController::showInfo(const std::string& string) {
    infoMessage->setText(string);
    infoView->setHidden(false);
    infoView->setAlpha(0);
    startOverlayAnimation(static_cast<float>(infoView->alpha()), 1.0f, kFadeInFrames, true);
}

void AudioUnitViewController::hideInfo() {
    startOverlayAnimation(static_cast<float>(infoView->alpha()), 0.0f, kFadeOutFrames, false);
}

void AudioUnitViewController::startOverlayAnimation(float from, float to, std::int64_t frames,
                                                    bool fadeIn) {
    // Each run is independent: the animator's own timer keeps it alive, and its callbacks keep
    // the controller until the run has finished.
    auto animator =
        Animator::create(from, to, frames, kFrameInterval,
                         fadeIn ? EnumEasing::EASING_easeOutExpo : EnumEasing::EASING_easeInExpo);
    const auto strong = self();
    animator->onAnimation = [strong](Animator&, float value) {
        strong->infoView->setAlpha(value);
        strong->infoView->setTransform(pf::CGAffineTransform::identity().scaledBy(value, value));
    };
    if (fadeIn) {
        animator->onFinished = [strong](Animator& instance, float) {
            instance.onAnimation = nullptr; // the run is over: let go of the controller
            instance.onFinished = nullptr;
            strong->hideInfo();
        };
    } else {
        animator->onFinished = [strong](Animator& instance, float) {
            instance.onAnimation = nullptr;
            instance.onFinished = nullptr;
            strong->infoView->setHidden(true);
            strong->infoMessage->setText("");
        };
    }
    animator->start();
}
