#include "audio/AVAudioSession.h"

namespace pf {

AVAudioSession& AVAudioSession::sharedInstance() {
    static AVAudioSession session;
    return session;
}

void AVAudioSession::setCategory(const AVAudioSessionCategory& category,
                                 const AVAudioSessionMode& mode, AVAudioSessionCategoryOptions) {
    std::lock_guard lock(mutex_);
    if (categoryFailure_) throw NSErrorException(*categoryFailure_);
    category_ = category;
    mode_ = mode;
}

void AVAudioSession::setActive(bool active, AVAudioSessionSetActiveOptions) {
    std::lock_guard lock(mutex_);
    if (activationFailure_) throw NSErrorException(*activationFailure_);
    active_ = active;
}

AVAudioSessionCategory AVAudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

AVAudioSessionMode AVAudioSession::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

bool AVAudioSession::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

void AVAudioSession::setCategoryFailureForTesting(std::optional<NSError> error) {
    std::lock_guard lock(mutex_);
    categoryFailure_ = std::move(error);
}

void AVAudioSession::setActivationFailureForTesting(std::optional<NSError> error) {
    std::lock_guard lock(mutex_);
    activationFailure_ = std::move(error);
}

} // namespace pf
