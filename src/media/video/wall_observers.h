#pragma once
// Who hears of changes on the video wall. A front end subscribes once and
// repaints from the notifications; the wall's parts notify through here.
//
// Calls arrive on the thread that caused them: the user-interface thread
// for view changes, a decoder thread for a marked channel. They are made
// with the observer list's lock held and no other wall lock, so an observer
// may call any member of the wall except subscribe, and may take a channel
// lock. They must return quickly (queue a repaint).

#include <mutex>
#include <vector>

namespace kalix::media {

class WallObserver {
public:
    virtual ~WallObserver() = default;
    virtual void channelMarked(int channel) = 0;  // a new picture: redraw the pane now
    virtual void wallChanged() = 0;               // layout, page, map or masks: repaint all
};

class WallObservers;

// Ends the subscription when destroyed. The observer list must outlive it.
class [[nodiscard]] WallSubscription {
public:
    WallSubscription() = default;
    WallSubscription(WallSubscription&& other) noexcept;
    WallSubscription& operator=(WallSubscription&& other) noexcept;
    WallSubscription(const WallSubscription&) = delete;
    WallSubscription& operator=(const WallSubscription&) = delete;
    ~WallSubscription();

private:
    friend class WallObservers;
    WallSubscription(WallObservers* observers, WallObserver* observer)
        : observers_(observers), observer_(observer) {}
    void reset();
    WallObservers* observers_ = nullptr;
    WallObserver* observer_ = nullptr;
};

class WallObservers {
public:
    WallObservers() = default;
    WallObservers(const WallObservers&) = delete;
    WallObservers& operator=(const WallObservers&) = delete;

    WallSubscription subscribe(WallObserver& observer);
    void wallChanged();
    void channelMarked(int channel);

private:
    friend class WallSubscription;
    void unsubscribe(WallObserver* observer);

    // -- guarded by mutex_ --
    std::mutex mutex_;
    std::vector<WallObserver*> observers_;
};

}  // namespace kalix::media
