#include "media/video/wall_observers.h"

#include <utility>

namespace kalix::media {

WallSubscription::WallSubscription(WallSubscription&& other) noexcept
    : observers_(std::exchange(other.observers_, nullptr)),
      observer_(std::exchange(other.observer_, nullptr)) {}

WallSubscription& WallSubscription::operator=(WallSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        observers_ = std::exchange(other.observers_, nullptr);
        observer_ = std::exchange(other.observer_, nullptr);
    }
    return *this;
}

WallSubscription::~WallSubscription() { reset(); }

void WallSubscription::reset() {
    if (observers_ != nullptr) observers_->unsubscribe(observer_);
    observers_ = nullptr;
    observer_ = nullptr;
}

WallSubscription WallObservers::subscribe(WallObserver& observer) {
    std::lock_guard lock(mutex_);
    observers_.push_back(&observer);
    return WallSubscription(this, &observer);
}

void WallObservers::unsubscribe(WallObserver* observer) {
    // Taking the list lock also waits for a notification in progress, so
    // the observer is never called after its subscription has ended.
    std::lock_guard lock(mutex_);
    std::erase(observers_, observer);
}

void WallObservers::wallChanged() {
    std::lock_guard lock(mutex_);
    for (WallObserver* observer : observers_) observer->wallChanged();
}

void WallObservers::channelMarked(int channel) {
    std::lock_guard lock(mutex_);
    for (WallObserver* observer : observers_) observer->channelMarked(channel);
}

}  // namespace kalix::media
